// The simulated desktop: attributes, writes, every fault a scene can ask for, launches on the
// virtual clock, the workspace and screens, and the call record.
#include "platform/sim/sim_desktop.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sim/virtual_main_queue.h"

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SimDesktopTest : public ::testing::Test {
 protected:
  SimDesktop& load(const std::string& text) {
    std::string error;
    desktop_ = SimDesktop::fromJson(text, clock_, error);
    if (!desktop_) ADD_FAILURE() << error;
    return *desktop_;
  }

  /// The window handles the application lists, read through the seam.
  std::vector<ElementRef> windows(std::int32_t pid) {
    AttributeValue value;
    const AXError error =
        desktop_->copyAttributeValue(desktop_->createApplication(pid), "AXWindows", value);
    if (error != AXError::success) return {};
    return std::get<std::vector<ElementRef>>(value);
  }

  AXError read(const ElementRef& element, std::string_view attribute, AttributeValue& value) {
    return desktop_->copyAttributeValue(element, attribute, value);
  }

  AXError write(const ElementRef& element, std::string_view attribute, AttributeValue value) {
    return desktop_->setAttributeValue(element, attribute, value);
  }

  VirtualMainQueue clock_;
  std::unique_ptr<SimDesktop> desktop_;
};

constexpr const char* kTwoWindows = R"({
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome",
            "enhancedUI": true,
            "windows": [{"title": "Docs", "frame": [100, 80, 900, 700]},
                        {"frame": [5, 6, 300, 200], "role": null, "subrole": "AXDialog",
                         "minimized": true, "fullScreen": null}]}]
})";

TEST_F(SimDesktopTest, ReadsWindowAttributes) {
  load(kTwoWindows);
  const std::vector<ElementRef> w = windows(101);
  ASSERT_EQ(w.size(), 2u);
  struct Case {
    std::size_t window;
    const char* attribute;
    AXError error;
    AttributeValue value;
  };
  const std::vector<Case> cases = {
      {0, "AXRole", AXError::success, std::string("AXWindow")},
      {0, "AXSubrole", AXError::success, std::string("AXStandardWindow")},
      {0, "AXTitle", AXError::success, std::string("Docs")},
      {0, "AXMinimized", AXError::success, false},
      {0, "AXFullScreen", AXError::success, false},
      {0, "AXPosition", AXError::success, Point{100, 80}},
      {0, "AXSize", AXError::success, Size{900, 700}},
      {0, "AXFocused", AXError::attributeUnsupported, {}},
      {1, "AXRole", AXError::noValue, {}},
      {1, "AXSubrole", AXError::success, std::string("AXDialog")},
      {1, "AXTitle", AXError::noValue, {}},
      {1, "AXMinimized", AXError::success, true},
      {1, "AXFullScreen", AXError::noValue, {}},
      {1, "AXPosition", AXError::success, Point{5, 6}},
      {1, "AXSize", AXError::success, Size{300, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.window) + " " + c.attribute);
    AttributeValue value = std::string("untouched");
    EXPECT_EQ(read(w[c.window], c.attribute, value), c.error);
    // A failed read leaves the slot alone.
    EXPECT_EQ(value, c.error == AXError::success ? c.value : std::string("untouched"));
  }
}

TEST_F(SimDesktopTest, HandsOutOneHandlePerWindow) {
  SimDesktop& d = load(kTwoWindows);
  const std::vector<ElementRef> first = windows(101);
  const std::vector<ElementRef> second = windows(101);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0], second[0]);
  EXPECT_EQ(first[0], d.windowElement(101, 0));
  EXPECT_NE(first[0], first[1]);
  EXPECT_TRUE(sameElement(first[1], second[1]));
  EXPECT_FALSE(sameElement(first[0], first[1]));
  // Application handles are made afresh each time but denote the same application.
  const ElementRef a = d.createApplication(101);
  const ElementRef b = d.createApplication(101);
  EXPECT_NE(a, b);
  EXPECT_TRUE(sameElement(a, b));
  EXPECT_FALSE(sameElement(a, d.createApplication(102)));
  EXPECT_FALSE(sameElement(a, first[0]));
  EXPECT_EQ(describeElement(a), "app:101");
  EXPECT_EQ(describeElement(first[1]), "win:101/1");
}

