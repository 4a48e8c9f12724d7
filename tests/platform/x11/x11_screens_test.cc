// Screens over a real X server: RandR monitors side by side and stacked, docks that shrink only
// the monitor they cover, the pointer, and one origin for screens and windows wherever the
// primary monitor sits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::Screen;

struct Layout {
  const char* name;
  std::vector<std::vector<std::string>> monitors;  // xrandr --setmonitor arguments
  std::vector<std::string> dock;                   // test client arguments; none when empty
  std::vector<Screen> expected;
  Point pointerAt;        // root coordinates
  Point pointerExpected;  // global space
};

const Layout kLayouts[] = {
    {"one", {}, {}, {{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, "screen"}}, {300, 400}, {300, 400}},
    {"sideBySide",
     {{"*LEFT", "960/254x1080/286+0+0", "screen"}, {"RIGHT", "960/254x1080/286+960+0", "none"}},
     {"--geometry", "960x40+960+1040", "--strut-partial", "0,0,0,40,0,0,0,0,0,0,960,1919"},
     {{{0, 0, 960, 1080}, {0, 0, 960, 1080}, "LEFT"},
      {{960, 0, 960, 1080}, {960, 0, 960, 1040}, "RIGHT"}},
     {1500, 1079},
     {1500, 1079}},
    {"stacked",
     {{"*TOP", "1920/508x540/143+0+0", "screen"}, {"BOTTOM", "1920/508x540/143+0+540", "none"}},
     {"--geometry", "1920x30+0+0", "--strut", "0,0,30,0"},
     {{{0, 0, 1920, 540}, {0, 30, 1920, 510}, "TOP"},
      {{0, 540, 1920, 540}, {0, 540, 1920, 540}, "BOTTOM"}},
     {10, 10},
     {10, 10}},
    {"primaryBelow",
     {{"TOP", "1920/508x540/143+0+0", "none"}, {"*BOTTOM", "1920/508x540/143+0+540", "screen"}},
     {},
     {{{0, 0, 1920, 540}, {0, 0, 1920, 540}, "BOTTOM"},
      {{0, -540, 1920, 540}, {0, -540, 1920, 540}, "TOP"}},
     {50, 700},
     {50, 160}},
};

class Screens : public DesktopTest {};

TEST_P(Screens, EveryMonitorWithTheAreaItsDocksLeaveAndThePointer) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    if (layout.name != std::string("one")) {
      TearDown();  // a fresh desktop for each layout
      SetUp();
      ASSERT_TRUE(desktop_);
    }
    for (const auto& monitor : layout.monitors) {
      std::vector<std::string> args = {"--setmonitor"};
      args.insert(args.end(), monitor.begin(), monitor.end());
      ASSERT_NO_FATAL_FAILURE(xrandr(args));
    }
    if (!layout.dock.empty()) {
      std::vector<std::string> args = {"--window", "--class", "dock,Dock", "--type", "dock"};
      args.insert(args.end(), layout.dock.begin(), layout.dock.end());
      open(args);
    }
    EXPECT_THAT(desktop_->screens(), ::testing::ElementsAreArray(layout.expected));
    xcb_warp_pointer(probe_->raw(), XCB_NONE, probe_->root(), 0, 0, 0, 0,
                     static_cast<std::int16_t>(layout.pointerAt.x),
                     static_cast<std::int16_t>(layout.pointerAt.y));
    std::free(
        xcb_get_input_focus_reply(probe_->raw(), xcb_get_input_focus(probe_->raw()), nullptr));
    EXPECT_EQ(desktop_->pointer(), layout.pointerExpected);
  }
  // Windows share the origin of the screens (the primary monitor is the lower one now): read
  // and placed in the same space.
  const auto ids = open({"--window", "--class", "low,Low", "--geometry", "400x200+100+600"});
  const Rect root = probe_->outerFrame(ids[0]).value();
  EXPECT_EQ(windowsOf("low").at(0).frame, Rect(root.x, root.y - 540, root.width, root.height));
  desktop_->place(std::vector<platform::Placement>{{ids[0], {10, -500, 600, 300}}});
  EXPECT_TRUE(settlesAt(ids[0], {10, 40, 600, 300}));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Screens, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
