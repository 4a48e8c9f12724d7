// The planner: display groups, the usable area inset by the gap, the pointer's display, the
// order of placement and the same-size plan, all from plain values.
#include <gmock/gmock.h>

#include <cmath>
#include <map>

#include "layout/displays.h"
#include "layout/layout_engine.h"
#include "layout_test_support.h"

namespace tessaloom {
namespace {

using LayoutEngine::PlanParameters;
using testing_support::titles;

// Two 960 x 625 screens side by side with a 25-point bar on top.
const std::vector<Display> kTwo = {Display({0, 0, 960, 625}, {0, 25, 960, 600}, "Left"),
                                   Display({960, 0, 960, 625}, {960, 25, 960, 600}, "Right")};

// The parameters of a plan with the pointer on the right display.
PlanParameters parameters(double gap = 8, DisplayMode mode = DisplayMode::perDisplay,
                          std::optional<std::int32_t> frontmostPid = std::nullopt) {
  PlanParameters p;
  p.gap = gap;
  p.displayMode = mode;
  p.pointer = {1400, 300};
  p.frontmostPid = frontmostPid;
  return p;
}

ManagedWindow window(const std::string& title, Rect frame, Kind kind = Kind::browser,
                     int pid = 101) {
  return ManagedWindow(0, pid, "com.google.Chrome", "Chrome", title, frame, kind);
}

std::map<std::string, Rect> targets(const LayoutPlan& plan) {
  std::map<std::string, Rect> result;
  for (const auto& e : plan) result[e.window.title()] = e.target;
  return result;
}

LayoutPlan plan(LayoutKind kind, const std::vector<ManagedWindow>& windows,
                PlanParameters p = parameters(), const std::vector<Display>& d = kTwo) {
  return LayoutEngine::plan(kind, windows, d, p);
}

TEST(Plan, TheAreaIsTheUsableRectangleInsetByTheGap) {
  EXPECT_EQ(plan(LayoutKind::grid, {window("a", {100, 100, 400, 300})})[0].target,
            Rect(8, 33, 944, 584));
  EXPECT_EQ(plan(LayoutKind::grid, {window("a", {100, 100, 400, 300})}, parameters(0))[0].target,
            Rect(0, 25, 960, 600));
}

TEST(Plan, EachDisplayArrangesTheWindowsMostlyOnItInDisplayOrder) {
  const std::vector<ManagedWindow> windows = {
      window("right", {1000, 100, 400, 300}),
      window("straddling, mostly right", {800, 100, 400, 300}),
      window("straddling, equal", {760, 100, 400, 300}),
      window("left", {10, 100, 400, 300}),
      window("nowhere", {5000, 5000, 400, 300}),  // goes with the pointer's display
  };
  auto p = plan(LayoutKind::cascade, windows);
  EXPECT_THAT(titles(p), ::testing::ElementsAre("left", "straddling, equal",
                                                "straddling, mostly right", "right", "nowhere"));
  for (const auto& e : p) {
    const bool onLeft = e.window.title() == "left" || e.window.title() == "straddling, equal";
    EXPECT_EQ(e.target.minX() < 960, onLeft) << e.window.title();
  }
}

TEST(Plan, MouseModeGathersEveryWindowOnTheDisplayUnderThePointer) {
  const PlanParameters p = parameters(8, DisplayMode::mouseDisplay);
  auto result = plan(LayoutKind::columns,
                     {window("a", {10, 100, 400, 300}), window("b", {1000, 100, 400, 300})}, p);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].target, Rect(968, 33, 468, 584));
  EXPECT_EQ(result[1].target, Rect(1444, 33, 468, 584));
}

TEST(Plan, BrowsersArePlacedBeforeAIWindowsAndColumnsReadTopToBottom) {
  auto p = plan(LayoutKind::grid,
                {window("ai", {0, 100, 400, 300}, Kind::ai), window("lower", {115, 300, 400, 300}),
                 window("upper", {100, 200, 400, 300}), window("far right", {141, 50, 400, 300})});
  EXPECT_THAT(titles(p), ::testing::ElementsAre("upper", "lower", "far right", "ai"));
}

TEST(Plan, NothingToPlanGivesAnEmptyPlan) {
  const auto a = window("a", {10, 100, 400, 300});
  EXPECT_TRUE(plan(LayoutKind::grid, {a}, parameters(480)).empty()) << "the gap eats the area";
  EXPECT_TRUE(plan(LayoutKind::columns, {a}, parameters(std::nan(""))).empty());
  EXPECT_TRUE(plan(LayoutKind::grid, {}).empty());
  EXPECT_TRUE(plan(LayoutKind::grid, {a}, parameters(), {}).empty());
}

TEST(Plan, SameSizeKeepsPositionsAndStaysInsideTheUsableArea) {
  const std::vector<ManagedWindow> windows = {
      window("reference", {100, 60, 700, 500}),
      window("grows and moves", {400, 300, 300, 200}),
      window("pulled inside", {-50, 10, 800, 900}),
      window("on the right display", {1500, 400, 300, 200}),
  };
  auto t = targets(plan(LayoutKind::sameSize, windows, parameters(8, DisplayMode::mouseDisplay)));
  EXPECT_EQ(t["reference"], Rect(100, 60, 700, 500));
  EXPECT_EQ(t["grows and moves"], Rect(260, 125, 700, 500));
  EXPECT_EQ(t["pulled inside"], Rect(0, 25, 700, 500));
  EXPECT_EQ(t["on the right display"], Rect(1220, 125, 700, 500));
}

TEST(Plan, SameSizeFollowsTheFrontmostApplicationAndClampsToTheDisplay) {
  const std::vector<ManagedWindow> windows = {window("first", {10, 40, 300, 200}),
                                              window("huge", {0, 0, 980, 640}, Kind::ai, 202)};
  auto t =
      targets(plan(LayoutKind::sameSize, windows, parameters(8, DisplayMode::perDisplay, 202)));
  EXPECT_EQ(t["first"], Rect(0, 25, 960, 600));
  EXPECT_EQ(t["huge"], Rect(0, 25, 960, 600));
  // Without displays a window may only shrink.
  auto alone = targets(LayoutEngine::sameSizePlan(
      {window("reference", {0, 0, 500, 400}), window("small", {30, 40, 200, 500})}, {}, {}));
  EXPECT_EQ(alone["small"], Rect(30, 40, 200, 400));
}

TEST(Displays, TheLargestShareWinsElseThePointersDisplayElseTheFirst) {
  using LayoutEngine::displayHolding;
  using LayoutEngine::displayUnder;
  EXPECT_EQ(displayHolding({900, 0, 100, 100}, kTwo, {})->name(), "Left");
  EXPECT_EQ(displayHolding({940, 0, 100, 100}, kTwo, {})->name(), "Right");
  EXPECT_EQ(displayHolding({5000, 0, 100, 100}, kTwo, {1000, 10})->name(), "Right");
  EXPECT_EQ(displayUnder({1920, 625}, kTwo)->name(), "Right") << "one point beyond the edge";
  EXPECT_EQ(displayUnder({-50, -50}, kTwo)->name(), "Left");
  EXPECT_FALSE(displayUnder({0, 0}, {}));
}

}  // namespace
}  // namespace tessaloom