TEST_F(SimDesktopTest, ReadsApplicationAttributes) {
  load(R"({"apps": [{"pid": 1, "name": "One", "enhancedUI": false, "windows": []},
                    {"pid": 2}]})");
  AttributeValue value;
  const ElementRef one = desktop_->createApplication(1);
  const ElementRef two = desktop_->createApplication(2);
  EXPECT_EQ(read(one, "AXWindows", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{std::vector<ElementRef>{}});
  EXPECT_EQ(read(one, "AXEnhancedUserInterface", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{false});
  EXPECT_EQ(read(one, "AXTitle", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{std::string("One")});
  EXPECT_EQ(read(two, "AXEnhancedUserInterface", value), AXError::attributeUnsupported);
  EXPECT_EQ(read(two, "AXTitle", value), AXError::noValue);
  EXPECT_EQ(read(two, "AXRole", value), AXError::attributeUnsupported);
}

TEST_F(SimDesktopTest, EnhancedInterfaceWritesAreKeptWhereTheAttributeExists) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "enhancedUI": true}, {"pid": 2}]})");
  EXPECT_EQ(write(d.createApplication(1), "AXEnhancedUserInterface", false), AXError::success);
  EXPECT_EQ(d.enhancedUserInterface(1), false);
  AttributeValue value;
  EXPECT_EQ(read(d.createApplication(1), "AXEnhancedUserInterface", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{false});
  EXPECT_EQ(write(d.createApplication(1), "AXEnhancedUserInterface", std::string("no")),
            AXError::illegalArgument);
  EXPECT_EQ(d.enhancedUserInterface(1), false);
  EXPECT_EQ(write(d.createApplication(2), "AXEnhancedUserInterface", true),
            AXError::attributeUnsupported);
  EXPECT_EQ(d.enhancedUserInterface(2), std::nullopt);
  EXPECT_EQ(write(d.createApplication(1), "AXWindows", true), AXError::attributeUnsupported);
}

TEST_F(SimDesktopTest, PositionAndSizeWritesMoveTheWindow) {
  SimDesktop& d = load(kTwoWindows);
  const ElementRef w = windows(101)[0];
  EXPECT_EQ(write(w, "AXSize", Size{800, 601}), AXError::success);
  EXPECT_EQ(write(w, "AXPosition", Point{-20, 50.5}), AXError::success);
  EXPECT_EQ(d.windowFrame(101, 0), Rect(-20, 50.5, 800, 601));
  AttributeValue value;
  EXPECT_EQ(read(w, "AXPosition", value), AXError::success);
  EXPECT_EQ(value, AttributeValue((Point{-20, 50.5})));
  // The other window is untouched.
  EXPECT_EQ(d.windowFrame(101, 1), Rect(5, 6, 300, 200));
}

TEST_F(SimDesktopTest, RefusesWritesOfTheWrongKind) {
  SimDesktop& d = load(kTwoWindows);
  const ElementRef w = windows(101)[0];
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* attribute;
    AttributeValue value;
    AXError error;
  };
  const std::vector<Case> cases = {
      {"AXPosition", Size{1, 2}, AXError::illegalArgument},
      {"AXSize", Point{1, 2}, AXError::illegalArgument},
      {"AXSize", 5.0, AXError::illegalArgument},
      {"AXPosition", Point{std::nan(""), 0}, AXError::illegalArgument},
      {"AXSize", Size{inf, 10}, AXError::illegalArgument},
      {"AXTitle", std::string("x"), AXError::attributeUnsupported},
      {"AXMinimized", true, AXError::attributeUnsupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(write(w, c.attribute, c.value), c.error);
  }
  EXPECT_EQ(d.windowFrame(101, 0), Rect(100, 80, 900, 700));
}

