// Placing windows over a real window manager: one batch lands every window within 2 pixels with
// one move message each (maximized and full-screen windows leave their state first), frames X
// cannot carry are not sent, and a window that goes away mid-placement harms no other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::Placement;

using Placing = DesktopTest;

TEST_P(Placing, OneBatchLandsEveryWindowWithOneMoveMessageEach) {
  struct Case {
    std::vector<std::string> args;
    Rect target;
    double tolerance;
    const char* state;  // the state it starts in and must leave
  };
  const Case cases[] = {
      {{"--geometry", "400x300+50+60"}, {100, 80, 800, 601}, 2, nullptr},
      {{"--geometry", "500x350+700+400"}, {960, 0, 960, 540}, 2, nullptr},
      {{"--state", "maximized"}, {200, 150, 900, 600}, 2, "_NET_WM_STATE_MAXIMIZED_VERT"},
      {{"--state", "fullscreen"}, {0, 600, 800, 400}, 2, "_NET_WM_STATE_FULLSCREEN"},
      // Managers round to the size increments (or not): within one increment.
      {{"--min", "10x17", "--inc", "6x13", "--base", "4x4"}, {1000, 560, 600, 400}, 13, nullptr},
  };
  std::vector<std::string> args;
  for (const auto& c : cases) {
    args.insert(args.end(), {"--window", "--class", "w,Movable"});
    args.insert(args.end(), c.args.begin(), c.args.end());
  }
  const auto ids = open(args);
  ASSERT_EQ(ids.size(), std::size(cases));
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const char* state = cases[i].state;
    ASSERT_TRUE(!state || probe_->waitUntil([&] { return probe_->hasState(ids[i], state); }, 5));
  }
  ASSERT_EQ(windowsOf("movable").size(), ids.size());

  std::vector<Placement> batch;
  for (std::size_t i = 0; i < ids.size(); ++i) batch.push_back({ids[i], cases[i].target});
  desktop_->place(batch);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(settlesAt(ids[i], cases[i].target, cases[i].tolerance));
    EXPECT_EQ(probe_->messagesSeen(ids[i], "_NET_MOVERESIZE_WINDOW"), 1);
    EXPECT_TRUE(!cases[i].state || !probe_->hasState(ids[i], cases[i].state));
  }
  EXPECT_FALSE(probe_->hasState(ids[2], "_NET_WM_STATE_MAXIMIZED_HORZ"));
  // Reads after the placement see the new frames (once the manager has resized the clients
  // too), all in one round trip.
  const std::vector<WindowHandle> handles(ids.begin(), ids.end());
  auto agree = [&] {
    const auto frames = desktop_->frames(handles);
    for (std::size_t i = 0; i < ids.size(); ++i)
      if (frames[i] != probe_->outerFrame(ids[i])) return false;
    return true;
  };
  EXPECT_TRUE(probe_->waitUntil(agree, 3));
  const std::size_t before = desktop_->connection().roundTrips();
  desktop_->frames(handles);
  EXPECT_EQ(desktop_->connection().roundTrips() - before, 1u);
}

TEST_P(Placing, FramesXCannotCarryAreNotSent) {
  const auto ids = open({"--window", "--class", "r,Refused", "--geometry", "400x300+50+60",
                         "--window", "--geometry", "400x300+600+60"});
  const Rect start = windowsOf("refused").at(0).frame;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Rect refused[] = {{0, 0, 0, 300},         {0, 0, -5, 300},    {0, 0, nan, 300},
                          {0, 0, 400, inf},       {0, 0, 70000, 300}, {40000, 10, 400, 300},
                          {10, -40000, 400, 300}, {nan, 0, 400, 300}, {0, 0, 2, 300}};
  for (const Rect& r : refused) desktop_->place(std::vector<Placement>{{ids[0], r}});
  // A good frame in the same batch as a bad one still goes.
  desktop_->place(std::vector<Placement>{{ids[0], refused[0]}, {ids[1], {900, 500, 500, 400}}});
  EXPECT_TRUE(settlesAt(ids[1], {900, 500, 500, 400}));
  EXPECT_EQ(probe_->messagesSeen(ids[0], "_NET_MOVERESIZE_WINDOW"), 0);
  EXPECT_EQ(probe_->outerFrame(ids[0]), start);
}

TEST_P(Placing, AWindowThatGoesAwayMidPlacementHarmsNoOther) {
  const auto stay = open({"--window", "--class", "s,Stays", "--geometry", "400x300+50+60"});
  const auto gone = open({"--window", "--class", "v,Vanishes", "--geometry", "400x300+500+60",
                          "--exit-on-resize", "--window", "--geometry", "400x300+900+60"});
  ASSERT_EQ(windowsOf("vanishes").size(), 2u);
  // The first placement makes the client quit; the next one names its windows again.
  for (int round = 0; round < 2; ++round)
    desktop_->place(std::vector<Placement>{{gone[0], {0, 500, 500, 400}},
                                           {stay[0], {600, 500, 500, 400 + 10.0 * round}},
                                           {gone[1], {1200, 500, 500, 400}}});
  EXPECT_TRUE(settlesAt(stay[0], {600, 500, 500, 410}));
  ASSERT_TRUE(probe_->waitUntil([&] { return !probe_->managed(gone[0]); }, 5));
  const WindowHandle handles[] = {gone[0], stay[0]};
  EXPECT_THAT(desktop_->frames(handles),
              ::testing::ElementsAre(std::nullopt, ::testing::Ne(std::nullopt)));
  EXPECT_TRUE(desktop_->alive());
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Placing, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
