// The simulated desktop on the window seam: what each fault of the scene vocabulary does to
// listing, reading and placing windows, launches, control, screens and the call record.
#include "platform/sim/sim_desktop.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/sim/virtual_main_queue.h"

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;
using Json = nlohmann::json;

constexpr Rect kStart{100, 50, 400, 300};
constexpr Rect kTarget{10, 20, 600, 500};

class SimDesktopTest : public ::testing::Test {
 protected:
  SimDesktop& load(const Json& scene) {
    auto desktop = SimDesktop::fromJson(scene.dump(), clock_);
    EXPECT_TRUE(desktop) << desktop.error();
    desktop_ = std::move(*desktop);
    return *desktop_;
  }
  /// One application (pid 101) with one window at kStart carrying `members`.
  SimDesktop& loadWindow(Json members, Json scene = Json::object()) {
    members["frame"] = {kStart.x, kStart.y, kStart.width, kStart.height};
    scene["apps"] = Json::array({{{"pid", 101}, {"windows", Json::array({members})}}});
    return load(scene);
  }
  void place(WindowHandle handle, Rect frame) {
    const Placement p{handle, frame};
    desktop_->place({&p, 1});
  }
  std::optional<Rect> frame(WindowHandle handle) {
    return desktop_->frames(std::vector<WindowHandle>{handle}).at(0);
  }

  VirtualMainQueue clock_;
  std::unique_ptr<SimDesktop> desktop_;
};

TEST_F(SimDesktopTest, WindowFactsFollowTheScene) {
  struct Case {
    const char* members;
    const char* title;
    bool standard, minimized, fullScreen;
  };
  const std::vector<Case> cases = {
      {R"({})", "", true, false, false},
      {R"({"title": "Docs"})", "Docs", true, false, false},
      {R"({"title": "Docs", "failRead": ["AXTitle"]})", "", true, false, false},
      {R"({"role": "AXSheet"})", "", false, false, false},
      {R"({"subrole": null})", "", false, false, false},
      {R"({"subrole": "AXDialog"})", "", false, false, false},
      {R"({"failRead": ["AXSubrole"]})", "", false, false, false},
      {R"({"minimized": true, "fullScreen": null})", "", true, true, false},
      {R"({"fullScreen": true, "failRead": ["AXMinimized"], "minimized": true})", "", true, false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.members);
    SimDesktop& d = loadWindow(Json::parse(c.members));
    const auto windows = d.windows(101);
    ASSERT_TRUE(windows);
    const WindowFacts expected{
        d.windowHandle(101, 0), c.title, kStart, c.standard, c.minimized, c.fullScreen};
    EXPECT_THAT(*windows, ElementsAre(expected));
  }
}

TEST_F(SimDesktopTest, PlacementFaults) {
  struct Case {
    const char* members;
    const char* scene;
    bool readable;               // listed, and frames() answers
    std::optional<Rect> placed;  // right after the placement; nothing: gone
    std::optional<Rect> later;   // a second later
  };
  const Rect keepsSize{10, 20, 400, 300};
  const Rect keepsOrigin{100, 50, 600, 500};
  const std::vector<Case> cases = {
      {R"({})", R"({})", true, kTarget, kTarget},
      {R"({"failWrite": ["AXSize"]})", R"({})", true, keepsSize, keepsSize},
      {R"({"failWrite": ["AXPosition"]})", R"({})", true, keepsOrigin, keepsOrigin},
      {R"({})", R"({"boxingFails": ["size"]})", true, keepsSize, keepsSize},
      {R"({})", R"({"boxingFails": ["point"]})", true, keepsOrigin, keepsOrigin},
      {R"({"ignoresWrites": true})", R"({})", true, kStart, kStart},
      {R"({"minSize": [700, 100]})", R"({})", true, Rect{10, 20, 700, 500}, Rect{10, 20, 700, 500}},
      {R"({"writeDelay": 0.5})", R"({})", true, kStart, kTarget},
      {R"({"vanishes": true})", R"({})", true, std::nullopt, std::nullopt},
      {R"({"failRead": ["AXPosition"]})", R"({})", false, kTarget, kTarget},
      {R"({"failRead": ["AXSize"]})", R"({})", false, kTarget, kTarget},
      {R"({"positionValue": "number"})", R"({})", false, kTarget, kTarget},
      {R"({"sizeValue": "number"})", R"({})", false, kTarget, kTarget},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.members) + c.scene);
    SimDesktop& d = loadWindow(Json::parse(c.members), Json::parse(c.scene));
    const WindowHandle w = d.windowHandle(101, 0);
    EXPECT_EQ(d.windows(101)->size(), c.readable ? 1u : 0u);
    EXPECT_EQ(frame(w), c.readable ? std::optional(kStart) : std::nullopt);
    place(w, kTarget);
    EXPECT_EQ(d.windowFrame(101, 0), c.placed);
    clock_.sleep(1);
    EXPECT_EQ(d.windowFrame(101, 0), c.later);
    EXPECT_EQ(frame(w), c.readable ? c.later : std::nullopt);
    if (!c.later) {
      EXPECT_TRUE(d.windows(101)->empty());
    }
  }
}