TEST_F(SimDesktopTest, RefusesHandlesItDidNotMake) {
  SimDesktop& d = load(kTwoWindows);
  VirtualMainQueue otherClock;
  std::string error;
  auto other = SimDesktop::fromJson(kTwoWindows, otherClock, error);
  ASSERT_TRUE(other);
  struct Foreign : Element {};
  AttributeValue value;
  EXPECT_EQ(read(nullptr, "AXRole", value), AXError::illegalArgument);
  EXPECT_EQ(read(std::make_shared<Foreign>(), "AXRole", value), AXError::illegalArgument);
  EXPECT_EQ(read(other->windowElement(101, 0), "AXRole", value), AXError::illegalArgument);
  EXPECT_EQ(write(other->windowElement(101, 0), "AXSize", Size{1, 1}), AXError::illegalArgument);
  EXPECT_EQ(other->windowFrame(101, 0), Rect(100, 80, 900, 700));
  // A process that does not run has an element, but nothing answers it.
  EXPECT_EQ(read(d.createApplication(999), "AXWindows", value), AXError::invalidUIElement);
}

// Faults ------------------------------------------------------------------------------------

TEST_F(SimDesktopTest, FailedReadsFailOnlyTheNamedAttributes) {
  load(R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 500, 400],
                                            "failRead": ["AXSize", "AXMinimized"]}]}]})");
  const ElementRef w = windows(1).at(0);
  AttributeValue value;
  EXPECT_EQ(read(w, "AXSize", value), AXError::failure);
  EXPECT_EQ(read(w, "AXMinimized", value), AXError::failure);
  EXPECT_EQ(read(w, "AXPosition", value), AXError::success);
  EXPECT_EQ(read(w, "AXRole", value), AXError::success);
}

TEST_F(SimDesktopTest, FailedWritesChangeNothing) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "enhancedUI": true,
      "failWrite": ["AXEnhancedUserInterface"],
      "windows": [{"frame": [0, 0, 500, 400], "failWrite": ["AXPosition"]}]}]})");
  const ElementRef w = windows(1).at(0);
  EXPECT_EQ(write(w, "AXPosition", Point{9, 9}), AXError::failure);
  EXPECT_EQ(write(w, "AXSize", Size{600, 450}), AXError::success);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 600, 450));
  EXPECT_EQ(write(d.createApplication(1), "AXEnhancedUserInterface", false), AXError::failure);
  EXPECT_EQ(d.enhancedUserInterface(1), true);
}

TEST_F(SimDesktopTest, WindowsThatIgnoreWritesOrHaveAMinimumSize) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "windows": [
      {"frame": [10, 20, 500, 400], "ignoresWrites": true},
      {"frame": [10, 20, 500, 400], "minSize": [400, 300]}]}]})");
  const std::vector<ElementRef> w = windows(1);
  EXPECT_EQ(write(w[0], "AXSize", Size{100, 100}), AXError::success);
  EXPECT_EQ(write(w[0], "AXPosition", Point{0, 0}), AXError::success);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(10, 20, 500, 400));

  struct Case {
    Size written;
    Size result;
  };
  for (const Case& c : std::vector<Case>{{{100, 100}, {400, 300}},
                                         {{350, 800}, {400, 800}},
                                         {{900, 250}, {900, 300}},
                                         {{-5, -5}, {400, 300}},
                                         {{400, 300}, {400, 300}}}) {
    EXPECT_EQ(write(w[1], "AXSize", c.written), AXError::success);
    EXPECT_EQ(d.windowFrame(1, 1)->size(), c.result);
  }
}

TEST_F(SimDesktopTest, NegativeSizesAreClampedToZeroWithoutAMinimum) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 5, 5]}]}]})");
  EXPECT_EQ(write(windows(1).at(0), "AXSize", Size{-10, 20}), AXError::success);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 0, 20));
}

