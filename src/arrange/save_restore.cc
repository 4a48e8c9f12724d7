#include <memory>
#include <set>
#include <string>
#include <utility>

#include "arrange/arranger.h"
#include "arrange/restore.h"
#include "catalog/text.h"
#include "platform/main_queue.h"
#include "platform/services.h"
#include "platform/workspace.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::Arranger {
namespace {

// What one waiting restore holds between its readiness checks.
struct PendingRestore {
  std::vector<std::pair<std::string, std::string>> launched;  // identifier, location
  std::vector<SavedFrame> records;
  double deadline = 0;
  std::function<void(int)> completion;
};

bool ready(const PendingRestore& pending) {
  const auto windows = WindowManager::targetWindows();
  for (const auto& [id, location] : pending.launched) {
    std::size_t have = 0;
    for (const auto& w : windows) have += text::equal(w.bundleID(), id);
    std::size_t want = 0;
    for (const auto& r : pending.records) want += text::equal(r.bundleID, id);
    if (have < want) return false;
  }
  return true;
}

void finishWhenReady(std::shared_ptr<PendingRestore> pending) {
  auto& queue = *platform::services().mainQueue;
  if (!ready(*pending) && queue.now() < pending->deadline) {
    queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
    return;
  }
  pending->completion(restore(savedKey));
}

}  // namespace

int saveCurrent() {
  const auto windows = WindowManager::targetWindows();
  Settings::shared().setSnapshot(WindowManager::snapshot(windows), savedKey);
  return static_cast<int>(windows.size());
}

bool hasSaved() {
  return !Settings::shared().snapshot(savedKey).empty();
}

void restoreSaved(std::function<void(int)> completion) {
  auto records = Settings::shared().snapshot(savedKey);
  if (records.empty()) {
    completion(0);
    return;
  }
  auto& workspace = *platform::services().workspace;
  std::set<std::string> running;
  for (const auto& app : workspace.runningApplications())
    if (app.bundleIdentifier) running.insert(*app.bundleIdentifier);
  std::set<std::string> missing;
  for (const auto& r : records)
    if (!running.count(r.bundleID)) missing.insert(r.bundleID);

  auto pending = std::make_shared<PendingRestore>();
  for (const auto& id : missing)
    if (auto location = workspace.urlForApplication(id))
      pending->launched.emplace_back(id, std::move(*location));
  if (pending->launched.empty()) {
    completion(restore(savedKey));
    return;
  }
  for (const auto& [id, location] : pending->launched) workspace.openApplication(location);

  auto& queue = *platform::services().mainQueue;
  pending->records = std::move(records);
  pending->deadline = queue.now() + kReadyDeadline;
  pending->completion = std::move(completion);
  queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
}

}  // namespace tessaloom::Arranger
