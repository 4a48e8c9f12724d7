// Frame application: the writes made, the single settle delay, the one corrective pass and the
// assistive-interface switch around the batch.
#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

class FrameApplicationTest : public SimDesktopTest {
 protected:
  LayoutPlan planFor(const std::vector<Rect>& targets) {
    auto windows = WindowManager::targetWindows();
    EXPECT_EQ(windows.size(), targets.size());
    LayoutPlan plan;
    for (std::size_t i = 0; i < windows.size() && i < targets.size(); ++i)
      plan.push_back({windows[i], targets[i]});
    log().clear();
    return plan;
  }
};

TEST_F(FrameApplicationTest, AWindowThatTakesItsFrameGetsThreeWritesRoundedOutward) {
  load({{"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", {sceneWindow("a", 0, 0, 400, 300)})}}});
  WindowManager::apply(planFor({{100.4, 50.6, 799.3, 600.2}}));
  EXPECT_THAT(log().writeLines(), ElementsAre("win:101/0 AXSize size(800.0, 601.0)",
                                              "win:101/0 AXPosition point(100.0, 50.0)",
                                              "win:101/0 AXSize size(800.0, 601.0)"));
  EXPECT_EQ(desktop().windowFrame(101, 0), Rect(100, 50, 800, 601));
  EXPECT_DOUBLE_EQ(queue_.now(), 0.15);
}

struct Landing {
  std::vector<double> startsAt;  // a window that ignores writes stays here
  std::size_t writes;
};

class ToleranceTest : public FrameApplicationTest, public ::testing::WithParamInterface<Landing> {};

TEST_P(ToleranceTest, OnlyAMissOfMoreThanTwoPointsIsWrittenAgain) {
  json w = {{"title", "a"}, {"frame", GetParam().startsAt}, {"ignoresWrites", true}};
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", {w})}}});
  WindowManager::apply(planFor({{100.4, 50.6, 799.3, 600.2}}));
  EXPECT_EQ(log().writes().size(), GetParam().writes);
}

INSTANTIATE_TEST_SUITE_P(FrameApplication, ToleranceTest,
                         ::testing::Values(Landing{{100, 52, 800, 601}, 3},
                                           Landing{{98, 48, 802, 599}, 3},
                                           Landing{{100, 53, 800, 601}, 6},
                                           Landing{{100, 50, 803, 601}, 6},
                                           Landing{{100, 50, 800, 598.5}, 6}));

TEST_F(FrameApplicationTest, AClampedWindowIsCorrectedOnceAndOnlyOnce) {
  json w = {{"title", "a"}, {"frame", {0, 0, 900, 700}}, {"minSize", {600, 400}}};
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", {w})}}});
  WindowManager::apply(planFor({{10, 10, 300, 200}}));
  EXPECT_EQ(log().writes().size(), 6u);
  EXPECT_EQ(log().count(platform::SimCallKind::setAttributeValue), 6u);
}

TEST_F(FrameApplicationTest, VerificationHappensAfterTheSettleDelay) {
  // The window needs 0.1 s to follow; one settle delay is enough, so no second pass.
  json w = {{"title", "a"}, {"frame", {0, 0, 400, 300}}, {"writeDelay", 0.1}};
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", {w})}}});
  WindowManager::apply(planFor({{10, 10, 500, 400}}));
  EXPECT_EQ(log().writes().size(), 3u);
}

TEST_F(FrameApplicationTest, TheAssistiveInterfaceIsSwitchedOffOnceAndOnAgainPerApplication) {
  json on = sceneApp(101, "com.google.Chrome", "Chrome",
                     {sceneWindow("a", 0, 0, 400, 300), sceneWindow("b", 0, 0, 400, 300)});
  on["enhancedUI"] = true;
  json off = sceneApp(102, "com.apple.Safari", "Safari", {sceneWindow("c", 0, 0, 400, 300)});
  off["enhancedUI"] = false;
  json unsupported =
      sceneApp(103, "org.mozilla.firefox", "Firefox", {sceneWindow("d", 0, 0, 400, 300)});
  load({{"apps", {on, off, unsupported}}});
  WindowManager::apply(
      planFor({{0, 0, 500, 400}, {10, 10, 500, 400}, {20, 20, 500, 400}, {30, 30, 500, 400}}));
  std::vector<std::string> switches;
  for (const auto& line : log().writeLines())
    if (line.find("AXEnhancedUserInterface") != std::string::npos) switches.push_back(line);
  EXPECT_THAT(switches, ElementsAre("app:101 AXEnhancedUserInterface false",
                                    "app:101 AXEnhancedUserInterface true"));
  EXPECT_EQ(log().writeLines().front(), "app:101 AXEnhancedUserInterface false");
  EXPECT_EQ(log().writeLines().back(), "app:101 AXEnhancedUserInterface true");
  EXPECT_EQ(desktop().enhancedUserInterface(101), true);
}

TEST_F(FrameApplicationTest, AVanishedWindowDoesNotStopTheOthersOrTheSwitchBack) {
  json gone = {{"title", "gone"}, {"frame", {0, 0, 400, 300}}, {"vanishes", true}};
  json app = sceneApp(101, "com.google.Chrome", "Chrome", {gone, sceneWindow("b", 0, 0, 400, 300)});
  app["enhancedUI"] = true;
  load({{"apps", {app}}});
  WindowManager::apply(planFor({{0, 0, 500, 400}, {600, 0, 500, 400}}));
  EXPECT_EQ(desktop().windowFrame(101, 1), Rect(600, 0, 500, 400));
  EXPECT_EQ(desktop().enhancedUserInterface(101), true);
}

TEST_F(FrameApplicationTest, AnEmptyPlanWritesNothingButStillSettles) {
  load({{"apps", json::array()}});
  WindowManager::apply({});
  EXPECT_TRUE(log().writes().empty());
  EXPECT_DOUBLE_EQ(queue_.now(), 0.15);
}

TEST_F(FrameApplicationTest, WhenASizeCannotBeBoxedThePositionIsStillWritten) {
  load({{"boxingFails", {"size"}},
        {"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", {sceneWindow("a", 0, 0, 400, 300)})}}});
  WindowManager::apply(planFor({{10, 20, 500, 400}}));
  EXPECT_THAT(log().writeLines(), ElementsAre("win:101/0 AXPosition point(10.0, 20.0)",
                                              "win:101/0 AXPosition point(10.0, 20.0)"));
}

}  // namespace
}  // namespace tessaloom::testing
