// The script's reports as KWin 5 and KWin 6 send them, read into facts; the windows the
// program arranges among them; and the requests written back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/kwin/kwin_desktop.h"
#include "platform/kwin/kwin_hot_keys.h"
#include "platform/kwin/kwin_report.h"
#include "platform/kwin/kwin_script.h"

namespace tessaloom::platform::kwin {
namespace {

using nlohmann::json;

// KWin 5.27: outputs without names, a window's output as an index, desktops as numbers, no
// maximize mode (a frame equal to the client area is maximized).
constexpr const char* kPlasma5 = R"({
  "windows": [
    {"id": "{5efdf20b}", "desktopFileName": "org.example.ChatApp", "resourceClass": "org.example.chatapp",
     "resourceName": "chatapp", "caption": "New chat", "pid": 4242, "frame": [560, 216, 800, 647],
     "normal": true, "special": false, "deleted": false, "minimized": false, "fullScreen": false,
     "maximizeMode": null, "active": true, "output": 1, "desktops": ["1"]},
    {"id": "{0a1b}", "desktopFileName": "", "resourceClass": "google-chrome",
     "resourceName": "google-chrome", "caption": "Docs", "pid": 17, "frame": [1920, 0, 1920, 1040],
     "normal": true, "output": 1, "desktops": []},
    {"id": "{panel}", "resourceClass": "plasmashell", "caption": "", "pid": 9,
     "frame": [0, 1040, 1920, 40], "special": true, "output": 0, "desktops": []},
    {"id": "{elsewhere}", "resourceClass": "firefox", "caption": "Other desktop", "pid": 18,
     "frame": [0, 0, 100, 100], "normal": true, "output": 0, "desktops": ["2"]},
    {"id": "{gone}", "resourceClass": "firefox", "caption": "Closing", "pid": 18,
     "frame": [0, 0, 100, 100], "deleted": true, "output": 0, "desktops": []},
    {"id": "{self}", "resourceClass": "tessaloom", "caption": "Tessaloom HUD", "pid": 77,
     "frame": [0, 0, 10, 10], "normal": false, "output": 0, "desktops": []}
  ],
  "outputs": [{"name": "", "frame": [0, 0, 1920, 1080], "usable": [0, 0, 1920, 1040]},
              {"name": "", "frame": [1920, 0, 1920, 1080], "usable": [1920, 0, 1920, 1040]}],
  "desktop": "1", "cursor": [959, 539]})";

// KWin 6.3: named outputs, desktops as ids, the maximize mode given.
constexpr const char* kPlasma6 = R"({
  "windows": [
    {"id": "{6}", "desktopFileName": "firefox", "resourceClass": "firefox", "resourceName": "firefox",
     "caption": "Release notes", "pid": 300, "frame": [0, 0, 1280, 800], "normal": true,
     "fullScreen": true, "maximizeMode": 3, "output": "Virtual-1",
     "desktops": ["3f2c-aa"]}],
  "outputs": [{"name": "Virtual-1", "frame": [0, 0, 1280, 800], "usable": [0, 0, 1280, 800]}],
  "desktop": "3f2c-aa", "cursor": [10.5, 20]})";