TEST_F(SimDesktopTest, AVanishingWindowIsGoneAtItsFirstWrite) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "windows": [
      {"frame": [0, 0, 500, 400], "vanishes": true}, {"frame": [1, 1, 500, 400]}]}]})");
  const std::vector<ElementRef> before = windows(1);
  ASSERT_EQ(before.size(), 2u);
  AttributeValue value;
  EXPECT_EQ(read(before[0], "AXSize", value), AXError::success);  // reads are fine until then
  EXPECT_EQ(write(before[0], "AXSize", Size{600, 500}), AXError::invalidUIElement);
  EXPECT_EQ(write(before[0], "AXPosition", Point{0, 0}), AXError::invalidUIElement);
  EXPECT_EQ(read(before[0], "AXSize", value), AXError::invalidUIElement);
  EXPECT_EQ(read(before[0], "AXRole", value), AXError::invalidUIElement);
  const std::vector<ElementRef> after = windows(1);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], before[1]);
  EXPECT_EQ(d.windowFrame(1, 0), std::nullopt);
  EXPECT_EQ(d.windowElement(1, 0), nullptr);
}

TEST_F(SimDesktopTest, AnUnresponsiveApplicationCostsItsMessagingTimeoutPerRequest) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "unresponsive": true, "enhancedUI": true,
                                     "windows": [{"frame": [0, 0, 500, 400]}]}]})");
  const ElementRef w = d.windowElement(1, 0);
  AttributeValue value;
  // No timeout set: the platform's default.
  EXPECT_EQ(read(d.createApplication(1), "AXWindows", value), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 6);
  EXPECT_EQ(read(w, "AXSize", value), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 12);

  const ElementRef app = d.createApplication(1);
  d.setMessagingTimeout(app, 1.0f);
  EXPECT_EQ(read(app, "AXWindows", value), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 13);
  // Its windows answer (or not) within the timeout last set for the application.
  EXPECT_EQ(read(w, "AXPosition", value), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 14);
  EXPECT_EQ(write(w, "AXPosition", Point{5, 5}), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 15);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 500, 400));
  // A fresh application element has the default again.
  EXPECT_EQ(write(d.createApplication(1), "AXEnhancedUserInterface", false),
            AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 21);
  EXPECT_EQ(d.enhancedUserInterface(1), true);
  // Zero puts the default back.
  d.setMessagingTimeout(app, 0.0f);
  EXPECT_EQ(read(app, "AXWindows", value), AXError::cannotComplete);
  EXPECT_EQ(clock_.now(), 27);
}

TEST_F(SimDesktopTest, WindowListFaults) {
  load(R"({"apps": [
      {"pid": 1, "failWindows": true, "windows": [{"frame": [0, 0, 500, 400]}]},
      {"pid": 2, "windowsValue": "string", "windows": [{"frame": [0, 0, 500, 400]}]},
      {"pid": 3, "windowsValue": "withNull", "windows": [{"frame": [0, 0, 500, 400]}]},
      {"pid": 4, "failRead": ["AXEnhancedUserInterface"], "enhancedUI": true}]})");
  AttributeValue value;
  EXPECT_EQ(read(desktop_->createApplication(1), "AXWindows", value), AXError::failure);
  EXPECT_EQ(read(desktop_->createApplication(2), "AXWindows", value), AXError::success);
  EXPECT_TRUE(std::holds_alternative<std::string>(value));
  EXPECT_EQ(read(desktop_->createApplication(3), "AXWindows", value), AXError::success);
  const auto& list = std::get<std::vector<ElementRef>>(value);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(describeElement(list[0]), "win:3/0");
  EXPECT_EQ(list[1], nullptr);
  EXPECT_EQ(read(desktop_->createApplication(4), "AXEnhancedUserInterface", value),
            AXError::failure);
}

