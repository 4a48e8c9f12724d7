// Which applications and windows become targets, in which order and with which kind, and the
// screens as displays.
#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "support/titles.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

class DiscoveryTest : public SimDesktopTest {
 protected:
  std::vector<ManagedWindow> found(
      WindowManager::Sizes sizes = WindowManager::Sizes::atLeastMinimum) {
    auto ctx = context();
    return WindowManager::targetWindows(ctx, sizes);
  }
};

TEST_F(DiscoveryTest, OnlyStandardShownWindowsOfAtLeast200By150Count) {
  json windows = json::array({
      sceneWindow("exact minimum", 0, 0, 200, 150),
      sceneWindow("too narrow", 0, 0, 199.5, 150),
      sceneWindow("too low", 0, 0, 200, 149.9),
      {{"title", "minimized"}, {"frame", {0, 0, 800, 600}}, {"minimized", true}},
      {{"title", "full screen"}, {"frame", {0, 0, 800, 600}}, {"fullScreen", true}},
      {{"title", "dialog"}, {"frame", {0, 0, 800, 600}}, {"subrole", "AXDialog"}},
      {{"frame", {0, 0, 800, 600}}},
  });
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Google Chrome", windows)}}});
  auto all = found();
  EXPECT_THAT(titles(all), ElementsAre("exact minimum", ""));
  EXPECT_EQ(all[0].frame(), Rect(0, 0, 200, 150));
  EXPECT_EQ(all[0].appName(), "Google Chrome");
  EXPECT_EQ(all[0].pid(), 101);
  EXPECT_EQ(all[0].handle(), desktop().windowHandle(101, 0));
  // Put back by a restore whatever their size: only the size rule is dropped.
  EXPECT_THAT(titles(found(WindowManager::Sizes::any)),
              ElementsAre("exact minimum", "too narrow", "too low", ""));
}

TEST_F(DiscoveryTest, HiddenIgnoredAndAnonymousApplicationsAreLeftOutInNameOrder) {
  json w = json::array({sceneWindow("w", 0, 0, 800, 600)});
  json hidden = sceneApp(102, "org.mozilla.firefox", "Firefox", w);
  hidden["hidden"] = true;
  json anonymous = {{"pid", 104}, {"name", "Chromium"}, {"windows", w}};
  json unnamed = {{"pid", 107}, {"bundleID", "com.openai.chat"}, {"windows", w}};
  load({{"apps",
         {sceneApp(101, "com.example.notes", "Notes", w), hidden, anonymous, unnamed,
          sceneApp(105, "com.google.Chrome", "chrome", w),
          sceneApp(106, "com.apple.Safari", "Safari", w)}}});
  std::vector<std::string> names;
  for (const auto& win : found()) names.push_back(win.appName());
  // Upper case sorts before lower case; an absent name sorts as empty and shows the identifier.
  EXPECT_THAT(names, ElementsAre("com.openai.chat", "Safari", "chrome"));
  EXPECT_EQ(log().count(platform::SimCallKind::windows), 3u) << "ignored ones are never asked";
  auto ctx = context();
  EXPECT_EQ(WindowManager::regularApps(ctx).size(), 5u) << "hidden ones are listed for the menu";
}

TEST_F(DiscoveryTest, KindsFollowOverridesAndAITabDetection) {
  json w = json::array(
      {sceneWindow("ChatGPT - New chat", 0, 0, 800, 600), sceneWindow("News", 0, 0, 800, 600)});
  load({{"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", w),
          sceneApp(102, "org.example.e\xCC\x81", "Editor", w)}}});
  // Overrides are found under any canonically equal spelling of the identifier.
  settings_.setOverrides({{"org.example.\xC3\xA9", Kind::browser}});
  auto kinds = [&] {
    std::vector<Kind> k;
    for (const auto& win : found()) k.push_back(win.kind());
    return k;
  };
  EXPECT_THAT(kinds(), ElementsAre(Kind::ai, Kind::browser, Kind::ai, Kind::browser));
  settings_.setDetectAITabs(false);
  EXPECT_THAT(kinds(), ElementsAre(Kind::browser, Kind::browser, Kind::browser, Kind::browser));
}

TEST_F(DiscoveryTest, UnreadableApplicationsAreSkipped) {
  json w = json::array({sceneWindow("w", 0, 0, 800, 600)});
  json broken = sceneApp(101, "com.google.Chrome", "Chrome", w);
  broken["failWindows"] = true;
  load({{"apps", {broken, sceneApp(102, "com.brave.Browser", "Brave", w)}}});
  EXPECT_THAT(titles(found()), ElementsAre("w"));
}

TEST_F(DiscoveryTest, FrontmostAndDisplays) {
  load({{"frontmost", 102},
        {"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", json::array()),
          sceneApp(102, "com.brave.Browser", "Brave", json::array())}}});
  auto ctx = context();
  EXPECT_EQ(WindowManager::frontmostPid(ctx), 102);
  const auto displays = WindowManager::displays(ctx);
  ASSERT_EQ(displays.size(), 1u);
  EXPECT_EQ(displays[0].frame(), Rect(0, 0, 1440, 900));
  EXPECT_EQ(displays[0].visible(), Rect(0, 25, 1440, 875));
  EXPECT_EQ(displays[0].name(), "Built-in");
}

}  // namespace
}  // namespace tessaloom::testing
