// Frame writes over a real window manager: size, position, size lands on the target (also for
// windows that start maximized or full screen), writes compose without waiting for the
// manager, values X cannot carry are refused, and a vanished window is a failed read.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/x11/x11_window_cache.h"
#include "x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::AXError;
using platform::ElementRef;

using Writes = DesktopTest;

TEST_P(Writes, SizePositionSizeLandsOnTheTarget) {
  const auto windows = open({"--window", "--class", "w,Movable", "--geometry", "400x300+50+60",
                             "--window", "--geometry", "500x350+700+400"});
  const auto movable = app("movable");
  ASSERT_TRUE(movable);
  const auto elements = windowsOf(movable->pid);
  ASSERT_EQ(elements.size(), 2u);
  const Rect targets[] = {{100, 80, 800, 601}, {960, 0, 960, 540}};
  // All writes first, as the window layer does, without waiting in between.
  for (std::size_t i = 0; i < 2; ++i) setFrame(elements[i], targets[i]);
  for (std::size_t i = 0; i < 2; ++i)
    EXPECT_TRUE(settlesAt(windows[i], targets[i])) << "window " << i;
  // Reads after the writes see the new frames, not the cached old ones.
  EXPECT_TRUE(probe_->waitUntil(
      [&] {
        auto f = frame(elements[0]);
        return f && std::fabs(f->x - targets[0].x) <= 2 && std::fabs(f->width - 800) <= 2;
      },
      3));
}

TEST_P(Writes, ReadsAfterWritesFetchTheWrittenWindowsAgainInOneBatch) {
  const auto windows =
      open({"--window", "--class", "w,Written", "--geometry", "400x300+50+60", "--window",
            "--geometry", "400x300+500+60", "--window", "--geometry", "400x300+900+400"});
  auto& cache = desktop_->windowCache();
  cache.setLifetime(std::chrono::seconds(60));  // only the writes may make the cache fetch
  const auto elements = windowsOf(app("written")->pid);
  ASSERT_EQ(elements.size(), 3u);
  const Rect untouched = *frame(elements[2]);
  const Rect targets[] = {{100, 100, 500, 400}, {700, 100, 500, 400}};
  const std::size_t before = cache.fetchCount();
  for (std::size_t i = 0; i < 2; ++i) setFrame(elements[i], targets[i]);
  EXPECT_EQ(cache.fetchCount(), before) << "writes must not wait for the server";
  for (std::size_t i = 0; i < 2; ++i) ASSERT_TRUE(settlesAt(windows[i], targets[i]));

  EXPECT_EQ(frame(elements[0]), *probe_->outerFrame(windows[0]));
  EXPECT_EQ(frame(elements[1]), *probe_->outerFrame(windows[1]));
  EXPECT_EQ(frame(elements[2]), untouched);
  EXPECT_EQ(cache.fetchCount(), before + 1);
}

TEST_P(Writes, ASingleWriteKeepsTheOtherHalfOfTheFrame) {
  const auto windows = open({"--window", "--class", "h,Half", "--geometry", "400x300+50+60"});
  const auto element = windowsOf(app("half")->pid).at(0);
  const Rect start = *frame(element);
  ASSERT_EQ(ax().setAttributeValue(element, "AXPosition", Point{300, 200}), AXError::success);
  EXPECT_TRUE(settlesAt(windows[0], {300, 200, start.width, start.height}));
  ASSERT_TRUE(probe_->waitUntil([&] { return frame(element)->x == 300; }, 3));
  ASSERT_EQ(ax().setAttributeValue(element, "AXSize", Size{700, 500}), AXError::success);
  EXPECT_TRUE(settlesAt(windows[0], {300, 200, 700, 500}));
}

TEST_P(Writes, AMaximizedWindowIsRestoredBeforeItMoves) {
  const auto windows = open(
      {"--window", "--class", "m,Maxed", "--geometry", "400x300+50+60", "--state", "maximized"});
  ASSERT_TRUE(probe_->waitUntil(
      [&] { return probe_->hasState(windows[0], "_NET_WM_STATE_MAXIMIZED_VERT"); }, 5));
  const auto element = windowsOf(app("maxed")->pid).at(0);
  const Rect target{200, 150, 900, 600};
  setFrame(element, target);
  EXPECT_TRUE(settlesAt(windows[0], target));
  EXPECT_FALSE(probe_->hasState(windows[0], "_NET_WM_STATE_MAXIMIZED_VERT"));
  EXPECT_FALSE(probe_->hasState(windows[0], "_NET_WM_STATE_MAXIMIZED_HORZ"));
}