TEST_F(SimDesktopTest, ApplicationFaultsLeaveItsWindowsUnreadable) {
  struct Case {
    const char* app;
    double waited;
  };
  const std::vector<Case> cases = {
      {R"({"unresponsive": true})", SimDesktop::kAnswerTimeout},
      {R"({"failWindows": true})", 0},
      {R"({"failRead": ["AXWindows"]})", 0},
      {R"({"windowsValue": "string"})", 0},
      {R"({"windowsValue": "withNull"})", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.app);
    Json app = Json::parse(c.app);
    app["pid"] = 101;
    app["windows"] = Json::parse(R"([{"frame": [0, 0, 10, 10]}])");
    SimDesktop& d = load({{"apps", {app}}});
    const double before = clock_.now();
    EXPECT_EQ(d.windows(101), std::nullopt);
    EXPECT_EQ(clock_.now() - before, c.waited);
  }
  EXPECT_EQ(load(Json::object()).windows(101), std::nullopt);  // no such application
}

TEST_F(SimDesktopTest, ApplicationsAreTheRegularOnesButThisProgram) {
  SimDesktop& d = load(Json::parse(R"({"self": 4, "frontmost": 2, "apps": [
      {"pid": 1, "bundleID": "firefox-esr", "name": "Firefox", "hidden": true},
      {"pid": 2}, {"pid": 3, "policy": "accessory"}, {"pid": 4}, {"pid": 5, "policy": "prohibited"}]})"));
  EXPECT_THAT(d.applications(), ElementsAre(AppFacts{"firefox-esr", "Firefox", 1, true, false},
                                            AppFacts{"", "", 2, false, true}));
  d.setFrontmost(std::nullopt);
  EXPECT_TRUE(d.quitApplication(1));
  EXPECT_FALSE(d.quitApplication(1));
  EXPECT_THAT(d.applications(), ElementsAre(AppFacts{"", "", 2, false, false}));
}

TEST_F(SimDesktopTest, ScreensAndPointerAreReadIntoTheTopLeftSpace) {
  SimDesktop& d = load(Json::parse(R"({"mouse": [720, 850], "screens": [
      {"name": "Built-in", "frame": [0, 0, 1440, 900], "visible": [0, 0, 1440, 875]},
      {"frame": [1440, 100, 1920, 1080]}]})"));
  EXPECT_THAT(d.screens(),
              ElementsAre(Screen{{0, 0, 1440, 900}, {0, 25, 1440, 875}, "Built-in"},
                          Screen{{1440, -280, 1920, 1080}, {1440, -280, 1920, 1080}, ""}));
  EXPECT_EQ(d.pointer(), (Point{720, 50}));
  d.setPointer({3, 4});
  d.setScreens({});
  EXPECT_EQ(d.pointer(), (Point{3, 4}));
  EXPECT_TRUE(d.screens().empty());
  EXPECT_EQ(load(Json::parse(R"({"mouse": [5, 6]})")).pointer(), (Point{5, -6}));
}

TEST_F(SimDesktopTest, ControlArrivesAtItsTime) {
  SimDesktop& d = loadWindow(Json::object(), {{"trusted", false}, {"trustedAt", 2}});
  const WindowHandle w = d.windowHandle(101, 0);
  EXPECT_FALSE(d.controlAvailable());
  EXPECT_EQ(d.windows(101), std::nullopt);
  EXPECT_EQ(frame(w), std::nullopt);
  place(w, kTarget);
  EXPECT_EQ(d.windowFrame(101, 0), kStart);
  clock_.sleep(2);
  EXPECT_TRUE(d.controlAvailable());
  EXPECT_EQ(d.windows(101)->size(), 1u);
  place(w, kTarget);
  EXPECT_EQ(frame(w), kTarget);
  d.setTrusted(false);
  EXPECT_FALSE(d.controlAvailable());
  d.requestControl();  // only recorded
  EXPECT_FALSE(d.controlAvailable());
}

