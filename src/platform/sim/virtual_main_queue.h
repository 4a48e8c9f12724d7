// A main queue on a virtual clock for tests: time moves only when asked to, so waiting for a
// ten-second deadline costs no real time. Single-threaded; touches no real clock or loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "platform/main_queue.h"

namespace tessaloom::platform {

class VirtualMainQueue final : public MainQueue {
 public:
  /// Repeating intervals below this count as this, so a timer always moves the clock on.
  static constexpr double kMinimumInterval = 0.001;

  explicit VirtualMainQueue(double start = 0) : now_(start) {}

  double now() override { return now_; }
  /// Moves the clock on by `seconds` without running anything; negative or NaN does nothing.
  void sleep(double seconds) override;
  /// Queues `block` due at the current time, after everything already due then.
  void async(std::function<void()> block) override;
  /// Queues `block` due `delay` seconds from now (a negative or NaN delay counts as 0).
  WorkItem asyncAfter(double delay, std::function<void()> block) override;
  /// First due one interval from now, then one interval after each due time; a run that fell
  /// behind the clock (after a sleep) is followed by the next one a full interval later.
  WorkItem repeating(double interval, std::function<void()> block) override;
  /// Runs every item due at or before `deadline` in due order (ties in scheduling order),
  /// moving the clock to each item's due time, then sets the clock to `deadline` (never
  /// backwards). Work queued meanwhile runs too when due in time. A deadline that is not finite
  /// does nothing.
  void runUntil(double deadline) override;

  /// runUntil(now() + seconds).
  void advance(double seconds);
  /// Runs queued work until no one-shot item is left, moving the clock as far as needed but no
  /// further than `horizon` seconds; repeating items run as their times pass. True when no
  /// one-shot item is left, false when the horizon stopped it.
  bool runAll(double horizon = 3600);
  /// Items that are queued and not cancelled (repeating ones included).
  std::size_t pending() const;
  /// The due time of the next item that is not cancelled; nothing when none is queued.
  std::optional<double> nextDue() const;

 private:
  struct Entry {
    std::function<void()> block;
    std::shared_ptr<bool> cancelled;
    double interval = 0;  // 0 for one-shot work
  };
  using Key = std::pair<double, std::uint64_t>;  // due time, scheduling order

  WorkItem schedule(double due, double interval, std::function<void()> block);
  static bool isLive(const Entry& e) { return !(e.cancelled && *e.cancelled); }

  double now_;
  std::uint64_t sequence_ = 0;
  std::map<Key, Entry> queue_;
};

}  // namespace tessaloom::platform
