// Which applications and windows become arrangement targets, in which order, with which kind.
#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "support/titles.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

class DiscoveryTest : public SimDesktopTest {};

TEST_F(DiscoveryTest, OnlyStandardVisibleWindowsOfAtLeast200By150Qualify) {
  json windows = json::array({
      sceneWindow("exact minimum", 0, 0, 200, 150),
      sceneWindow("too narrow", 0, 0, 199.5, 150),
      sceneWindow("too low", 0, 0, 200, 149.9),
      {{"title", "minimized"}, {"frame", {0, 0, 800, 600}}, {"minimized", true}},
      {{"title", "full screen"}, {"frame", {0, 0, 800, 600}}, {"fullScreen", true}},
      {{"title", "dialog"}, {"frame", {0, 0, 800, 600}}, {"subrole", "AXDialog"}},
      {{"title", "no subrole"}, {"frame", {0, 0, 800, 600}}, {"subrole", nullptr}},
      {{"title", "sheet"}, {"frame", {0, 0, 800, 600}}, {"role", "AXSheet"}},
      {{"title", "minimized unreadable"}, {"frame", {0, 0, 800, 600}}, {"minimized", nullptr}},
      {{"title", "size unreadable"},
       {"frame", {0, 0, 800, 600}},
       {"failRead", json::array({"AXSize"})}},
      {{"title", "position a number"}, {"frame", {0, 0, 800, 600}}, {"positionValue", "number"}},
      {{"frame", {0, 0, 800, 600}}},
  });
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Google Chrome", windows)}}});
  auto found = WindowManager::targetWindows();
  EXPECT_THAT(titles(found), ElementsAre("exact minimum", "minimized unreadable", ""));
  EXPECT_EQ(found[0].frame(), Rect(0, 0, 200, 150));
  EXPECT_EQ(found[0].appName(), "Google Chrome");
  EXPECT_EQ(found[0].pid(), 101);
}

TEST_F(DiscoveryTest, ApplicationsThatDoNotCountAreLeftOutAndIgnoredOnesNeverAsked) {
  json big = json::array({sceneWindow("w", 0, 0, 800, 600)});
  json hidden = sceneApp(102, "org.mozilla.firefox", "Firefox", big);
  hidden["hidden"] = true;
  json accessory = sceneApp(103, "com.brave.Browser", "Brave", big);
  accessory["policy"] = "accessory";
  json anonymous = {{"pid", 104}, {"name", "Chromium"}, {"windows", big}};
  load({{"self", 105},
        {"apps",
         {sceneApp(101, "com.example.notes", "Notes", big), hidden, accessory, anonymous,
          sceneApp(105, "com.google.Chrome", "Tessaloom itself", big),
          sceneApp(106, "com.openai.chat", "ChatGPT", big)}}});
  auto found = WindowManager::targetWindows();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].pid(), 106);
  EXPECT_EQ(found[0].kind(), Kind::ai);
  for (const auto& call : log().calls()) {
    if (call.kind == platform::SimCallKind::createApplication) {
      EXPECT_EQ(call.element, "app:106");
    }
  }
}

TEST_F(DiscoveryTest, ApplicationsAreOrderedByNameWithAbsentNamesFirst) {
  json w = json::array({sceneWindow("w", 0, 0, 800, 600)});
  json unnamed = {{"pid", 104}, {"bundleID", "com.openai.chat"}, {"windows", w}};
  load({{"apps",
         {sceneApp(101, "com.google.Chrome", "chrome", w),
          sceneApp(102, "org.mozilla.firefox", "Firefox", w), unnamed,
          sceneApp(103, "com.apple.Safari", "Safari", w)}}});
  std::vector<std::string> names;
  for (const auto& win : WindowManager::targetWindows()) names.push_back(win.appName());
  // Upper case sorts before lower case; an absent name sorts as empty and shows the identifier.
  EXPECT_THAT(names, ElementsAre("com.openai.chat", "Firefox", "Safari", "chrome"));
}

TEST_F(DiscoveryTest, BrowserWindowsShowingAnAIServiceCountAsAIWhenDetectionIsOn) {
  json chromeWindows = json::array(
      {sceneWindow("ChatGPT - New chat", 0, 0, 800, 600), sceneWindow("News", 0, 0, 800, 600)});
  load({{"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", chromeWindows),
          sceneApp(102, "com.anthropic.claudefordesktop", "Claude",
                   {sceneWindow("Plain title", 0, 0, 800, 600)})}}});
  auto kinds = [] {
    std::vector<Kind> result;
    for (const auto& w : WindowManager::targetWindows()) result.push_back(w.kind());
    return result;
  };
  EXPECT_THAT(kinds(), ElementsAre(Kind::ai, Kind::browser, Kind::ai));
  settings().setDetectAITabs(false);
  EXPECT_THAT(kinds(), ElementsAre(Kind::browser, Kind::browser, Kind::ai));
}

