// Which windows become targets, in which order and with which kind; frame application with its
// one settle and one correction pass; and the matching of stored records to windows.
#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

class WindowsTest : public SimDesktopTest {
 protected:
  /// "application name/title/kind" of each target window, in order.
  std::vector<std::string> targets(
      WindowManager::Sizes sizes = WindowManager::Sizes::atLeastMinimum) {
    std::vector<std::string> out;
    for (const auto& w : WindowManager::targetWindows(ctx(), sizes))
      out.push_back(w.appName() + "/" + w.title() + "/" + std::string(rawValue(w.kind())));
    return out;
  }
};

// Equal names keep the desktop's order; an absent name sorts as empty and shows the identifier.
TEST_F(WindowsTest, StandardShownWindowsOfAtLeastTheMinimumSizeCountInApplicationNameOrder) {
  load(json::parse(R"({"frontmost": 105, "apps": [
    {"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome", "windows": [
      {"title": "ChatGPT - New chat", "frame": [0, 0, 200, 150]}, {"title": "narrow", "frame": [0, 0, 199.5, 150]},
      {"title": "low", "frame": [0, 0, 200, 149.9]}, {"frame": [0, 0, 800, 600]},
      {"title": "minimized", "frame": [0, 0, 800, 600], "minimized": true},
      {"title": "full", "frame": [0, 0, 800, 600], "fullScreen": true},
      {"title": "dialog", "frame": [0, 0, 800, 600], "subrole": "AXDialog"}]},
    {"pid": 102, "bundleID": "com.example.notes", "name": "Chrome", "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]},
    {"pid": 103, "bundleID": "com.apple.Safari", "name": "Chrome", "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]},
    {"pid": 104, "name": "Chromium", "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]},
    {"pid": 105, "bundleID": "com.openai.chat", "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]},
    {"pid": 106, "bundleID": "org.mozilla.firefox", "name": "Firefox", "hidden": true, "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]},
    {"pid": 107, "bundleID": "com.brave.Browser", "name": "Brave", "failWindows": true, "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]}]})"));
  settings_.setOverrides({{"com.example.notes", Kind::ai}, {"com.apple.Safari", Kind::ignore}});
  EXPECT_THAT(targets(), ElementsAre("com.openai.chat/w/ai", "Chrome/ChatGPT - New chat/ai",
                                     "Chrome//browser", "Chrome/w/ai"));
  settings_.setDetectAITabs(false);
  EXPECT_THAT(
      targets(WindowManager::Sizes::any),
      ElementsAre("com.openai.chat/w/ai", "Chrome/ChatGPT - New chat/browser",
                  "Chrome/narrow/browser", "Chrome/low/browser", "Chrome//browser", "Chrome/w/ai"));
  EXPECT_EQ(WindowManager::regularApps(ctx()).size(), 6u) << "hidden ones are listed for the menu";
  EXPECT_EQ(WindowManager::frontmostPid(ctx()), 105);
  const auto displays = WindowManager::displays(ctx());
  ASSERT_EQ(displays.size(), 1u);
  EXPECT_EQ(displays[0].visible(), Rect(0, 25, 1440, 875));
}

// Targets go out as whole numbers in one batch; after one settle and one read-back, only the
// windows more than two points off (a slow one, one held taller) are placed again, and a
// vanished one is left alone.
TEST_F(WindowsTest, ApplyPlacesSettlesReadsBackAndCorrectsOnce) {
  load(json::parse(
      R"({"apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome", "windows": [
    {"title": "slow", "frame": [0, 0, 400, 300], "writeDelay": 1}, {"title": "on target", "frame": [0, 0, 400, 300]},
    {"title": "off by two", "frame": [0, 0, 400, 300], "minSize": [402, 300]},
    {"title": "off by three", "frame": [0, 0, 400, 300], "minSize": [400, 303]},
    {"title": "gone", "frame": [0, 0, 400, 300], "vanishes": true}]}]})"));
  const auto windows = WindowManager::targetWindows(ctx());
  const Rect targets[] = {{10, 10, 500, 400},
                          {0.4, 10, 640.2, 480},
                          {20, 20, 400, 300},
                          {40, 40, 400, 300},
                          {60, 60, 500, 400}};
  LayoutPlan plan;
  for (std::size_t i = 0; i < windows.size(); ++i) plan.push_back({windows[i], targets[i]});
  log().clear();
  WindowManager::apply(ctx(), plan);
  EXPECT_THAT(log().places(),
              ElementsAre("101/0 (10.0, 10.0, 500.0, 400.0)", "101/1 (0.0, 10.0, 641.0, 480.0)",
                          "101/2 (20.0, 20.0, 400.0, 300.0)", "101/3 (40.0, 40.0, 400.0, 300.0)",
                          "101/4 (60.0, 60.0, 500.0, 400.0)", "101/0 (10.0, 10.0, 500.0, 400.0)",
                          "101/3 (40.0, 40.0, 400.0, 300.0)"));
  EXPECT_EQ(log().count(platform::SimCallKind::frames), 1u);
  EXPECT_DOUBLE_EQ(queue_.now(), WindowManager::kSettleSeconds);
  const auto& calls = log().calls();
  EXPECT_EQ(calls[calls.size() - 3].kind, platform::SimCallKind::frames) << log().text();
}

ManagedWindow window(std::string appId, std::string title, WindowHandle handle) {
  return ManagedWindow(handle, 1, std::move(appId), "App", std::move(title), {}, Kind::browser);
}

// Same application and title first, then the first unused record of the same application;
// identifiers compare canonically, and a long title matches its stored cut.
TEST(RestorePlan, PairsRecordsByApplicationAndTitleThenApplicationAlone) {
  const std::string longTitle(3000, 'x');
  const auto records =
      decodeSavedFrames(*encodeSavedFrames({{"com.google.Chrome", "Mail", 1, 1, 500, 400},
                                            {"com.google.Chrome", "News", 2, 2, 500, 400},
                                            {"org.example.\u00E9", "Doc", 3, 3, 500, 400},
                                            {"com.google.Chrome", "Old", 4, 4, 500, 400},
                                            {"a", longTitle, 5, 5, 500, 400}}));
  const auto plan = WindowManager::restorePlan(
      records, {window("com.google.Chrome", "Renamed", 1), window("com.google.Chrome", "News", 2),
                window("org.example.e\u0301", "Other", 3), window("com.brave.Browser", "Mail", 4),
                window("a", "short", 5), window("a", longTitle, 6)});
  std::vector<std::string> pairs;
  for (const auto& e : plan)
    pairs.push_back(std::to_string(e.window.handle()) + " " + describe(e.target));
  EXPECT_THAT(pairs,
              ElementsAre("2 " + describe({2, 2, 500, 400}), "6 " + describe({5, 5, 500, 400}),
                          "1 " + describe({1, 1, 500, 400}), "3 " + describe({3, 3, 500, 400})));
}

}  // namespace
}  // namespace tessaloom::testing
