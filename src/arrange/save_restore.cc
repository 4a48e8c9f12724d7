#include <algorithm>

#include <memory>
#include <string>
#include "base/language.h"

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
  // Reads the records anew for the final restore: a save made meanwhile counts.
  std::function<std::vector<SavedFrame>()> read;
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

// The launched applications' part of the restore of `records`, matched anew: their titles
// may have come since (a browser names a window once its page has loaded).
LayoutPlan launchedPart(const PendingRestore& pending, const std::vector<SavedFrame>& records) {
  auto plan = WindowManager::restorePlan(
      records, WindowManager::targetWindows(*pending.ctx, WindowManager::Sizes::any));
  std::erase_if(plan, [&](const PlanEntry& e) {
    return e.tile || !anySameApp(pending.launched, e.window.appId());
  });
  return plan;
}

// Puts the launched applications' windows back each time they have moved away, until the watch
// ends; then completes.
void keepInPlace(std::shared_ptr<PendingRestore> pending, std::vector<SavedFrame> records,
                 int moved, double end) {
  auto& queue = pending->ctx->queue;
  if (queue.now() >= end) {
    pending->completion(moved);
    return;
  }
  queue.asyncAfter(kReadyCheckInterval, [pending, records = std::move(records), moved, end] {
    WindowManager::correct(*pending->ctx, launchedPart(*pending, records));
    keepInPlace(pending, records, moved, end);
  });
}

void finishWhenReady(std::shared_ptr<PendingRestore> pending) {
  auto& queue = pending->ctx->queue;
  if (!ready(*pending) && queue.now() < pending->deadline) {
    queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
    return;
  }
  auto records = pending->read();
  const int moved = restore(*pending->ctx, records);
  if (launchedPart(*pending, records).empty())
    pending->completion(moved);
  else
    keepInPlace(pending, std::move(records), moved, queue.now() + kLaunchedWatch);
}

// Launches the applications of `records` that are not running, waits for their windows and
// restores what `read` then gives.
void restoreFrom(Context& ctx, std::vector<SavedFrame> records,
                 std::function<std::vector<SavedFrame>()> read,
                 std::function<void(int)> completion) {
  if (records.empty()) {
    completion(0);
    return;
  }
  std::vector<std::string> running;
  for (const auto& app : WindowManager::applications(ctx, ctx.desktop.snapshot()))
    if (!app.app.id.empty()) running.push_back(app.app.id);
  std::vector<std::string> missing;
  for (const auto& r : records)
    if (!anySameApp(running, r.appId) && !anySameApp(missing, r.appId)) missing.push_back(r.appId);
  std::sort(missing.begin(), missing.end());  // launched in a fixed order

  auto pending = std::make_shared<PendingRestore>();
  for (const auto& id : missing)
    if (ctx.desktop.launch(id)) pending->launched.push_back(id);
  if (pending->launched.empty()) {
    completion(restore(ctx, read()));
    return;
  }
  pending->ctx = &ctx;
  pending->records = std::move(records);
  pending->read = std::move(read);
  pending->deadline = ctx.queue.now() + kReadyDeadline;
  pending->completion = std::move(completion);
  ctx.queue.asyncAfter(kReadyCheckInterval, [pending] { finishWhenReady(pending); });
}

std::optional<NamedArrangement> findNamed(Context& ctx, const std::string& name) {
  for (auto& entry : ctx.settings.namedArrangements())
    if (entry.name == name) return std::move(entry);
  return std::nullopt;
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
  Context* c = &ctx;
  restoreFrom(
      ctx, ctx.settings.snapshot(savedKey), [c] { return c->settings.snapshot(savedKey); },
      std::move(completion));
}

std::vector<MonitorFacts> currentMonitors(Context& ctx) {
  std::vector<MonitorFacts> monitors;
  for (const auto& d : WindowManager::displays(ctx.desktop.screens()))
    monitors.push_back({d.name(), d.frame().width, d.frame().height});
  return monitors;
}

std::optional<std::string> namedFor(Context& ctx, const std::vector<MonitorFacts>& monitors) {
  std::optional<NamedArrangement> best;
  for (auto& entry : ctx.settings.namedArrangements())
    if (sameMonitors(entry.monitors, monitors) && (!best || entry.savedAt >= best->savedAt))
      best = std::move(entry);
  return best ? std::optional(best->name) : std::nullopt;
}

Result<int> saveNamed(Context& ctx, std::string_view name, double savedAt) {
  const auto valid = arrangementName(name);
  if (!valid)
    return Failure{language::format(
        language::tr("配置の名前は空でなく、%zu文字までで、制御文字を含まないものにしてください"),
        kMaxNameCharacters)};
  const auto windows = WindowManager::targetWindows(ctx);
  auto list = ctx.settings.namedArrangements();
  std::erase_if(list, [&](const NamedArrangement& e) { return e.name == *valid; });
  if (list.size() >= kMaxNamedArrangements)
    return Failure{language::format(
        language::tr("保存できる配置は%zu個までです。使わない配置を削除してください"),
        kMaxNamedArrangements)};
  list.push_back({*valid, savedAt, currentMonitors(ctx), WindowManager::snapshot(windows)});
  if (auto stored = ctx.settings.setNamedArrangements(list); !stored)
    return Failure{stored.error()};
  return static_cast<int>(windows.size());
}

bool restoreNamed(Context& ctx, std::string_view name, std::function<void(int)> completion) {
  const auto valid = arrangementName(name);
  auto entry = valid ? findNamed(ctx, *valid) : std::nullopt;
  if (!entry) return false;
  Context* c = &ctx;
  const std::string wanted = *valid;
  auto records = entry->frames;
  restoreFrom(
      ctx, std::move(records),
      [c, wanted, fallback = std::move(entry->frames)] {
        // Forgotten while waiting: the records it started with.
        const auto now = findNamed(*c, wanted);
        return now ? now->frames : fallback;
      },
      std::move(completion));
  return true;
}

bool forgetNamed(Context& ctx, std::string_view name) {
  const auto valid = arrangementName(name);
  auto list = ctx.settings.namedArrangements();
  const auto removed =
      std::erase_if(list, [&](const NamedArrangement& e) { return valid && e.name == *valid; });
  return removed > 0 && ctx.settings.setNamedArrangements(list).ok();
}

}  // namespace tessaloom::Arranger