TEST_F(DiscoveryTest, AnOverrideDecidesTheKind) {
  load({{"apps",
         {sceneApp(101, "com.example.editor", "Editor", {sceneWindow("w", 0, 0, 800, 600)}),
          sceneApp(102, "com.google.Chrome", "Chrome", {sceneWindow("w", 0, 0, 800, 600)})}}});
  settings().setKind(Kind::browser, "com.example.editor", "Editor");
  settings().setKind(Kind::ignore, "com.google.Chrome", "Chrome");
  auto found = WindowManager::targetWindows();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bundleID(), "com.example.editor");
  EXPECT_EQ(found[0].kind(), Kind::browser);
}

// The store may be a file behind a lock: a discovery must not read it once per application.
TEST_F(DiscoveryTest, ReadsEachStoredSettingOnceWhateverTheNumberOfApplications) {
  class CountingDefaults final : public platform::DefaultsStore {
   public:
    explicit CountingDefaults(platform::DefaultsStore& inner) : inner_(inner) {}
    std::optional<platform::DefaultsValue> object(std::string_view key) override {
      ++reads[std::string(key)];
      return inner_.object(key);
    }
    void setObject(std::string_view key, const platform::DefaultsValue& value) override {
      inner_.setObject(key, value);
    }
    void removeObject(std::string_view key) override { inner_.removeObject(key); }
    std::map<std::string, int> reads;

   private:
    platform::DefaultsStore& inner_;
  };
  json apps = json::array();
  for (int i = 0; i < 12; ++i)
    apps.push_back(sceneApp(101 + i,
                            i % 2 ? "com.google.Chrome" : "com.example.editor" + std::to_string(i),
                            "App " + std::to_string(i), {sceneWindow("ChatGPT", 0, 0, 800, 600)}));
  load({{"apps", apps}});
  settings().setKind(Kind::browser, "com.example.editor4", "App 4");
  CountingDefaults counting(defaults_);
  platform::install({desktop_.get(), desktop_.get(), desktop_.get(), &counting, &queue_});
  const auto found = WindowManager::targetWindows();
  ASSERT_EQ(found.size(), 7u);  // six Chrome windows and the overridden editor
  EXPECT_EQ(found[0].kind(), Kind::ai);
  EXPECT_EQ(counting.reads, (std::map<std::string, int>{{"detectAITabs", 1}, {"overrides", 1}}));
}

TEST_F(DiscoveryTest, AnApplicationThatDoesNotAnswerCostsOneTimeoutAndIsSkipped) {
  json stuck = sceneApp(101, "com.google.Chrome", "Chrome", {sceneWindow("w", 0, 0, 800, 600)});
  stuck["unresponsive"] = true;
  json unreadable = sceneApp(102, "com.apple.Safari", "Safari", {sceneWindow("w", 0, 0, 800, 600)});
  unreadable["failWindows"] = true;
  json odd = sceneApp(103, "org.mozilla.firefox", "Firefox", {sceneWindow("w", 0, 0, 800, 600)});
  odd["windowsValue"] = "withNull";
  json fine = sceneApp(104, "com.openai.chat", "ChatGPT", {sceneWindow("ok", 0, 0, 800, 600)});
  load({{"apps", {stuck, unreadable, odd, fine}}});
  auto found = WindowManager::targetWindows();
  EXPECT_THAT(titles(found), ElementsAre("ok"));
  EXPECT_DOUBLE_EQ(queue_.now(), WindowManager::kMessagingTimeout);
}

TEST_F(DiscoveryTest, WithoutPermissionNothingIsFound) {
  load({{"trusted", false},
        {"apps",
         {sceneApp(101, "com.google.Chrome", "Chrome", {sceneWindow("w", 0, 0, 800, 600)})}}});
  EXPECT_FALSE(WindowManager::isTrusted(false));
  EXPECT_TRUE(WindowManager::targetWindows().empty());
}

TEST_F(DiscoveryTest, TheFrontmostWindowBelongsToTheFrontmostApplication) {
  json w = json::array({sceneWindow("a", 0, 0, 800, 600), sceneWindow("b", 0, 0, 800, 600)});
  load({{"frontmost", 102},
        {"apps",
         {sceneApp(101, "com.google.Chrome", "A", w), sceneApp(102, "com.apple.Safari", "B", w),
          sceneApp(103, "com.example.other", "C", w)}}});
  auto windows = WindowManager::targetWindows();
  ASSERT_EQ(windows.size(), 4u);
  EXPECT_EQ(WindowManager::frontmostWindow(windows)->pid(), 102);
  EXPECT_EQ(WindowManager::frontmostWindow(windows)->title(), "a");

  desktop().setFrontmost(103);  // owns no target window
  EXPECT_EQ(WindowManager::frontmostWindow(windows)->pid(), 101);
  desktop().setFrontmost(std::nullopt);
  EXPECT_EQ(WindowManager::frontmostWindow(windows)->pid(), 101);
  EXPECT_FALSE(WindowManager::frontmostWindow({}).has_value());
}

}  // namespace
}  // namespace tessaloom::testing
