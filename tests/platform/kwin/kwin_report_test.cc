// The script's reports as KWin 5 and KWin 6 send them, read into facts; the windows the program
// arranges among them; and the requests written back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/kwin/kwin_desktop.h"
#include "platform/kwin/kwin_script.h"

namespace tessaloom::platform::kwin {
namespace {

using ::testing::ElementsAre;

// KWin 5 names no outputs and gives a window's output as an index and no maximize mode (a
// window filling its output's client area is maximized); KWin 6 gives names and the mode.
constexpr const char* kReport = R"({"desktop": "1", "cursor": [959.5, 539],
  "outputs": [{"frame": [0, 0, 1920, 1080], "usable": [0, 0, 1920, 1040]},
              {"name": "", "frame": [1920, 0, 1920, 1080], "usable": [1920, 0, 1920, 1040]},
              {"name": "x", "frame": [0, 0, 1, 1]}],
  "windows": [
    {"id": "{chat}", "desktopFileName": "org.example.Chat", "resourceClass": "chat",
     "resourceName": "chat-x", "caption": "New chat", "pid": 4242, "frame": [560, 216, 800, 647],
     "normal": true, "active": true, "minimized": true, "output": 1, "desktops": ["1"]},
    {"id": "{docs}", "pid": -5, "frame": [1920, 0, 1920, 1040], "output": 1, "desktops": [1, "2", "1"]},
    {"id": "{max}", "frame": [0, 0, 9, 9], "maximizeMode": 3, "fullScreen": true, "output": "V-1"},
    {"id": "{half}", "frame": [0, 0, 1920, 1040], "maximizeMode": 1, "output": 0},
    {"id": "{panel}", "frame": [0, 1040, 1920, 40], "special": true},
    {"id": "{elsewhere}", "frame": [0, 0, 1, 1], "desktops": ["2"]},
    {"id": "{gone}", "frame": [0, 0, 1, 1], "deleted": true},
    {"id": "{self}", "pid": 77, "frame": [0, 0, 1, 1]},
    {"id": "a", "frame": [0, 0, 1]}, {"frame": [0, 0, 1, 1]}, 7]})";

TEST(KWinReport, ReadsTheFactsOfBothKWinGenerationsAndKeepsTheWindowsToArrange) {
  const auto report = parseReport(kReport);
  ASSERT_TRUE(report);
  EXPECT_THAT(
      report->outputs,
      ElementsAre(ReportedOutput{"screen-1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                  ReportedOutput{"screen-2", {1920, 0, 1920, 1080}, {1920, 0, 1920, 1040}}));
  EXPECT_EQ(report->cursor, (Point{959.5, 539}));
  ASSERT_EQ(report->windows.size(), 8u);
  EXPECT_EQ(report->windows[0], (ReportedWindow{"{chat}",
                                                "org.example.Chat",
                                                "chat",
                                                "chat-x",
                                                "New chat",
                                                4242,
                                                Rect{560, 216, 800, 647},
                                                true,
                                                false,
                                                false,
                                                true,
                                                false,
                                                false,
                                                true,
                                                "screen-2",
                                                {"1"}}));
  for (const auto& [index, output, maximized] :
       {std::tuple<int, const char*, bool>{1, "screen-2", true},
        {2, "V-1", true},
        {3, "screen-1", false}}) {
    EXPECT_EQ(report->windows[index].output, output) << index;
    EXPECT_EQ(report->windows[index].maximized, maximized) << index;
  }
  EXPECT_EQ(report->windows[1].pid, 0u);
  std::vector<std::string> kept;
  for (const ReportedWindow* w : KWinDesktop::candidates(*report, 77)) kept.push_back(w->id);
  EXPECT_THAT(kept, ElementsAre("{chat}", "{docs}", "{max}", "{half}"));
  for (const char* text : {"", "[]", R"({"windows": {}, "outputs": []})", "not json"})
    EXPECT_FALSE(parseReport(text)) << text;
}

TEST(KWinRequests, NameKeysAndCarryMovesAsWholeNumbers) {
  EXPECT_EQ(keySequence({'z', kControl | kAlt | kShift | kSuper}), "Ctrl+Alt+Shift+Meta+Z");
  EXPECT_EQ(keySequence({'1', kControl}), std::nullopt);
  const Move moves[] = {{"{a}", {10.4, 20.6, 300.5, 400}}};
  EXPECT_EQ(
      nlohmann::json::parse(placeRequest(moves)),
      nlohmann::json::parse(R"({"op":"place","moves":[{"id":"{a}","frame":[10,21,301,400]}]})"));
  // The script is told where to report, as one JSON value ahead of its body.
  EXPECT_EQ(agentScript({":1.9", "/p", "org.x"})
                .rfind(R"(var bus = {"interface":"org.x","path":"/p","service":":1.9"};)", 0),
            0u);
}

}  // namespace
}  // namespace tessaloom::platform::kwin