TEST_F(SimDesktopTest, GeometryThatReadsAsAPlainNumber) {
  load(R"({"apps": [{"pid": 1, "windows": [
      {"frame": [10, 20, 500, 400], "positionValue": "number"},
      {"frame": [10, 20, 500, 400], "sizeValue": "number"}]}]})");
  const std::vector<ElementRef> w = windows(1);
  AttributeValue value;
  EXPECT_EQ(read(w[0], "AXPosition", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{10.0});
  EXPECT_EQ(read(w[0], "AXSize", value), AXError::success);
  EXPECT_EQ(value, AttributeValue((Size{500, 400})));
  EXPECT_EQ(read(w[1], "AXSize", value), AXError::success);
  EXPECT_EQ(value, AttributeValue{500.0});
}

TEST_F(SimDesktopTest, DelayedWritesTakeEffectOnceTheirTimeHasCome) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "windows": [
      {"frame": [0, 0, 500, 400], "writeDelay": 0.2, "minSize": [450, 0]}]}]})");
  const ElementRef w = windows(1).at(0);
  EXPECT_EQ(write(w, "AXSize", Size{300, 300}), AXError::success);
  clock_.sleep(0.1);
  EXPECT_EQ(write(w, "AXPosition", Point{7, 8}), AXError::success);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 500, 400));
  clock_.sleep(0.1);
  AttributeValue value;
  EXPECT_EQ(read(w, "AXSize", value), AXError::success);
  EXPECT_EQ(value, AttributeValue((Size{450, 300})));
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 450, 300));
  clock_.sleep(0.1);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(7, 8, 450, 300));
}

TEST_F(SimDesktopTest, WindowsMovedOrClosedFromOutside) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "windows": [
      {"frame": [0, 0, 500, 400], "writeDelay": 1}, {"frame": [0, 0, 500, 400]}]}]})");
  const std::vector<ElementRef> w = windows(1);
  EXPECT_EQ(write(w[0], "AXPosition", Point{9, 9}), AXError::success);
  // The user's move wins over a write still settling.
  EXPECT_TRUE(d.setWindowFrame(1, 0, Rect(50, 60, 700, 500)));
  clock_.sleep(2);
  EXPECT_EQ(d.windowFrame(1, 0), Rect(50, 60, 700, 500));

  EXPECT_TRUE(d.closeWindow(1, 1));
  EXPECT_FALSE(d.closeWindow(1, 1));
  EXPECT_FALSE(d.setWindowFrame(1, 1, Rect()));
  EXPECT_FALSE(d.setWindowFrame(1, 7, Rect()));
  EXPECT_EQ(windows(1), std::vector<ElementRef>{w[0]});
  AttributeValue value;
  EXPECT_EQ(read(w[1], "AXSize", value), AXError::invalidUIElement);
}

TEST_F(SimDesktopTest, BoxingFailsForTheNamedKindsOnly) {
  struct Case {
    const char* scene;
    bool point;
    bool size;
  };
  for (const Case& c : std::vector<Case>{{"{}", true, true},
                                         {R"({"boxingFails": ["size"]})", true, false},
                                         {R"({"boxingFails": ["point", "size"]})", false, false}}) {
    SCOPED_TRACE(c.scene);
    SimDesktop& d = load(c.scene);
    EXPECT_EQ(d.createValue(Point{1, 2}).has_value(), c.point);
    EXPECT_EQ(d.createValue(Size{3, 4}).has_value(), c.size);
    if (c.size) {
      EXPECT_EQ(*d.createValue(Size{3, 4}), AttributeValue((Size{3, 4})));
    }
  }
}

TEST_F(SimDesktopTest, WithoutPermissionEveryRequestIsRefused) {
  SimDesktop& d = load(R"({"trusted": false, "apps": [{"pid": 1, "enhancedUI": true,
      "unresponsive": true, "windows": [{"frame": [0, 0, 500, 400]}]}]})");
  EXPECT_FALSE(d.isProcessTrusted(false));
  AttributeValue value;
  EXPECT_EQ(read(d.createApplication(1), "AXWindows", value), AXError::apiDisabled);
  EXPECT_EQ(read(d.windowElement(1, 0), "AXSize", value), AXError::apiDisabled);
  EXPECT_EQ(write(d.windowElement(1, 0), "AXSize", Size{1, 1}), AXError::apiDisabled);
  EXPECT_EQ(clock_.now(), 0);  // refused at once, even by an unresponsive application
  EXPECT_EQ(d.windowFrame(1, 0), Rect(0, 0, 500, 400));
  // The workspace needs no permission.
  EXPECT_EQ(d.runningApplications().size(), 1u);

  d.setTrusted(true);
  EXPECT_TRUE(d.isProcessTrusted(false));
}

