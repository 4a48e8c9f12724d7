// Screens over a real X server: RandR monitors side by side and stacked, docks that shrink only
// the monitor they cover, the pointer, and agreement with window frames wherever the primary
// monitor sits. Each check converts the way the window layer does and compares with the root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

// The window layer's conversion: flip against the top of the first screen.
Rect flipped(const Rect& r, double reference) {
  return {r.x, reference - (r.y + r.height), r.width, r.height};
}

struct TopLeftScreen {
  Rect frame;
  Rect visible;
  std::string name;
};

class Screens : public DesktopTest {
 protected:
  std::vector<TopLeftScreen> screens() {
    auto all = desktop_->screens().screens();
    std::vector<TopLeftScreen> out;
    if (all.empty()) return out;
    const double reference = all.front().frame.y + all.front().frame.height;
    for (const auto& s : all)
      out.push_back(
          {flipped(s.frame, reference), flipped(s.visibleFrame, reference), s.localizedName});
    return out;
  }

  Point mouse() {
    auto all = desktop_->screens().screens();
    const double reference = all.empty() ? 0 : all.front().frame.y + all.front().frame.height;
    const Point p = desktop_->screens().mouseLocation();
    return {p.x, reference - p.y};
  }

  void xrandr(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"xrandr"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto process = Process::start(argv, {"DISPLAY=" + server_->display()});
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->waitExit(after(10)));
  }

  void warpPointer(int x, int y) {
    xcb_warp_pointer(probe_->raw(), XCB_NONE, probe_->root(), 0, 0, 0, 0,
                     static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    std::free(
        xcb_get_input_focus_reply(probe_->raw(), xcb_get_input_focus(probe_->raw()), nullptr));
  }
};

TEST_P(Screens, OneMonitorIsTheRootWindow) {
  const auto all = screens();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].frame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(all[0].visible, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(all[0].name, "screen");
  warpPointer(300, 400);
  EXPECT_EQ(mouse(), (Point{300, 400}));
}

TEST_P(Screens, MonitorsSideBySideWithADockOnTheRightOne) {
  xrandr({"--setmonitor", "*LEFT", "960/254x1080/286+0+0", "screen"});
  xrandr({"--setmonitor", "RIGHT", "960/254x1080/286+960+0", "none"});
  open({"--window", "--class", "dock,Dock", "--type", "dock", "--geometry", "960x40+960+1040",
        "--strut-partial", "0,0,0,40,0,0,0,0,0,0,960,1919"});
  const auto all = screens();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "LEFT");
  EXPECT_EQ(all[0].frame, Rect(0, 0, 960, 1080));
  EXPECT_EQ(all[0].visible, Rect(0, 0, 960, 1080));  // the dock is not on this monitor
  EXPECT_EQ(all[1].name, "RIGHT");
  EXPECT_EQ(all[1].frame, Rect(960, 0, 960, 1080));
  EXPECT_EQ(all[1].visible, Rect(960, 0, 960, 1040));
  warpPointer(1500, 1079);
  EXPECT_EQ(mouse(), (Point{1500, 1079}));
}

TEST_P(Screens, StackedMonitorsWithAPanelAlongTheTop) {
  xrandr({"--setmonitor", "*TOP", "1920/508x540/143+0+0", "screen"});
  xrandr({"--setmonitor", "BOTTOM", "1920/508x540/143+0+540", "none"});
  open({"--window", "--class", "panel,Panel", "--type", "dock", "--geometry", "1920x30+0+0",
        "--strut", "0,0,30,0"});
  const auto all = screens();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].frame, Rect(0, 0, 1920, 540));
  EXPECT_EQ(all[0].visible, Rect(0, 30, 1920, 510));
  EXPECT_EQ(all[1].frame, Rect(0, 540, 1920, 540));
  EXPECT_EQ(all[1].visible, Rect(0, 540, 1920, 540));
}

TEST_P(Screens, APrimaryMonitorBelowAnotherMovesTheOriginForWindowsToo) {
  xrandr({"--setmonitor", "TOP", "1920/508x540/143+0+0", "none"});
  xrandr({"--setmonitor", "*BOTTOM", "1920/508x540/143+0+540", "screen"});
  const auto windows = open({"--window", "--class", "low,Low", "--geometry", "400x200+100+600"});
  const auto all = screens();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "BOTTOM");
  EXPECT_EQ(all[0].frame, Rect(0, 0, 1920, 540));
  EXPECT_EQ(all[1].frame, Rect(0, -540, 1920, 540));

  // Window frames use the same origin: the window lies inside the primary display.
  const auto root = probe_->outerFrame(windows[0]);
  ASSERT_TRUE(root);
  const auto element = windowsOf(app("low")->pid).at(0);
  EXPECT_EQ(frame(element), Rect(root->x, root->y - 540, root->width, root->height));
  warpPointer(50, 700);
  EXPECT_EQ(mouse(), (Point{50, 160}));

  // And writes land where the window layer means them.
  const Rect target{10, -500, 600, 300};  // on the upper, secondary monitor
  setFrame(element, target);
  EXPECT_TRUE(settlesAt(windows[0], {10, 40, 600, 300}));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Screens, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
