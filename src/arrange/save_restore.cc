#include <algorithm>
#include <memory>
#include <string>

#include "arrange/arranger.h"
#include "arrange/restore.h"
#include "catalog/catalog.h"
#include "platform/main_queue.h"
#include "platform/window_system.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::Arranger {
namespace {

// What one waiting restore holds between its readiness checks.
struct PendingRestore {
  Context* ctx = nullptr;
  std::vector<std::string> launched;
  std::vector<SavedFrame> records;
  double deadline = 0;
  std::function<void(int)> completion;
};

bool anySameApp(const std::vector<std::string>& ids, const std::string& id) {
  return std::any_of(ids.begin(), ids.end(),
                     [&id](const std::string& other) { return Catalog::sameApp(other, id); });
}

// Every launched application shows at least as many windows as the arrangement holds for it.
bool ready(const PendingRestore& pending) {
  const auto windows = WindowManager::targetWindows(*pending.ctx, WindowManager::Sizes::any);
  for (const auto& id : pending.launched) {
    const auto have = std::count_if(windows.begin(), windows.end(), [&id](const auto& w) {
      return Catalog::sameApp(w.appId(), id);
    });
    const auto want = std::count_if(pending.records.begin(), pending.records.end(),
                                    [&id](const auto& r) { return Catalog::sameApp(r.appId, id); });
    if (have < want) return false;
  }
  return true;
}

void finishWhenReady(std::shared_ptr<PendingRestore> pending) {
  auto& queue = pending->ctx->queue;
  if (!ready(*pending) && queue.now() < pending->deadline) {
    queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
    return;
  }
  pending->completion(restore(*pending->ctx, savedKey));
}

}  // namespace

Result<int> saveCurrent(Context& ctx) {
  const auto windows = WindowManager::targetWindows(ctx);
  if (auto stored = ctx.settings.setSnapshot(WindowManager::snapshot(windows), savedKey); !stored)
    return Failure{stored.error()};
  return static_cast<int>(windows.size());
}

bool hasSaved(Context& ctx) {
  return !ctx.settings.snapshot(savedKey).empty();
}

void restoreSaved(Context& ctx, std::function<void(int)> completion) {
  auto records = ctx.settings.snapshot(savedKey);
  if (records.empty()) {
    completion(0);
    return;
  }
  std::vector<std::string> running;
  for (const auto& app : ctx.desktop.applications())
    if (!app.id.empty()) running.push_back(app.id);
  std::vector<std::string> missing;
  for (const auto& r : records)
    if (!anySameApp(running, r.appId) && !anySameApp(missing, r.appId)) missing.push_back(r.appId);
  std::sort(missing.begin(), missing.end());  // launched in a fixed order

  auto pending = std::make_shared<PendingRestore>();
  for (const auto& id : missing)
    if (ctx.desktop.launch(id)) pending->launched.push_back(id);
  if (pending->launched.empty()) {
    completion(restore(ctx, savedKey));
    return;
  }
  pending->ctx = &ctx;
  pending->records = std::move(records);
  pending->deadline = ctx.queue.now() + kReadyDeadline;
  pending->completion = std::move(completion);
  ctx.queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
}

}  // namespace tessaloom::Arranger
