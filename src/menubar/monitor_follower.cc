#include "menubar/monitor_follower.h"

#include <utility>

#include "arrange/arranger.h"
#include "platform/window_system.h"
#include "settings/settings.h"

namespace tessaloom {

MonitorFollower::MonitorFollower(Context& ctx, platform::Application& application,
                                 std::function<void(const std::string&)> restore)
    : ctx_(ctx), restore_(std::move(restore)), known_(Arranger::currentMonitors(ctx)) {
  // Both may tell of one change: settled() compares the sets, so a second report costs a read.
  watch_ = ctx_.desktop.watchMonitors([this] { changed(); });
  toolkitWatch_ = application.watchDisplays([this] { changed(); });
}

MonitorFollower::~MonitorFollower() {
  watch_.reset();
  toolkitWatch_.reset();
  if (pending_) pending_->cancel();
}

void MonitorFollower::changed() {
  // Each report starts the wait anew: only a set that has stayed is restored for.
  if (pending_) pending_->cancel();
  pending_ = ctx_.queue.asyncAfter(kSettleSeconds, [this] { settled(); });
}

void MonitorFollower::settled() {
  pending_.reset();
  auto now = Arranger::currentMonitors(ctx_);
  if (now.empty() || sameMonitors(now, known_)) return;
  known_ = std::move(now);
  if (!ctx_.settings.followMonitors()) return;
  if (const auto name = Arranger::namedFor(ctx_, known_)) restore_(*name);
}

}  // namespace tessaloom
