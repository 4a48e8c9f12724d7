#include "platform/sim/virtual_main_queue.h"

#include <algorithm>
#include <cmath>

namespace tessaloom::platform {

void VirtualMainQueue::sleep(double seconds) {
  if (seconds > 0) now_ += seconds;
}

WorkItem VirtualMainQueue::schedule(double due, double interval, std::function<void()> block) {
  auto cancelled = std::make_shared<bool>(false);
  queue_.emplace(Key{due, sequence_++}, Entry{std::move(block), cancelled, interval});
  return WorkItem(cancelled);
}

void VirtualMainQueue::async(std::function<void()> block) {
  schedule(now_, 0, std::move(block));
}

WorkItem VirtualMainQueue::asyncAfter(double delay, std::function<void()> block) {
  const double d = delay > 0 ? delay : 0;  // also catches NaN
  return schedule(now_ + d, 0, std::move(block));
}

WorkItem VirtualMainQueue::repeating(double interval, std::function<void()> block) {
  const double i = interval > kMinimumInterval ? interval : kMinimumInterval;
  return schedule(now_ + i, i, std::move(block));
}

void VirtualMainQueue::runUntil(double deadline) {
  if (!std::isfinite(deadline)) return;
  while (!queue_.empty()) {
    auto first = queue_.begin();
    const double due = first->first.first;
    if (due > deadline) break;
    // Taken out before it runs, so work it queues, cancels or runs (a nested runUntil) never
    // sees it half-done.
    Entry entry = std::move(first->second);
    queue_.erase(first);
    if (!isLive(entry)) continue;
    now_ = std::max(now_, due);
    entry.block();
    if (entry.interval > 0 && isLive(entry)) {
      double next = due + entry.interval;
      if (next <= now_) next = now_ + entry.interval;
      // At clock values where the interval no longer moves the number the timer would never
      // leave its due time; it stops instead of spinning.
      if (next > now_) {
        queue_.emplace(Key{next, sequence_++}, std::move(entry));
      }
    }
  }
  now_ = std::max(now_, deadline);
}

void VirtualMainQueue::advance(double seconds) {
  runUntil(now_ + seconds);
}

bool VirtualMainQueue::runAll(double horizon) {
  const double limit = now_ + (horizon > 0 ? horizon : 0);
  for (;;) {
    std::optional<double> last;
    for (const auto& [key, entry] : queue_) {
      if (entry.interval == 0 && isLive(entry)) last = key.first;  // the map is in due order
    }
    if (!last) return true;
    if (*last > limit) {
      runUntil(limit);
      return false;
    }
    runUntil(*last);
  }
}

std::size_t VirtualMainQueue::pending() const {
  return static_cast<std::size_t>(std::count_if(
      queue_.begin(), queue_.end(), [](const auto& item) { return isLive(item.second); }));
}

std::optional<double> VirtualMainQueue::nextDue() const {
  for (const auto& [key, entry] : queue_) {
    if (isLive(entry)) return key.first;
  }
  return std::nullopt;
}

}  // namespace tessaloom::platform
