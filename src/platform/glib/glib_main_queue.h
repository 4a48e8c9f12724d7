// The main queue on a GLib main context (the loop the tray application turns): real monotonic
// time, idle and timeout sources. Must be used from the thread that iterates the context.
#pragma once

#include <functional>
#include <vector>

#include "platform/main_queue.h"

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

namespace tessaloom::platform {

class GlibMainQueue final : public MainQueue {
 public:
  /// Works on `context`, or on GLib's default main context when it is null.
  explicit GlibMainQueue(GMainContext* context = nullptr);
  /// Removes every source this queue attached that has not finished.
  ~GlibMainQueue() override;
  GlibMainQueue(const GlibMainQueue&) = delete;
  GlibMainQueue& operator=(const GlibMainQueue&) = delete;

  /// Seconds of GLib's monotonic clock.
  double now() override;
  /// Blocks the thread; negative or NaN sleeps not at all.
  void sleep(double seconds) override;
  /// An idle source; blocks queued this way run in the order they were queued.
  void async(std::function<void()> block) override;
  /// A timeout source of `delay` rounded up to whole milliseconds; a cancelled item is dropped
  /// when its time comes, without running.
  WorkItem asyncAfter(double delay, std::function<void()> block) override;
  /// A timeout source of `interval` rounded up to whole milliseconds (at least one) that runs
  /// until the item is cancelled.
  WorkItem repeating(double interval, std::function<void()> block) override;
  /// Iterates the context, sleeping until the next source or the deadline, until now() has
  /// reached `deadline`, then once more without blocking, so work due by the deadline has run.
  /// A NaN deadline returns at once.
  void runUntil(double deadline) override;

 private:
  void attach(GSource* source);

  GMainContext* context_;
  std::vector<GSource*> sources_;  // each holds a reference
};

}  // namespace tessaloom::platform