TEST_F(SimDesktopTest, PermissionCanArriveLater) {
  SimDesktop& d = load(R"({"trusted": false, "trustedAt": 3})");
  int checks = 0;
  bool granted = false;
  WorkItem watch;
  watch = clock_.repeating(1.0, [&] {
    ++checks;
    if (d.isProcessTrusted(false)) {
      granted = true;
      watch.cancel();
    }
  });
  clock_.runUntil(10);
  EXPECT_TRUE(granted);
  EXPECT_EQ(checks, 3);
  d.setTrusted(false);
  EXPECT_FALSE(d.isProcessTrusted(true));
}

// Workspace and screens ---------------------------------------------------------------------

constexpr const char* kWorkspace = R"({
  "screens": [{"name": "Built-in", "frame": [0, 0, 1440, 900], "visible": [0, 0, 1440, 875]},
              {"name": "Side", "frame": [1440, 0, 1920, 1080]}],
  "mouse": [720, 450], "frontmost": 202, "self": 7,
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome"},
           {"pid": 202, "bundleID": "com.apple.Safari", "policy": "accessory", "hidden": true},
           {"pid": 7, "bundleID": "tessaloom", "name": "Tessaloom", "policy": "accessory"}],
  "installed": [{"bundleID": "com.openai.chat", "name": "ChatGPT", "launchDelay": 0.5,
                 "windows": [{"title": "ChatGPT", "frame": [0, 25, 800, 600]}]},
                {"bundleID": "com.anthropic.claude", "name": "Claude",
                 "windows": [{"title": "Claude", "frame": [10, 25, 800, 600]},
                             {"title": "Settings", "frame": [10, 25, 400, 300]}]}]
})";

TEST_F(SimDesktopTest, ListsApplicationsScreensAndPointer) {
  SimDesktop& d = load(kWorkspace);
  const std::vector<RunningApplication> apps = d.runningApplications();
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[0].pid, 101);
  EXPECT_EQ(apps[0].bundleIdentifier, "com.google.Chrome");
  EXPECT_EQ(apps[0].localizedName, "Google Chrome");
  EXPECT_EQ(apps[0].activationPolicy, ActivationPolicy::regular);
  EXPECT_FALSE(apps[0].hidden);
  EXPECT_EQ(apps[1].pid, 202);
  EXPECT_EQ(apps[1].localizedName, std::nullopt);
  EXPECT_EQ(apps[1].activationPolicy, ActivationPolicy::accessory);
  EXPECT_TRUE(apps[1].hidden);
  EXPECT_EQ(d.frontmostApplication()->pid, 202);
  EXPECT_EQ(d.currentProcessIdentifier(), 7);

  const std::vector<Screen> screens = d.screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].localizedName, "Built-in");
  EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 1440, 875));
  EXPECT_EQ(screens[1].visibleFrame, Rect(1440, 0, 1920, 1080));
  EXPECT_EQ(d.mouseLocation(), (Point{720, 450}));

  d.setMouse({5, 5});
  d.setFrontmost(std::nullopt);
  d.setScreens({});
  EXPECT_EQ(d.mouseLocation(), (Point{5, 5}));
  EXPECT_EQ(d.frontmostApplication(), std::nullopt);
  EXPECT_THAT(d.screens(), IsEmpty());
}

TEST_F(SimDesktopTest, AQuitApplicationIsGoneWithItsElements) {
  SimDesktop& d = load(kWorkspace);
  const ElementRef app = d.createApplication(202);
  EXPECT_TRUE(d.quitApplication(202));
  EXPECT_FALSE(d.quitApplication(202));
  EXPECT_EQ(d.runningApplications().size(), 2u);
  EXPECT_EQ(d.frontmostApplication(), std::nullopt);
  AttributeValue value;
  EXPECT_EQ(read(app, "AXWindows", value), AXError::invalidUIElement);
}