TEST(KWinReport, ReadsTheFactsOfBothKWinGenerations) {
  const auto five = parseReport(kPlasma5);
  ASSERT_TRUE(five);
  ASSERT_EQ(five->windows.size(), 6u);
  EXPECT_THAT(five->outputs,
              ::testing::ElementsAre(
                  ReportedOutput{"screen-1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                  ReportedOutput{"screen-2", {1920, 0, 1920, 1080}, {1920, 0, 1920, 1040}}));
  const ReportedWindow& chat = five->windows[0];
  EXPECT_EQ(chat.desktopFileName, "org.example.ChatApp");
  EXPECT_EQ(chat.pid, 4242u);
  EXPECT_EQ(chat.frame, (Rect{560, 216, 800, 647}));
  EXPECT_EQ(chat.output, "screen-2");
  EXPECT_TRUE(chat.normal && chat.active);
  EXPECT_FALSE(chat.maximized);
  // No maximize mode: maximized because it fills its output's client area.
  EXPECT_TRUE(five->windows[1].maximized);
  EXPECT_EQ(five->desktop, "1");
  EXPECT_EQ(five->cursor.x, 959);

  const auto six = parseReport(kPlasma6);
  ASSERT_TRUE(six);
  ASSERT_EQ(six->windows.size(), 1u);
  EXPECT_EQ(six->outputs.front().name, "Virtual-1");
  EXPECT_EQ(six->windows[0].output, "Virtual-1");
  EXPECT_TRUE(six->windows[0].maximized && six->windows[0].fullScreen);
  EXPECT_EQ(six->cursor.x, 10.5);
}

TEST(KWinReport, KeepsTheWindowsOfTheCurrentDesktopThatAreNotPanelsGoneOrOurOwn) {
  const auto report = parseReport(kPlasma5);
  ASSERT_TRUE(report);
  std::vector<std::string> kept;
  for (const ReportedWindow* w : KWinDesktop::candidates(*report, 77)) kept.push_back(w->caption);
  EXPECT_THAT(kept, ::testing::ElementsAre("New chat", "Docs"));
}

TEST(KWinReport, SkipsWhatIsNotAReportAndEntriesItCannotRead) {
  for (const char* text : {"", "[]", "{}", R"({"windows": {}, "outputs": []})", "not json"})
    EXPECT_FALSE(parseReport(text)) << text;
  const auto report = parseReport(R"({"windows": [
      {"id": "a", "frame": [0, 0, 1]}, {"frame": [0, 0, 1, 1]}, {"id": "b", "frame": [0, 0, 1, "x"]},
      7, {"id": "c", "frame": [1, 2, 3, 4], "pid": -5, "output": 9, "desktops": [1, "d"]}],
    "outputs": [{"name": "x", "frame": [0, 0, 1, 1]}, "y"]})");
  ASSERT_TRUE(report);
  EXPECT_TRUE(report->outputs.empty());
  ASSERT_EQ(report->windows.size(), 1u);
  EXPECT_EQ(report->windows[0].pid, 0u);
  EXPECT_EQ(report->windows[0].output, "");
  EXPECT_THAT(report->windows[0].desktops, ::testing::ElementsAre("d"));
}

TEST(KWinReport, HandlesAreStableAndApart) {
  EXPECT_EQ(handleOf("{5efdf20b-bdc9}"), handleOf("{5efdf20b-bdc9}"));
  EXPECT_NE(handleOf("{5efdf20b-bdc9}"), handleOf("{5efdf20b-bdca}"));
}

TEST(KWinRequests, NameKeysAndCarryMovesAsWholeNumbers) {
  const struct {
    Chord chord;
    std::optional<std::string> keys;
  } chords[] = {{{'g', kControlAlt}, "Ctrl+Alt+G"},
                {{'z', kShift | kSuper}, "Shift+Meta+Z"},
                {{'1', kControl}, std::nullopt}};
  for (const auto& c : chords) EXPECT_EQ(keySequence(c.chord), c.keys);
  EXPECT_EQ(KWinHotKeys::shortcutName({'a', kControlAlt}), "Tessaloom Ctrl+Alt+A");

  const Move moves[] = {{"{a}", {10.4, 20.6, 300.5, 400}}};
  EXPECT_EQ(json::parse(placeRequest(moves)),
            json::parse(R"({"op":"place","moves":[{"id":"{a}","frame":[10,21,301,400]}]})"));
  EXPECT_EQ(json::parse(bindRequest("n", "Ctrl+Alt+G", ":1.5"))["service"], ":1.5");
  // The script is told where to report, as one JSON value ahead of its body.
  const std::string script = agentScript({":1.9", "/p", "org.x"});
  EXPECT_EQ(script.rfind(R"(var bus = {"interface":"org.x","path":"/p","service":":1.9"};)", 0),
            0u);
}

}  // namespace
}  // namespace tessaloom::platform::kwin
