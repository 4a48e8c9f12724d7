// Follows the desktop's monitors: once a change of the monitor set has settled, restores the
// arrangement saved most recently for the new set, when the user has asked for that. Nothing
// moves for a set no arrangement was saved on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "settings/named_arrangement.h"
#include "windows/context.h"

namespace tessaloom {

class MonitorFollower {
 public:
  /// How long the monitors must stay unchanged before the arrangement comes back: the desktop
  /// moves windows off a monitor that went, and a dock brings its monitors one after another.
  static constexpr double kSettleSeconds = 1.5;

  /// Watches `ctx`'s desktop, and what `application`'s toolkit hears of the monitors, from now
  /// on; `restore` restores an arrangement by name, with its feedback. `ctx` must outlive the
  /// follower.
  MonitorFollower(Context& ctx, platform::Application& application,
                  std::function<void(const std::string&)> restore);
  ~MonitorFollower();
  MonitorFollower(const MonitorFollower&) = delete;
  MonitorFollower& operator=(const MonitorFollower&) = delete;

 private:
  void changed();
  void settled();

  Context& ctx_;
  std::function<void(const std::string&)> restore_;
  std::vector<MonitorFacts> known_;  // the set when last settled
  std::optional<platform::WorkItem> pending_;
  std::shared_ptr<void> watch_;
  std::shared_ptr<void> toolkitWatch_;
};

}  // namespace tessaloom
