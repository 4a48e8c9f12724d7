// The virtual main queue: due order, the clock each block sees, deadlines, cancellation and
// repeating work, also when queued or run from inside work.
#include "platform/sim/virtual_main_queue.h"

#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/geometry.h"

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;

/// Collects "label@time" for each block run.
struct Trace {
  VirtualMainQueue& queue;
  std::vector<std::string> runs;
  std::function<void()> mark(const std::string& label) {
    return [this, label] { runs.push_back(label + "@" + formatNumber(queue.now())); };
  }
};

TEST(VirtualMainQueue, RunsWorkInDueOrderTiesInSchedulingOrderUpToTheDeadline) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.asyncAfter(2, trace.mark("a"));
  queue.asyncAfter(1, trace.mark("b"));
  queue.async(trace.mark("now"));
  queue.asyncAfter(1, trace.mark("c"));
  queue.asyncAfter(-5, trace.mark("negative"));  // a negative or NaN delay counts as 0
  queue.asyncAfter(std::nan(""), trace.mark("nan"));
  queue.async(trace.mark("now2"));
  queue.asyncAfter(10, trace.mark("edge"));
  queue.asyncAfter(10.001, trace.mark("out"));
  queue.runUntil(10);
  const std::vector<std::string> expected = {"now@0.0", "negative@0.0", "nan@0.0", "now2@0.0",
                                             "b@1.0",   "c@1.0",        "a@2.0",   "edge@10.0"};
  EXPECT_EQ(trace.runs, expected);
  // A deadline in the past or not finite neither runs later work nor moves the clock.
  for (const double deadline : {5.0, std::numeric_limits<double>::infinity(), std::nan("")})
    queue.runUntil(deadline);
  EXPECT_EQ(queue.now(), 10);
  EXPECT_EQ(trace.runs, expected);
  EXPECT_EQ(queue.nextDue(), 10.001);
}

TEST(VirtualMainQueue, CancelledWorkNeverRunsAndSleepRunsNothing) {
  VirtualMainQueue queue(100);
  Trace trace{queue, {}};
  WorkItem early = queue.asyncAfter(1, trace.mark("early"));
  WorkItem sameTime = queue.asyncAfter(2, trace.mark("sameTime"));
  WorkItem victim = queue.asyncAfter(2, trace.mark("victim"));
  queue.asyncAfter(2, trace.mark("survivor"));
  queue.asyncAfter(1.5, [&] { victim.cancel(); });
  early.cancel();
  WorkItem(sameTime).cancel();  // copies share the flag
  EXPECT_TRUE(sameTime.isCancelled());
  EXPECT_EQ(queue.pending(), 3u);
  EXPECT_EQ(queue.nextDue(), 101.5);
  for (const double seconds : {5.0, -3.0, std::nan("")}) queue.sleep(seconds);
  EXPECT_EQ(queue.now(), 105);
  EXPECT_TRUE(trace.runs.empty());
  queue.runUntil(105);  // overdue work runs at once, on the clock as it stands
  EXPECT_THAT(trace.runs, ElementsAre("survivor@105.0"));
  EXPECT_EQ(queue.pending(), 0u);
  EXPECT_FALSE(queue.nextDue());
}

TEST(VirtualMainQueue, RepeatingWorkKeepsTimeDropsMissedBeatsAndStopsWhenCancelled) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  WorkItem timer = queue.repeating(1, trace.mark("tick"));
  queue.runUntil(2.5);
  queue.sleep(1.5);
  queue.runUntil(5);
  timer.cancel();
  queue.runUntil(100);
  EXPECT_THAT(trace.runs, ElementsAre("tick@1.0", "tick@2.0", "tick@4.0", "tick@5.0"));
  int runs = 0;
  WorkItem self;
  self = queue.repeating(0.25, [&] {
    if (++runs == 3) self.cancel();  // work may cancel its own timer
  });
  queue.runUntil(160);
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(queue.pending(), 0u);
  // Tiny, zero or NaN intervals still move the clock, so a deadline bounds them.
  for (const double interval : {0.0, -1.0, 1e-300, std::nan("")}) {
    VirtualMainQueue q;
    int ticks = 0;
    q.repeating(interval, [&] { ++ticks; });
    q.runUntil(1);
    EXPECT_NEAR(ticks, 1000, 1) << interval;
  }
}

TEST(VirtualMainQueue, WorkQueuedOrRunFromInsideWork) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  WorkItem timer = queue.repeating(0.5, trace.mark("tick"));
  queue.asyncAfter(1.25, [&] {
    trace.mark("waiting")();
    queue.async(trace.mark("inner"));
    queue.asyncAfter(0.5, trace.mark("later"));
    queue.asyncAfter(5, trace.mark("too-late"));
    queue.runUntil(queue.now() + 1);  // the command line's wait turns the loop like this
    trace.mark("waited")();
  });
  queue.asyncAfter(1.25, trace.mark("sibling"));
  queue.runUntil(2.5);
  timer.cancel();
  EXPECT_THAT(trace.runs,
              ElementsAre("tick@0.5", "tick@1.0", "waiting@1.25", "sibling@1.25", "inner@1.25",
                          "tick@1.5", "later@1.75", "tick@2.0", "waited@2.25", "tick@2.5"));
  EXPECT_EQ(queue.pending(), 1u);
}

TEST(VirtualMainQueue, RunAllEndsWithTheLastOneShotOrAtTheHorizon) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.repeating(1, trace.mark("tick"));
  int checks = 0;
  std::function<void()> check = [&] {
    if (++checks < 4) queue.asyncAfter(0.35, check);
  };
  queue.asyncAfter(0.35, check);
  queue.advance(0.5);
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(queue.runAll());
  EXPECT_EQ(checks, 4);
  EXPECT_DOUBLE_EQ(queue.now(), 1.4);
  EXPECT_THAT(trace.runs, ElementsAre("tick@1.0"));
  std::function<void()> forever = [&] { queue.asyncAfter(1, forever); };
  queue.asyncAfter(1, forever);
  EXPECT_FALSE(queue.runAll(30));
  EXPECT_DOUBLE_EQ(queue.now(), 31.4);
  VirtualMainQueue idle;
  idle.asyncAfter(std::numeric_limits<double>::infinity(), [] {});
  EXPECT_FALSE(idle.runAll(10));
  EXPECT_EQ(idle.now(), 10);
}

}  // namespace
}  // namespace tessaloom::platform
