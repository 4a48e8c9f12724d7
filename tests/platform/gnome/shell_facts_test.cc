// The GNOME backend's decisions on facts captured from the Shell extension.
#include "platform/gnome/shell_facts.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tessaloom::platform::gnome {
namespace {

using nlohmann::json;

// Two monitors, the primary one on the right (so the seam's origin is at x = 1280), a normal
// window, a dialog, a dock, a window on every workspace, one on workspace 1 and one maximized.
const char* kFacts = R"({
  "windows": [
    {"id": 7, "sequence": 9, "wmClass": "firefox", "wmInstance": "Navigator", "pid": 70,
     "title": "Later", "frame": [1300, 50, 800, 600], "type": 0, "workspace": 0,
     "maximized": true, "resizable": false},
    {"id": 3, "sequence": 2, "sandboxedAppId": "org.example.Flat", "gtkApplicationId": "x",
     "wmClass": "org.example.Flat", "pid": 30, "title": "First", "frame": [1400, 100, 500, 400],
     "type": 0, "workspace": 0},
    {"id": 4, "sequence": 3, "gtkApplicationId": "org.gnome.Epiphany", "pid": 40,
     "title": "Save as", "frame": [0, 0, 300, 200], "type": 4, "workspace": 0},
    {"id": 5, "sequence": 4, "wmClass": "Panel", "pid": 50, "frame": [0, 0, 1280, 30],
     "type": 2, "workspace": -1},
    {"id": 6, "sequence": 5, "wmClass": "Sticky", "pid": 60, "frame": [10, 10, 100, 100],
     "type": 0, "workspace": -1, "fullScreen": true},
    {"id": 8, "sequence": 6, "wmClass": "Away", "pid": 80, "frame": [10, 10, 100, 100],
     "type": 0, "workspace": 1, "minimized": true}
  ],
  "monitors": [{"frame": [0, 0, 1280, 1024], "workArea": [0, 0, 1280, 1024]},
               {"frame": [1280, 0, 1920, 1080], "workArea": [1280, 32, 1920, 1048]}],
  "primary": 1, "pointer": [1500, 500], "focus": 3, "workspace": 0
})";

ShellFacts facts() {
  auto parsed = parseFacts(kFacts);
  EXPECT_TRUE(parsed);
  return parsed.value_or(ShellFacts{});
}

TEST(ShellFacts, ReadsWindowsInCreationOrderAndScreensPrimaryFirst) {
  const ShellFacts f = facts();
  ASSERT_EQ(f.windows.size(), 6u);
  EXPECT_EQ(f.windows.front().id, 3u);
  EXPECT_EQ(f.windows.back().id, 7u);
  EXPECT_EQ(f.origin(), (Point{1280, 0}));
  const auto screens = screensOf(f);
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].frame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(screens[0].usable, Rect(0, 32, 1920, 1048));
  EXPECT_EQ(screens[1].frame, Rect(-1280, 0, 1280, 1024));
  EXPECT_EQ(factsOf(*f.find(3), f.origin()).frame, Rect(120, 100, 500, 400));
}

TEST(ShellFacts, RefusesWhatTheExtensionDoesNotSend) {
  for (const char* text : {"", "[]", "{}", R"({"windows": [{"id": 1}], "monitors": []})",
                           R"({"windows": [], "monitors": [{"frame": [0, 0]}]})"})
    EXPECT_FALSE(parseFacts(text)) << text;
}

TEST(ShellFacts, CountsWindowsOfThisWorkspaceAndStandardOnlyNormalOnes) {
  const ShellFacts f = facts();
  struct Case {
    WindowHandle id;
    bool counted, standard;
  };
  for (const Case c : {Case{3, true, true}, Case{4, true, false}, Case{5, false, false},
                       Case{6, true, true}, Case{8, false, true}}) {
    const ShellWindow& w = *f.find(c.id);
    EXPECT_EQ(counts(w, f.workspace), c.counted) << c.id;
    EXPECT_EQ(factsOf(w, {}).standard, c.standard) << c.id;
  }
}

TEST(ShellFacts, NamesTheApplicationBySandboxThenGtkIdThenClass) {
  const ShellFacts f = facts();
  EXPECT_EQ(hintsOf(*f.find(3)).gtkApplicationId, "org.example.Flat");
  EXPECT_EQ(hintsOf(*f.find(4)).gtkApplicationId, "org.gnome.Epiphany");
  const auto firefox = hintsOf(*f.find(7));
  EXPECT_EQ(firefox.gtkApplicationId, "");
  EXPECT_EQ(firefox.instance, "Navigator");
  EXPECT_EQ(firefox.wmClass, "firefox");
}

TEST(ShellFacts, MovesLeaveStatesFirstAndKeepTheSizeOfFixedWindows) {
  ShellFacts f = facts();
  f.windows.push_back(f.windows.front());
  f.windows.back().id = 9;
  f.windows.back().resizable = false;
  const std::vector<Placement> placements = {{7, {0, 32, 960, 1048}},
                                             {6, {960, 32, 960, 1048}},
                                             {9, {10.4, 20.6, 100, 100}},
                                             {42, {0, 0, 100, 100}},
                                             {3, {0, 0, 0, 100}}};
  const json moves = json::parse(movesFor(f, placements));
  const json expected = json::parse(R"([
    {"id": 7, "x": 1280, "y": 32, "width": 960, "height": 1048, "resize": true,
     "unmaximize": true},
    {"id": 6, "x": 2240, "y": 32, "width": 960, "height": 1048, "resize": true,
     "leaveFullScreen": true},
    {"id": 9, "x": 1290, "y": 21, "width": 100, "height": 100, "resize": false}])");
  EXPECT_EQ(moves, expected);
}

}  // namespace
}  // namespace tessaloom::platform::gnome
