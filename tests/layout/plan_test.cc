// The planner: display groups, the usable area inset by the gap, and the same-size plan.
#include <gmock/gmock.h>

#include "layout/layout_engine.h"
#include "support/sim_fixture.h"
#include "support/titles.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

// Two 960 x 625 screens side by side with a 25-point bar on top: usable (0, 25, 960, 600) and
// (960, 25, 960, 600).
json twoScreens() {
  return json::array(
      {{{"name", "Left"}, {"frame", {0, 0, 960, 625}}, {"visible", {0, 0, 960, 600}}},
       {{"name", "Right"}, {"frame", {960, 0, 960, 625}}, {"visible", {960, 0, 960, 600}}}});
}

ManagedWindow window(const std::string& title, Rect frame, Kind kind = Kind::browser,
                     int pid = 101) {
  return ManagedWindow(nullptr, pid, "com.google.Chrome", "Chrome", title, frame, kind);
}

std::map<std::string, Rect> targets(const LayoutPlan& plan) {
  std::map<std::string, Rect> result;
  for (const auto& e : plan) result[e.window.title()] = e.target;
  return result;
}

class PlanTest : public SimDesktopTest {
 protected:
  void SetUp() override { load({{"screens", twoScreens()}, {"mouse", {1400, 300}}}); }
};

TEST_F(PlanTest, TheAreaIsTheUsableRectangleInsetByTheGap) {
  auto plan = LayoutEngine::plan(LayoutKind::grid, {window("a", {100, 100, 400, 300})});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].target, Rect(8, 33, 944, 584));
  settings().setGap(-4);
  EXPECT_EQ(LayoutEngine::plan(LayoutKind::grid, {window("a", {100, 100, 400, 300})})[0].target,
            Rect(-4, 21, 968, 608));
}

TEST_F(PlanTest, EachDisplayArrangesTheWindowsMostlyOnItInDisplayOrder) {
  const std::vector<ManagedWindow> windows = {
      window("right", {1000, 100, 400, 300}),
      window("straddling, mostly right", {800, 100, 400, 300}),
      window("straddling, equal", {760, 100, 400, 300}),
      window("left", {10, 100, 400, 300}),
      window("nowhere", {5000, 5000, 400, 300}),
  };
  auto plan = LayoutEngine::plan(LayoutKind::cascade, windows);
  EXPECT_THAT(titles(plan), ::testing::ElementsAre("left", "straddling, equal",
                                                   "straddling, mostly right", "right", "nowhere"));
  for (const auto& e : plan) {
    const bool onLeft = e.window.title() == "left" || e.window.title() == "straddling, equal";
    EXPECT_EQ(e.target.minX() < 960, onLeft) << e.window.title();
  }
}

TEST_F(PlanTest, MouseModeGathersEveryWindowOnTheDisplayUnderThePointer) {
  settings().setDisplayMode(DisplayMode::mouseDisplay);
  auto plan = LayoutEngine::plan(
      LayoutKind::columns, {window("a", {10, 100, 400, 300}), window("b", {1000, 100, 400, 300})});
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].target, Rect(968, 33, 468, 584));
  EXPECT_EQ(plan[1].target, Rect(1444, 33, 468, 584));
}

TEST_F(PlanTest, BrowsersArePlacedBeforeAIWindowsAndColumnsReadTopToBottom) {
  auto plan = LayoutEngine::plan(
      LayoutKind::grid,
      {window("ai", {0, 100, 400, 300}, Kind::ai), window("lower", {115, 300, 400, 300}),
       window("upper", {100, 200, 400, 300}), window("far right", {141, 50, 400, 300})});
  EXPECT_THAT(titles(plan), ::testing::ElementsAre("upper", "lower", "far right", "ai"));
}

TEST_F(PlanTest, AGapThatLeavesNoAreaPlansNothing) {
  settings().setGap(480);
  EXPECT_TRUE(LayoutEngine::plan(LayoutKind::grid, {window("a", {10, 100, 400, 300})}).empty());
  settings().setGap(std::nan(""));
  EXPECT_TRUE(LayoutEngine::plan(LayoutKind::columns, {window("a", {10, 100, 400, 300})}).empty());
}

TEST_F(PlanTest, NoWindowsOrNoDisplaysGiveAnEmptyPlan) {
  EXPECT_TRUE(LayoutEngine::plan(LayoutKind::grid, {}).empty());
  desktop().setScreens({});
  EXPECT_TRUE(LayoutEngine::plan(LayoutKind::grid, {window("a", {0, 0, 400, 300})}).empty());
}

TEST_F(PlanTest, SameSizeKeepsPositionsAndStaysInsideTheUsableArea) {
  // The reference is the first window: the frontmost application owns none.
  const std::vector<ManagedWindow> windows = {
      window("reference", {100, 60, 700, 500}),
      window("grows and moves", {400, 300, 300, 200}),
      window("pulled inside", {-50, 10, 800, 900}),
      window("on the right display", {1500, 400, 300, 200}),
  };
  settings().setDisplayMode(DisplayMode::mouseDisplay);  // plays no part
  auto t = targets(LayoutEngine::plan(LayoutKind::sameSize, windows));
  EXPECT_EQ(t["reference"], Rect(100, 60, 700, 500));
  EXPECT_EQ(t["grows and moves"], Rect(260, 125, 700, 500));
  EXPECT_EQ(t["pulled inside"], Rect(0, 25, 700, 500));
  EXPECT_EQ(t["on the right display"], Rect(1220, 125, 700, 500));
}

TEST_F(PlanTest, SameSizeClampsToTheDisplayAndFollowsTheFrontmostApplication) {
  load({{"screens", twoScreens()},
        {"frontmost", 202},
        {"apps", {sceneApp(202, "com.openai.chat", "ChatGPT", json::array())}}});
  const std::vector<ManagedWindow> windows = {window("first", {10, 40, 300, 200}),
                                              window("huge", {0, 0, 980, 640}, Kind::ai, 202)};
  auto t = targets(LayoutEngine::plan(LayoutKind::sameSize, windows));
  EXPECT_EQ(t["first"], Rect(0, 25, 960, 600));
  EXPECT_EQ(t["huge"], Rect(0, 25, 960, 600));
}

TEST_F(PlanTest, SameSizeWithoutDisplaysLetsAWindowOnlyShrink) {
  const std::vector<ManagedWindow> windows = {window("reference", {0, 0, 500, 400}),
                                              window("small", {30, 40, 200, 500})};
  auto t = targets(LayoutEngine::sameSizePlan(windows, {}));
  EXPECT_EQ(t["small"], Rect(30, 40, 200, 400));
}

}  // namespace
}  // namespace tessaloom::testing
