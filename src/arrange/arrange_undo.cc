#include <algorithm>

#include "arrange/arranger.h"
#include "arrange/restore.h"
#include "layout/layout_engine.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::Arranger {
namespace {

// The undo record is written while the windows settle, not before they move: the key's effect
// does not wait for the disk. A refused record has been reported; the arrangement goes ahead.
void applyRecordingUndo(Context& ctx, const LayoutPlan& plan,
                        const std::vector<ManagedWindow>& before,
                        const WindowManager::Revision& revise = {}) {
  auto undo = WindowManager::undoSnapshot(before);
  WindowManager::apply(
      ctx, plan, [&] { (void)ctx.settings.setSnapshot(undo, undoKey); }, revise);
}

// Where the desktop does not tell a window's least size, a window that ended at its place but
// larger than its tile tells it; the plan is made again knowing that (the columns stack).
WindowManager::Revision learningLeastSizes(LayoutKind kind, std::vector<ManagedWindow> windows,
                                           std::vector<Display> displays,
                                           LayoutEngine::PlanParameters parameters) {
  return [=](const LayoutPlan& sent, const std::vector<std::optional<Rect>>& frames) mutable {
    bool learned = false;
    for (std::size_t i = 0; i < sent.size() && i < frames.size(); ++i) {
      if (!frames[i]) continue;
      const Size least =
          WindowManager::refusedSize(sent[i].window.frame(), sent[i].target, *frames[i]);
      const auto w = std::ranges::find(windows, sent[i].window.handle(), &ManagedWindow::handle);
      if (w == windows.end()) continue;
      const Size known = w->minimum();
      if (least.width > known.width || least.height > known.height) {
        w->setMinimum({std::max(known.width, least.width), std::max(known.height, least.height)});
        learned = true;
      }
    }
    return learned ? LayoutEngine::plan(kind, windows, displays, parameters) : sent;
  };
}

}  // namespace

int arrange(Context& ctx, LayoutKind kind, std::optional<DisplayMode> mode) {
  // One look at the desktop for the whole plan.
  const auto facts = ctx.desktop.snapshot();
  const auto windows = WindowManager::targetWindows(ctx, facts);
  if (windows.empty()) return 0;
  const auto displays = WindowManager::displays(facts.screens);
  LayoutEngine::PlanParameters parameters{
      .gap = ctx.settings.gap(),
      .aiRatio = ctx.settings.aiRatio(),
      .displayMode = mode.value_or(ctx.settings.displayMode()),
      .pointer = {},
      .frontmostPid =
          kind == LayoutKind::sameSize ? WindowManager::frontmostPid(ctx, facts) : std::nullopt,
  };
  // Reading the pointer may be a round trip of its own: only when the plan looks at it.
  if (LayoutEngine::needsPointer(kind, windows, displays, parameters.displayMode))
    parameters.pointer = facts.pointer ? *facts.pointer : ctx.desktop.pointer();
  const auto plan = LayoutEngine::plan(kind, windows, displays, parameters);
  if (plan.empty()) return 0;
  applyRecordingUndo(ctx, plan, windows, learningLeastSizes(kind, windows, displays, parameters));
  return static_cast<int>(plan.size());
}

int restore(Context& ctx, std::string_view key) {
  return restore(ctx, ctx.settings.snapshot(key));
}

int restore(Context& ctx, const std::vector<SavedFrame>& records) {
  if (records.empty()) return 0;
  const auto windows = WindowManager::targetWindows(ctx, WindowManager::Sizes::any);
  const auto plan = WindowManager::restorePlan(records, windows);
  if (plan.empty()) return 0;
  // Only the windows this moves are taken back by the next undo.
  std::vector<ManagedWindow> moved;
  moved.reserve(plan.size());
  for (const auto& entry : plan) moved.push_back(entry.window);
  applyRecordingUndo(ctx, plan, moved);
  return static_cast<int>(plan.size());
}

int undo(Context& ctx) {
  return restore(ctx, undoKey);
}

bool hasUndo(Context& ctx) {
  return !ctx.settings.snapshot(undoKey).empty();
}

}  // namespace tessaloom::Arranger
