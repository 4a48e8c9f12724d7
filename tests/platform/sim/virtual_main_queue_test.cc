// The virtual main queue: due order, the clock each block sees, deadlines, cancellation and
// repeating work, also when queued or run from inside work.
#include "platform/sim/virtual_main_queue.h"

#include <cmath>

#include <gtest/gtest.h>

#include "base/geometry.h"

namespace tessaloom::platform {
namespace {

TEST(VirtualMainQueue, RunsWorkInDueOrderOnItsOwnClockUpToEachDeadline) {
  VirtualMainQueue queue(100);
  std::vector<std::string> runs;
  const auto mark = [&](std::string label) {
    return [&, label] { runs.push_back(label + "@" + formatNumber(queue.now())); };
  };
  WorkItem timer = queue.repeating(0.5, mark("tick"));
  queue.asyncAfter(1, mark("b"));
  queue.async(mark("now"));
  queue.asyncAfter(std::nan(""), mark("nan"));  // a negative or NaN delay counts as 0
  WorkItem(queue.asyncAfter(0.2, mark("cancelled"))).cancel();  // copies share the flag
  WorkItem victim = queue.asyncAfter(1.5, mark("victim"));
  queue.asyncAfter(1.25, [&] {
    victim.cancel();
    queue.async(mark("inner"));
    queue.asyncAfter(0.5, mark("later"));
    queue.runUntil(queue.now() + 1);  // the command line's wait turns the loop like this
    mark("waited")();
  });
  queue.asyncAfter(1.25, mark("sibling"));
  queue.asyncAfter(-1, mark("negative"));
  queue.runUntil(102.5);
  for (const double deadline : {101.0, HUGE_VAL, std::nan("")}) queue.runUntil(deadline);  // no-ops
  queue.sleep(-1);
  queue.sleep(std::nan(""));
  queue.sleep(1.25);  // the timer, fallen behind, drops the beats it missed
  queue.runUntil(104.5);
  timer.cancel();
  queue.runUntil(200);
  EXPECT_EQ(runs, (std::vector<std::string>{
                      "now@100.0", "nan@100.0", "negative@100.0", "tick@100.5", "b@101.0",
                      "tick@101.0", "sibling@101.25", "inner@101.25", "tick@101.5", "later@101.75",
                      "tick@102.0", "waited@102.25", "tick@102.5", "tick@103.75", "tick@104.25"}));
  EXPECT_EQ(queue.now(), 200);
  EXPECT_EQ(queue.pending(), 0u);
  std::function<void()> forever = [&] { queue.asyncAfter(1, forever); };
  queue.asyncAfter(1, forever);
  EXPECT_EQ(queue.nextDue(), 201);
  EXPECT_FALSE(queue.runAll(30));  // stopped by the horizon
  EXPECT_EQ(queue.now(), 230);
}

}  // namespace
}  // namespace tessaloom::platform
