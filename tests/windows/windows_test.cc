// Which windows become targets and how, frame application, and matching records to windows.
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
    {"pid": 107, "bundleID": "com.brave.Browser", "name": "Brave", "failWindows": true, "windows": [{"title": "w", "frame": [0, 0, 800, 600]}]}]})"));
  settings_.setOverrides({{"com.example.notes", Kind::ai}, {"com.apple.Safari", Kind::ignore}});
  EXPECT_THAT(targets(), ElementsAre("com.openai.chat/w/ai", "Chrome/ChatGPT - New chat/ai",
                                     "Chrome//browser", "Chrome/w/ai"));
  settings_.setDetectAITabs(false);
  EXPECT_THAT(
      targets(WindowManager::Sizes::any),
      ElementsAre("com.openai.chat/w/ai", "Chrome/ChatGPT - New chat/browser",
                  "Chrome/narrow/browser", "Chrome/low/browser", "Chrome//browser", "Chrome/w/ai"));
  const auto facts = desktop().snapshot();
  EXPECT_EQ(WindowManager::regularApps(ctx(), facts).size(), 5u);
  EXPECT_EQ(WindowManager::frontmostPid(ctx(), facts), 105);
  EXPECT_EQ(WindowManager::displays(facts.screens).at(0).visible(), Rect(0, 25, 1440, 875));
}

// One application per identity and process, in the order of first windows, the windowless last.
// A process keeps its id for the first identity it shows and for no other; a process id of
// none, or wider than a pid, gets a stand-in. Windows elsewhere make their application run.
TEST_F(WindowsTest, WindowsGatherIntoApplicationsThatKeepTheirPids) {
  load(json::parse(R"({"apps": []})"));
  platform::DesktopFacts facts;
  // Each window's application id (its name with a "!") and process; focused or elsewhere.
  const std::tuple<std::string, std::uint32_t, char> windows[] = {
      {"chat", 5, ' '}, {"web", 6, ' '}, {"chat", 5, 'e'},    {"away", 7, 'e'},
      {"web", 5, 'f'},  {"", 0, ' '},    {"", 1u << 31, ' '}, {"", 0x7fffffff, ' '}};
  for (const auto& [id, process, state] : windows) {
    auto& w = facts.windows.emplace_back();
    w.app = {id, id + "!", process}, w.focused = state == 'f', w.elsewhere = state == 'e';
  }
  facts.windowless = {{"mail", "Mail", 9}, {"chat", "chat!", 5}};
  for (int look = 0; look < 2; ++look) {
    std::string seen;  // id/name pid (* when frontmost) windows
    for (const auto& a : WindowManager::applications(ctx(), facts))
      seen += a.app.id + "/" + a.app.name + " " + std::to_string(a.app.pid) +
              (a.app.frontmost ? "* " : " ") + std::to_string(a.windows.size()) + ";";
    EXPECT_EQ(seen,
              "chat/chat! 5 1;web/web! 6 1;away/away! 7 0;web/web! -1* 1;/! -2 1;/! -3 1;"
              "/! 2147483647 1;mail/Mail 9 0;");
    EXPECT_EQ(WindowManager::frontmostPid(ctx(), facts), -1);
  }
}

// Targets go out as whole numbers in one batch; after one settle and one read-back, only the
// windows more than two points off (a slow one, one held taller) are placed again, and a
// vanished one is left alone.
TEST_F(WindowsTest, ApplyPlacesSettlesReadsBackAndCorrectsOnce) {
  load(json::parse(
      R"({"apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome", "windows": [
    {"title": "slow", "frame": [0, 0, 400, 300], "writeDelay": 1}, {"title": "on target", "frame": [0, 0, 400, 300]},
    {"title": "off by two", "frame": [0, 0, 400, 300], "minSize": [42, 30]},
    {"title": "off by three", "frame": [0, 0, 400, 300], "minSize": [40, 33]},
    {"title": "gone", "frame": [0, 0, 400, 300], "vanishes": true}]}]})"));
  const auto windows = WindowManager::targetWindows(ctx());
  const Rect targets[] = {
      {10, 10, 50, 40}, {0.4, 10, 64.2, 48}, {20, 20, 40, 30}, {40, 40, 40, 30}, {6, 6, 9, 9}};
  LayoutPlan plan;
  for (std::size_t i = 0; i < windows.size(); ++i) plan.push_back({windows[i], targets[i]});
  log().clear();
  WindowManager::apply(ctx(), plan);
  EXPECT_THAT(log().places(),
              ElementsAre("101/0 (10.0, 10.0, 50.0, 40.0)", "101/1 (0.0, 10.0, 65.0, 48.0)",
                          "101/2 (20.0, 20.0, 40.0, 30.0)", "101/3 (40.0, 40.0, 40.0, 30.0)",
                          "101/4 (6.0, 6.0, 9.0, 9.0)", "101/0 (10.0, 10.0, 50.0, 40.0)",
                          "101/3 (40.0, 40.0, 40.0, 30.0)"));
  // The slow window has not resized by the first read-back: one more settle, one more read.
  EXPECT_EQ(log().count(platform::SimCallKind::frames), 2u);
  EXPECT_DOUBLE_EQ(queue_.now(), 2 * WindowManager::kSettleSeconds);
  const auto& calls = log().calls();
  EXPECT_EQ(calls[calls.size() - 3].kind, platform::SimCallKind::frames) << log().text();
}

// Same application and title first, then the first unused record of the same application;
// identifiers compare canonically, and a long title matches its stored cut.
TEST(RestorePlan, PairsRecordsByApplicationAndTitleThenApplicationAlone) {
  const std::string longTitle(3000, 'x'), eAcute = "\u00E9";
  const auto records = decodeSavedFrames(*encodeSavedFrames({{"c", "Mail", 1, 1, 9, 9},
                                                             {"c", "News", 2, 2, 9, 9},
                                                             {eAcute, "Doc", 3, 3, 9, 9},
                                                             {"c", "Old", 4, 4, 9, 9},
                                                             {"a", longTitle, 5, 5, 9, 9}}));
  const std::string ids[] = {"c", "c", "e\u0301", "b", "a", "a"},
                    titles[] = {"Renamed", "News", "Other", "Mail", "short", longTitle};
  std::vector<ManagedWindow> windows;
  for (int i = 0; i < 6; ++i)
    windows.emplace_back(i + 1, 1, ids[i], "App", titles[i], Rect{}, Kind::browser);
  std::vector<std::string> pairs;
  for (const auto& e : WindowManager::restorePlan(records, windows))
    pairs.push_back(std::to_string(e.window.handle()) + " to " + describe(e.target));
  EXPECT_THAT(pairs,
              ElementsAre("2 to " + describe({2, 2, 9, 9}), "6 to " + describe({5, 5, 9, 9}),
                          "1 to " + describe({1, 1, 9, 9}), "3 to " + describe({3, 3, 9, 9})));
}

}  // namespace
}  // namespace tessaloom::testing
