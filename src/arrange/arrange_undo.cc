#include "arrange/arranger.h"
#include "arrange/restore.h"
#include "layout/layout_engine.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::Arranger {

int arrange(LayoutKind kind) {
  const auto windows = WindowManager::targetWindows();
  const auto plan = LayoutEngine::plan(kind, windows);
  if (plan.empty()) return 0;
  Settings::shared().setSnapshot(WindowManager::snapshot(windows), undoKey);
  WindowManager::apply(plan);
  return static_cast<int>(plan.size());
}

int restore(std::string_view key) {
  auto& settings = Settings::shared();
  const auto records = settings.snapshot(key);
  const auto windows = WindowManager::targetWindows();
  const auto plan = WindowManager::restorePlan(records, windows);
  if (plan.empty()) return 0;
  settings.setSnapshot(WindowManager::snapshot(windows), undoKey);
  WindowManager::apply(plan);
  return static_cast<int>(plan.size());
}

int undo() {
  return restore(undoKey);
}

bool hasUndo() {
  return !Settings::shared().snapshot(undoKey).empty();
}

}  // namespace tessaloom::Arranger
