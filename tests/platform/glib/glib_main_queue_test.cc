// The GLib main queue on real time: only the order of execution and what runs at all are
// checked, never how long anything took.
#include "platform/glib/glib_main_queue.h"

#include <glib.h>

#include <cmath>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

/// A private context per test, so nothing left on the default one leaks between tests.
class GlibMainQueueTest : public ::testing::Test {
 protected:
  GlibMainQueueTest() : context_(g_main_context_new()), queue_(context_) {}
  ~GlibMainQueueTest() override { g_main_context_unref(context_); }

  /// Turns the loop for a short while; generous against a busy machine.
  void turn(double seconds = 0.2) { queue_.runUntil(queue_.now() + seconds); }

  GMainContext* context_;
  GlibMainQueue queue_;
  std::vector<std::string> runs_;
};

TEST_F(GlibMainQueueTest, AsyncWorkRunsInTheOrderQueued) {
  for (const char* label : {"a", "b", "c", "d"})
    queue_.async([this, label] { runs_.push_back(label); });
  EXPECT_THAT(runs_, IsEmpty());  // nothing runs before the loop turns
  turn();
  EXPECT_THAT(runs_, ElementsAre("a", "b", "c", "d"));
}

TEST_F(GlibMainQueueTest, WorkQueuedFromWorkRunsAfterIt) {
  queue_.async([this] {
    runs_.push_back("outer");
    queue_.async([this] { runs_.push_back("inner"); });
    queue_.asyncAfter(0.01, [this] { runs_.push_back("inner-later"); });
  });
  queue_.async([this] { runs_.push_back("sibling"); });
  turn();
  EXPECT_THAT(runs_, ElementsAre("outer", "sibling", "inner", "inner-later"));
}

TEST_F(GlibMainQueueTest, EqualDelaysRunInSchedulingOrderAndCancelledWorkNever) {
  WorkItem later;
  // Queued first, so it runs first even when everything is due by the first turn.
  queue_.async([&later] { later.cancel(); });
  WorkItem dropped = queue_.asyncAfter(0.01, [this] { runs_.push_back("dropped"); });
  queue_.asyncAfter(0.01, [this] { runs_.push_back("first"); });
  later = queue_.asyncAfter(0.01, [this] { runs_.push_back("cancelled-by-earlier-work"); });
  queue_.asyncAfter(0.01, [this] { runs_.push_back("second"); });
  dropped.cancel();
  turn();
  EXPECT_THAT(runs_, ElementsAre("first", "second"));
}

TEST_F(GlibMainQueueTest, RepeatingWorkRunsUntilCancelled) {
  int ticks = 0;
  WorkItem timer;
  timer = queue_.repeating(0.001, [&] {
    if (++ticks == 3) timer.cancel();
  });
  // Turns until the timer has stopped itself; the bound only guards against a hang.
  for (int i = 0; i < 500 && ticks < 3; ++i) turn(0.01);
  EXPECT_EQ(ticks, 3);
  turn(0.05);
  EXPECT_EQ(ticks, 3);
}

TEST(GlibMainQueue, PendingWorkGoesAwayWithTheQueue) {
  GMainContext* context = g_main_context_new();
  std::vector<std::string> runs;
  {
    GlibMainQueue first(context);
    first.async([&] { runs.push_back("async"); });
    first.asyncAfter(0, [&] { runs.push_back("after"); });
    first.repeating(0.001, [&] { runs.push_back("tick"); });
  }
  GlibMainQueue second(context);
  second.async([&] { runs.push_back("second"); });
  second.runUntil(second.now() + 0.05);
  EXPECT_THAT(runs, ElementsAre("second"));
  g_main_context_unref(context);
}

TEST(GlibMainQueue, UsesTheDefaultContextWhenGivenNoneAndRunsUntilTheDeadline) {
  GlibMainQueue queue;
  bool ran = false;
  queue.async([&] { ran = true; });
  EXPECT_TRUE(g_main_context_pending(g_main_context_default()));
  const double deadline = queue.now() + 0.05;
  queue.runUntil(deadline);
  EXPECT_TRUE(ran);
  EXPECT_GE(queue.now(), deadline);
  queue.runUntil(std::nan(""));  // returns at once
}

}  // namespace
}  // namespace tessaloom::platform
