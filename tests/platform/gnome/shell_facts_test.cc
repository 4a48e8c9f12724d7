// What the GNOME backend reads from the Shell extension's facts, and the moves it sends back.
#include "platform/gnome/shell_facts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tessaloom::platform::gnome {
namespace {

using nlohmann::json;

// Two monitors, the primary one on the right, so the seam's origin is at x = 1280.
const char* kFacts = R"({"primary": 1, "pointer": [1500, 500], "focus": 3, "workspace": 0,
  "monitors": [{"frame": [0, 0, 1280, 1024], "workArea": [0, 0, 1280, 1024]},
               {"frame": [1280, 0, 1920, 1080], "workArea": [1280, 32, 1920, 1048]}],
  "windows": [
    {"id": 7, "sequence": 9, "wmClass": "firefox", "wmInstance": "Navigator", "pid": 70,
     "frame": [1300, 50, 800, 600], "type": 0, "workspace": 0, "maximized": true,
     "resizable": false},
    {"id": 3, "sequence": 2, "sandboxedAppId": "org.example.Flat", "gtkApplicationId": "x",
     "frame": [1400, 100, 500, 400], "type": 0, "workspace": 0, "resizable": false},
    {"id": 4, "sequence": 3, "gtkApplicationId": "org.gnome.Epiphany", "frame": [0, 0, 3, 2],
     "type": 4, "workspace": 0},
    {"id": 5, "sequence": 4, "frame": [0, 0, 1280, 30], "type": 2, "workspace": -1},
    {"id": 6, "sequence": 5, "frame": [0, 0, 1, 1], "type": 0, "workspace": -1,
     "fullScreen": true},
    {"id": 8, "sequence": 6, "frame": [0, 0, 1, 1], "type": 0, "workspace": 1}]})";

TEST(ShellFacts, ReadsWindowsScreensAndWhatCountsAndWritesMoves) {
  const auto f = parseFacts(kFacts);
  ASSERT_TRUE(f);
  const struct {
    WindowHandle id;
    bool counted, standard;
    const char* app;
  } windows[] = {{3, true, true, "org.example.Flat"},
                 {4, true, false, "org.gnome.Epiphany"},
                 {5, false, false, ""},
                 {6, true, true, ""},
                 {8, false, true, ""},
                 {7, true, true, ""}};
  ASSERT_EQ(f->windows.size(), std::size(windows));
  for (std::size_t i = 0; i < std::size(windows); ++i) {
    SCOPED_TRACE(windows[i].id);
    EXPECT_EQ(f->windows[i].id, windows[i].id);
    EXPECT_EQ(counts(f->windows[i], f->workspace), windows[i].counted);
    EXPECT_EQ(factsOf(f->windows[i], {}).standard, windows[i].standard);
    EXPECT_EQ(hintsOf(f->windows[i]).gtkApplicationId, windows[i].app);
  }
  EXPECT_EQ(hintsOf(*f->find(7)).instance, "Navigator");
  EXPECT_THAT(
      screensOf(*f),
      ::testing::ElementsAre(Screen{{0, 0, 1920, 1080}, {0, 32, 1920, 1048}, "Monitor 2"},
                             Screen{{-1280, 0, 1280, 1024}, {-1280, 0, 1280, 1024}, "Monitor 1"}));
  EXPECT_EQ(factsOf(*f->find(3), f->origin()).frame, Rect(120, 100, 500, 400));
  const std::vector<Placement> placements = {{7, {0, 32, 960, 1048}},
                                             {6, {960, 32, 960, 1048}},
                                             {3, {10.4, 20.6, 100, 100}},
                                             {42, {0, 0, 100, 100}},
                                             {4, {0, 0, 0, 100}}};
  // Moves leave states first and keep the size of windows that cannot be resized.
  EXPECT_EQ(json::parse(movesFor(*f, placements)), json::parse(R"([
    {"id": 7, "x": 1280, "y": 32, "width": 960, "height": 1048, "resize": true,
     "unmaximize": true},
    {"id": 6, "x": 2240, "y": 32, "width": 960, "height": 1048, "resize": true,
     "leaveFullScreen": true},
    {"id": 3, "x": 1290, "y": 21, "width": 100, "height": 100, "resize": false}])"));
  // One malformed member spoils the whole report rather than leaving a window half read.
  const auto doc = [](std::string list, std::string screens = "[]",
                      std::string pointer = "[0, 0]") {
    return R"({"windows": )" + list + R"(, "monitors": )" + screens + R"(, "pointer": )" + pointer +
           "}";
  };
  EXPECT_TRUE(parseFacts(doc("[]")));
  for (const std::string& text :
       {std::string(), std::string("[]"), std::string("{}"), doc("[]", "[]", "[0]"),
        doc("[]", "[]", R"(["0", 0])"),
        doc("[]", R"([{"frame": [0, 0], "workArea": [0, 0, 1, 1]}])"), doc(R"([{"id": 1}])"),
        doc(R"([{"id": "1", "frame": [0, 0, 1, 1]}])"),
        doc(R"([{"id": 1, "frame": [0, 0, 1, 1], "title": 5}])")})
    EXPECT_FALSE(parseFacts(text)) << text;
}

}  // namespace
}  // namespace tessaloom::platform::gnome
