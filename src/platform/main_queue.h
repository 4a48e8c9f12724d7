// The main-queue seam: time, sleeping, deferred and repeating work on the one main thread, and
// turning the loop until a moment. Real time on the desktop, virtual time in tests.
#pragma once

#include <functional>
#include <memory>

namespace tessaloom::platform {

/// A handle to scheduled work; cancelling it keeps the block from running. Copies share it.
class WorkItem {
 public:
  WorkItem() = default;
  explicit WorkItem(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
  void cancel() {
    if (cancelled_) *cancelled_ = true;
  }
  bool isCancelled() const { return cancelled_ && *cancelled_; }

 private:
  std::shared_ptr<bool> cancelled_;
};

class MainQueue {
 public:
  virtual ~MainQueue() = default;

  /// Seconds on a monotonic clock.
  virtual double now() = 0;
  /// Blocks the main thread; nothing queued runs meanwhile.
  virtual void sleep(double seconds) = 0;
  /// Runs `block` on the main loop as soon as it turns.
  virtual void async(std::function<void()> block) = 0;
  /// Runs `block` on the main loop `delay` seconds from now unless cancelled first.
  virtual WorkItem asyncAfter(double delay, std::function<void()> block) = 0;
  /// Runs `block` every `interval` seconds until the returned item is cancelled.
  virtual WorkItem repeating(double interval, std::function<void()> block) = 0;
  /// Turns the main loop, running due work, until the moment `deadline` (on now()'s clock).
  virtual void runUntil(double deadline) = 0;
};

}  // namespace tessaloom::platform