TEST_F(SimDesktopTest, InstalledApplicationsHaveALocation) {
  SimDesktop& d = load(kWorkspace);
  EXPECT_EQ(d.urlForApplication("com.openai.chat"), "sim://installed/com.openai.chat");
  EXPECT_EQ(d.urlForApplication("com.google.Chrome"), std::nullopt);  // runs, not installed
  EXPECT_EQ(d.urlForApplication("com.example.none"), std::nullopt);
  EXPECT_EQ(d.urlForApplication(""), std::nullopt);
}

TEST_F(SimDesktopTest, AnOpenedApplicationAppearsAfterItsLaunchDelay) {
  SimDesktop& d = load(kWorkspace);
  d.openApplication(*d.urlForApplication("com.openai.chat"));
  clock_.sleep(0.2);
  d.openApplication(*d.urlForApplication("com.openai.chat"));  // still launching: no second one
  EXPECT_EQ(d.runningApplications().size(), 3u);
  EXPECT_EQ(d.pendingLaunches(), 1u);
  clock_.sleep(0.3);
  const std::vector<RunningApplication> apps = d.runningApplications();
  ASSERT_EQ(apps.size(), 4u);
  const RunningApplication& chat = apps[3];
  EXPECT_EQ(chat.pid, 203);  // above every pid of the scene
  EXPECT_EQ(chat.bundleIdentifier, "com.openai.chat");
  EXPECT_EQ(chat.localizedName, "ChatGPT");
  EXPECT_EQ(d.pendingLaunches(), 0u);
  const std::vector<ElementRef> w = windows(203);
  ASSERT_EQ(w.size(), 1u);
  AttributeValue title;
  EXPECT_EQ(read(w[0], "AXTitle", title), AXError::success);
  EXPECT_EQ(title, AttributeValue{std::string("ChatGPT")});
  EXPECT_EQ(d.windowFrame(203, 0), Rect(0, 25, 800, 600));

  // Opening a running application starts no second copy.
  d.openApplication(*d.urlForApplication("com.openai.chat"));
  clock_.sleep(1);
  EXPECT_EQ(d.runningApplications().size(), 4u);
}

TEST_F(SimDesktopTest, LaunchesComeDueInTimeOrderWithFreshPids) {
  SimDesktop& d = load(kWorkspace);
  d.openApplication("sim://installed/com.openai.chat");       // due at 0.5, pid 203
  d.openApplication("sim://installed/com.anthropic.claude");  // due at once, pid 204
  d.openApplication("sim://installed/com.example.none");      // unknown: nothing
  d.openApplication("/Applications/ChatGPT.app");             // unknown: nothing
  std::vector<std::int32_t> seen;
  clock_.repeating(0.35, [&] {
    for (const RunningApplication& app : d.runningApplications()) seen.push_back(app.pid);
    seen.push_back(0);
  });
  clock_.runUntil(0.75);
  EXPECT_THAT(seen, ElementsAre(101, 202, 7, 204, 0, 101, 202, 7, 204, 203, 0));
  EXPECT_EQ(windows(204).size(), 2u);
}

TEST_F(SimDesktopTest, AQuitLaunchedApplicationCanBeOpenedAgain) {
  SimDesktop& d = load(kWorkspace);
  d.openApplication("sim://installed/com.anthropic.claude");
  ASSERT_EQ(d.runningApplications().size(), 4u);
  EXPECT_TRUE(d.quitApplication(203));
  d.openApplication("sim://installed/com.anthropic.claude");
  const std::vector<RunningApplication> apps = d.runningApplications();
  ASSERT_EQ(apps.size(), 4u);
  EXPECT_EQ(apps[3].pid, 204);
}

// The call record ---------------------------------------------------------------------------