TEST_F(SimDesktopTest, WindowsChangedFromOutside) {
  SimDesktop& d = load(Json::parse(R"({"apps": [{"pid": 7, "windows": [
      {"frame": [0, 0, 10, 10], "writeDelay": 1}, {"frame": [5, 5, 10, 10]}]}]})"));
  EXPECT_EQ(d.windowHandle(7, 1), (WindowHandle{7} << 16) | 1);
  EXPECT_EQ(d.windowHandle(7, 2), 0u);
  EXPECT_EQ(d.windowHandle(8, 0), 0u);
  place(d.windowHandle(7, 0), kTarget);
  EXPECT_TRUE(d.setWindowFrame(7, 0, kStart));  // the pending placement is dropped
  EXPECT_TRUE(d.closeWindow(7, 1));
  EXPECT_FALSE(d.closeWindow(7, 1));
  clock_.sleep(2);
  EXPECT_EQ(d.windowFrame(7, 0), kStart);
  EXPECT_EQ(d.windows(7)->size(), 1u);
  EXPECT_EQ(d.windowHandle(7, 1), 0u);
  EXPECT_TRUE(d.quitApplication(7));
  EXPECT_EQ(frame((WindowHandle{7} << 16)), std::nullopt);
  EXPECT_EQ(d.windows(7), std::nullopt);
}

TEST_F(SimDesktopTest, LaunchStartsAnInstalledApplicationOnceAfterItsDelay) {
  SimDesktop& d = load(Json::parse(R"({"apps": [{"pid": 202, "bundleID": "firefox-esr"}],
      "installed": [{"bundleID": "chat", "name": "Chat", "launchDelay": 0.5,
                     "windows": [{"frame": [0, 25, 800, 600]}]},
                    {"bundleID": "claude"}]})"));
  EXPECT_FALSE(d.launch("firefox-esr"));  // running, but not installed
  EXPECT_FALSE(d.launch("none"));
  EXPECT_TRUE(d.launch("chat"));
  EXPECT_TRUE(d.launch("claude"));
  clock_.sleep(0.2);
  EXPECT_TRUE(d.launch("chat"));  // still launching: no second copy
  EXPECT_EQ(d.pendingLaunches(), 1u);
  EXPECT_EQ(d.applications().size(), 2u);
  clock_.sleep(0.3);
  const auto apps = d.applications();
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[1].pid, 204);  // fresh pids above the scene's, in launch order; due first
  EXPECT_EQ(apps[2], (AppFacts{"chat", "Chat", 203, false, false}));
  EXPECT_EQ(d.windowFrame(203, 0), Rect(0, 25, 800, 600));
  EXPECT_TRUE(d.launch("chat"));  // running: shown, not started again
  EXPECT_TRUE(d.quitApplication(203));
  EXPECT_TRUE(d.launch("chat"));
  clock_.sleep(0.5);
  EXPECT_EQ(d.applications().back().pid, 205);
}

TEST_F(SimDesktopTest, RecordsEveryCallInTheSeamsTerms) {
  SimDesktop& d = loadWindow(Json::object());
  d.log().clear();
  clock_.sleep(1.5);
  d.applications();
  d.windows(101);
  const std::vector<WindowHandle> handles = {d.windowHandle(101, 0), 99};
  d.frames(handles);
  const std::vector<Placement> placements = {{handles[0], {0, 0, 800, 600}},
                                             {handles[1], {0.5, 1, 2, 3}}};
  d.place(placements);
  d.screens();
  d.pointer();
  d.launch("chat");
  d.controlAvailable();
  d.requestControl();
  d.windowFrame(101, 0);  // test hooks are not recorded
  EXPECT_EQ(d.log().text(),
            "applications\n"
            "windows 101\n"
            "frames 101/0 ?\n"
            "place 101/0 (0.0, 0.0, 800.0, 600.0)\n"
            "place ? (0.5, 1.0, 2.0, 3.0)\n"
            "screens\npointer\nlaunch chat\ncontrolAvailable\nrequestControl\n");
  EXPECT_THAT(d.log().places(),
              ElementsAre("101/0 (0.0, 0.0, 800.0, 600.0)", "? (0.5, 1.0, 2.0, 3.0)"));
  EXPECT_EQ(d.log().count(SimCallKind::place), 2u);
  EXPECT_EQ(d.log().calls().front().time, 1.5);
}

TEST_F(SimDesktopTest, RecordsTheTimeACallArrived) {
  load(Json::parse(R"({"apps": [{"pid": 3, "unresponsive": true}]})")).windows(3);
  desktop_->windows(3);
  EXPECT_EQ(desktop_->log().calls().at(1).time, SimDesktop::kAnswerTimeout);
}

}  // namespace
}  // namespace tessaloom::platform
