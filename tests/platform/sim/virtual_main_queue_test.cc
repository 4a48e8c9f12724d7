// The virtual main queue: due order, the clock each block sees, deadlines, cancellation,
// repeating work and work queued from inside work.
#include "platform/sim/virtual_main_queue.h"

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/geometry.h"

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

/// Collects "label@time" for each block run.
struct Trace {
  VirtualMainQueue& queue;
  std::vector<std::string> runs;
  std::function<void()> mark(const std::string& label) {
    return [this, label] { runs.push_back(label + "@" + formatNumber(queue.now())); };
  }
};

TEST(VirtualMainQueue, RunsWorkInDueOrderTiesInSchedulingOrder) {
  struct Step {
    std::optional<double> delay;  // nothing: async
    std::string label;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"later scheduled earlier due", {{2, "a"}, {1, "b"}}, {"b@1.0", "a@2.0"}},
      {"same due time", {{1, "a"}, {1, "b"}, {1, "c"}}, {"a@1.0", "b@1.0", "c@1.0"}},
      {"async before delayed", {{0.5, "late"}, {std::nullopt, "now"}}, {"now@0.0", "late@0.5"}},
      {"zero delay among async",
       {{std::nullopt, "a"}, {0, "b"}, {std::nullopt, "c"}},
       {"a@0.0", "b@0.0", "c@0.0"}},
      {"negative and NaN delays count as zero",
       {{3, "x"}, {-5, "y"}, {std::nan(""), "z"}},
       {"y@0.0", "z@0.0", "x@3.0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualMainQueue queue;
    Trace trace{queue, {}};
    for (const Step& step : c.steps) {
      if (step.delay) {
        queue.asyncAfter(*step.delay, trace.mark(step.label));
      } else {
        queue.async(trace.mark(step.label));
      }
    }
    queue.runUntil(10);
    EXPECT_EQ(trace.runs, c.expected);
    EXPECT_EQ(queue.now(), 10);
  }
}

TEST(VirtualMainQueue, RunUntilStopsAtTheDeadlineAndLeavesLaterWork) {
  VirtualMainQueue queue(100);
  Trace trace{queue, {}};
  queue.asyncAfter(1, trace.mark("in"));
  queue.asyncAfter(2, trace.mark("edge"));
  queue.asyncAfter(2.001, trace.mark("out"));
  queue.runUntil(102);
  EXPECT_THAT(trace.runs, ElementsAre("in@101.0", "edge@102.0"));
  EXPECT_EQ(queue.now(), 102);
  EXPECT_EQ(queue.pending(), 1u);
  EXPECT_EQ(queue.nextDue(), 102.001);

  // A deadline in the past or not finite neither runs later work nor moves the clock.
  for (const double deadline : {50.0, std::numeric_limits<double>::infinity(), std::nan("")})
    queue.runUntil(deadline);
  EXPECT_EQ(queue.now(), 102);
  EXPECT_EQ(trace.runs.size(), 2u);
}

TEST(VirtualMainQueue, SleepMovesTheClockWithoutRunningAnything) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.asyncAfter(1, trace.mark("a"));
  queue.sleep(5);
  queue.sleep(-3);
  queue.sleep(std::nan(""));
  EXPECT_EQ(queue.now(), 5);
  EXPECT_THAT(trace.runs, IsEmpty());
  // Overdue work runs at once, on the clock as it stands.
  queue.runUntil(5);
  EXPECT_THAT(trace.runs, ElementsAre("a@5.0"));
}

TEST(VirtualMainQueue, CancelledWorkNeverRuns) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  WorkItem early = queue.asyncAfter(1, trace.mark("early"));
  WorkItem sameTime = queue.asyncAfter(2, trace.mark("sameTime"));
  WorkItem victim = queue.asyncAfter(2, trace.mark("victim"));
  queue.asyncAfter(2, trace.mark("survivor"));
  queue.asyncAfter(1.5, [&] { victim.cancel(); });
  early.cancel();
  WorkItem copy = sameTime;  // copies share the flag
  copy.cancel();
  EXPECT_TRUE(sameTime.isCancelled());
  EXPECT_EQ(queue.pending(), 3u);
  EXPECT_EQ(queue.nextDue(), 1.5);
  queue.runUntil(5);
  EXPECT_THAT(trace.runs, ElementsAre("survivor@2.0"));
  EXPECT_EQ(queue.pending(), 0u);
  EXPECT_FALSE(queue.nextDue().has_value());
}