TEST_F(SimDesktopTest, RecordsEveryCallInOrder) {
  SimDesktop& d = load(kTwoWindows);
  d.log().clear();
  clock_.sleep(1.5);
  const ElementRef app = d.createApplication(101);
  d.setMessagingTimeout(app, 1.0f);
  AttributeValue value;
  d.copyAttributeValue(app, "AXWindows", value);
  const ElementRef w = std::get<std::vector<ElementRef>>(value)[1];
  d.copyAttributeValue(w, "AXTitle", value);
  d.setAttributeValue(w, "AXSize", *d.createValue(Size{800, 601}));
  d.isProcessTrusted(true);
  d.runningApplications();
  d.frontmostApplication();
  d.urlForApplication("com.openai.chat");
  d.openApplication("sim://installed/x");
  d.openURL("x-settings://accessibility");
  d.currentProcessIdentifier();
  d.screens();
  d.mouseLocation();
  EXPECT_EQ(d.log().text(),
            "createApplication app:101\n"
            "setMessagingTimeout app:101 1.0\n"
            "copyAttributeValue app:101 AXWindows [win:101/0, win:101/1]\n"
            "copyAttributeValue win:101/1 AXTitle -> noValue\n"
            "createValue size size(800.0, 601.0)\n"
            "setAttributeValue win:101/1 AXSize size(800.0, 601.0)\n"
            "isProcessTrusted true\n"
            "runningApplications\n"
            "frontmostApplication\n"
            "urlForApplication com.openai.chat\n"
            "openApplication sim://installed/x\n"
            "openURL x-settings://accessibility\n"
            "currentProcessIdentifier\n"
            "screens\n"
            "mouseLocation\n");
  EXPECT_EQ(d.log().calls().front().time, 1.5);
  EXPECT_EQ(d.log().count(SimCallKind::copyAttributeValue), 2u);
  EXPECT_EQ(d.log().count(SimCallKind::setAttributeValue), 1u);
  EXPECT_EQ(d.log().count(SimCallKind::openURL), 1u);
  d.log().clear();
  EXPECT_THAT(d.log().calls(), IsEmpty());
}

TEST_F(SimDesktopTest, WriteLinesShowTheAttributeWritesOnly) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "enhancedUI": true,
      "windows": [{"frame": [0, 0, 500, 400], "vanishes": true},
                  {"frame": [0, 0, 500, 400]}]}]})");
  const std::vector<ElementRef> w = windows(1);
  AttributeValue value;
  d.copyAttributeValue(w[1], "AXSize", value);
  d.setAttributeValue(d.createApplication(1), "AXEnhancedUserInterface", false);
  d.setAttributeValue(w[0], "AXSize", Size{10, 20});
  d.setAttributeValue(w[1], "AXPosition", Point{1.5, -2});
  EXPECT_THAT(d.log().writeLines(),
              ElementsAre("app:1 AXEnhancedUserInterface false",
                          "win:1/0 AXSize size(10.0, 20.0) -> invalidUIElement",
                          "win:1/1 AXPosition point(1.5, -2.0)"));
  ASSERT_EQ(d.log().writes().size(), 3u);
  EXPECT_EQ(d.log().writes()[2].value, AttributeValue((Point{1.5, -2})));
  EXPECT_EQ(d.log().writes()[1].result, AXError::invalidUIElement);
}

TEST_F(SimDesktopTest, RecordsTheTimeARequestArrived) {
  SimDesktop& d = load(R"({"apps": [{"pid": 1, "unresponsive": true}]})");
  AttributeValue value;
  d.copyAttributeValue(d.createApplication(1), "AXWindows", value);
  d.copyAttributeValue(d.createApplication(1), "AXWindows", value);
  const std::vector<SimCall>& calls = d.log().calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].time, 0);
  EXPECT_EQ(calls[3].time, 6);
  EXPECT_EQ(describe(calls[3]), "copyAttributeValue app:1 AXWindows -> cannotComplete");
}

}  // namespace
}  // namespace tessaloom::platform