TEST_P(Writes, AFullScreenWindowLeavesFullScreenBeforeItMoves) {
  const auto windows = open({"--window", "--class", "fs,FullScreen", "--geometry", "400x300+50+60",
                             "--state", "fullscreen"});
  ASSERT_TRUE(probe_->waitUntil(
      [&] { return probe_->hasState(windows[0], "_NET_WM_STATE_FULLSCREEN"); }, 5));
  const auto element = windowsOf(app("fullscreen")->pid).at(0);
  const Rect target{100, 100, 800, 500};
  setFrame(element, target);
  EXPECT_TRUE(settlesAt(windows[0], target));
  EXPECT_FALSE(probe_->hasState(windows[0], "_NET_WM_STATE_FULLSCREEN"));
}

TEST_P(Writes, ValuesXCannotCarryAreRefusedAndNothingMoves) {
  const auto windows = open({"--window", "--class", "r,Refused", "--geometry", "400x300+50+60"});
  const auto element = windowsOf(app("refused")->pid).at(0);
  const Rect start = *frame(element);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const platform::AttributeValue refused[][2] = {
      {Size{0, 300}, Point{}},      {Size{-5, 300}, Point{}},    {Size{nan, 300}, Point{}},
      {Size{400, inf}, Point{}},    {Size{70000, 300}, Point{}}, {Point{40000, 10}, Point{}},
      {Point{10, -40000}, Point{}}, {Point{nan, 0}, Point{}},
  };
  for (const auto& [value, unused] : refused) {
    const char* attribute = std::holds_alternative<Size>(value) ? "AXSize" : "AXPosition";
    EXPECT_EQ(ax().setAttributeValue(element, attribute, value), AXError::illegalArgument);
  }
  // Wrong value kinds and attributes that cannot be written.
  EXPECT_EQ(ax().setAttributeValue(element, "AXSize", Point{10, 10}), AXError::illegalArgument);
  EXPECT_EQ(ax().setAttributeValue(element, "AXTitle", std::string("x")),
            AXError::attributeUnsupported);
  EXPECT_EQ(ax().setAttributeValue(ax().createApplication(app("refused")->pid),
                                   "AXEnhancedUserInterface", false),
            AXError::attributeUnsupported);
  // A later good write still works, from the unchanged frame.
  ASSERT_EQ(ax().setAttributeValue(element, "AXPosition", Point{500, 400}), AXError::success);
  EXPECT_TRUE(settlesAt(windows[0], {500, 400, start.width, start.height}));
}

TEST_P(Writes, AWindowWithSizeIncrementsSettlesNearTheTarget) {
  const auto windows = open({"--window", "--class", "i,Increments", "--geometry", "400x300+50+60",
                             "--min", "10x17", "--inc", "6x13", "--base", "4x4"});
  const auto element = windowsOf(app("increments")->pid).at(0);
  setFrame(element, {100, 100, 600, 400});
  // Managers round to the increments (or not); the frame lands within one increment.
  EXPECT_TRUE(settlesAt(windows[0], {100, 100, 600, 400}, 13));
}

TEST_P(Writes, AVanishedWindowIsAFailedReadAndAnIgnoredWrite) {
  open({"--window", "--class", "s,Stays", "--title", "stays"});
  const auto gone = open({"--window", "--class", "v,Vanishes", "--title", "vanishes"});
  const auto stays = windowsOf(app("stays")->pid).at(0);
  const auto vanishes = windowsOf(app("vanishes")->pid).at(0);
  ASSERT_TRUE(frame(vanishes));

  clients_.back()->stop();
  ASSERT_TRUE(probe_->waitUntil([&] { return !probe_->managed(gone[0]); }, 5));
  // The next discovery no longer knows the window; the other one is unaffected.
  workspace().runningApplications();
  platform::AttributeValue value;
  EXPECT_EQ(ax().copyAttributeValue(vanishes, "AXPosition", value), AXError::invalidUIElement);
  EXPECT_EQ(ax().copyAttributeValue(vanishes, "AXTitle", value), AXError::invalidUIElement);
  EXPECT_EQ(ax().setAttributeValue(vanishes, "AXPosition", Point{10, 10}),
            AXError::invalidUIElement);
  EXPECT_EQ(read<std::string>(stays, "AXTitle"), "stays");
  EXPECT_TRUE(frame(stays));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Writes, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