TEST(VirtualMainQueue, RepeatingWorkRunsEachIntervalUntilCancelled) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  WorkItem timer = queue.repeating(1, trace.mark("tick"));
  queue.runUntil(3.5);
  EXPECT_THAT(trace.runs, ElementsAre("tick@1.0", "tick@2.0", "tick@3.0"));
  queue.runUntil(4);
  EXPECT_EQ(trace.runs.back(), "tick@4.0");
  timer.cancel();
  queue.runUntil(100);
  EXPECT_EQ(trace.runs.size(), 4u);
  EXPECT_EQ(queue.now(), 100);

  // Work may cancel its own timer.
  int runs = 0;
  WorkItem self;
  self = queue.repeating(0.25, [&] {
    if (++runs == 3) self.cancel();
  });
  queue.runUntil(160);
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(queue.pending(), 0u);
}

TEST(VirtualMainQueue, TinyOrZeroIntervalsStayBoundedByTheDeadline) {
  for (const double interval : {0.0, -1.0, 1e-300, std::nan("")}) {
    VirtualMainQueue queue;
    int runs = 0;
    queue.repeating(interval, [&] { ++runs; });
    queue.runUntil(1);
    EXPECT_NEAR(runs, 1000, 1) << interval;  // the sum of the steps may overshoot 1 slightly
  }
}

TEST(VirtualMainQueue, RepeatingWorkThatFellBehindDropsMissedBeats) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.repeating(1, trace.mark("tick"));
  queue.sleep(3.5);
  queue.runUntil(5);
  EXPECT_THAT(trace.runs, ElementsAre("tick@3.5", "tick@4.5"));
}

TEST(VirtualMainQueue, WorkQueuedFromWorkRunsWhenDueWithinTheDeadline) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.asyncAfter(1, [&] {
    trace.runs.push_back("outer@" + formatNumber(queue.now()));
    queue.async(trace.mark("inner-async"));
    queue.asyncAfter(0.5, trace.mark("inner-later"));
    queue.asyncAfter(5, trace.mark("inner-too-late"));
  });
  queue.asyncAfter(1, trace.mark("sibling"));
  queue.runUntil(2);
  EXPECT_THAT(trace.runs,
              ElementsAre("outer@1.0", "sibling@1.0", "inner-async@1.0", "inner-later@1.5"));
  EXPECT_EQ(queue.pending(), 1u);
}

TEST(VirtualMainQueue, NestedRunUntilFromInsideWork) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  WorkItem timer = queue.repeating(0.5, trace.mark("tick"));
  queue.asyncAfter(1.25, [&] {
    trace.runs.push_back("waiting@" + formatNumber(queue.now()));
    queue.runUntil(queue.now() + 1);  // the command line's wait turns the loop like this
    trace.runs.push_back("waited@" + formatNumber(queue.now()));
  });
  queue.runUntil(2.5);
  timer.cancel();
  EXPECT_THAT(trace.runs, ElementsAre("tick@0.5", "tick@1.0", "waiting@1.25", "tick@1.5",
                                      "tick@2.0", "waited@2.25", "tick@2.5"));
}

TEST(VirtualMainQueue, AdvanceAndRunAll) {
  VirtualMainQueue queue;
  Trace trace{queue, {}};
  queue.repeating(1, trace.mark("tick"));
  // A chain of readiness checks, each queueing the next, ends by itself.
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

  // A chain that never ends is stopped by the horizon.
  std::function<void()> forever = [&] { queue.asyncAfter(1, forever); };
  queue.asyncAfter(1, forever);
  EXPECT_FALSE(queue.runAll(30));
  EXPECT_DOUBLE_EQ(queue.now(), 31.4);

  // Nor does it wait for work that never comes.
  VirtualMainQueue idle;
  idle.asyncAfter(std::numeric_limits<double>::infinity(), [] {});
  EXPECT_FALSE(idle.runAll(10));
  EXPECT_EQ(idle.now(), 10);
}

}  // namespace
}  // namespace tessaloom::platform
