// Arranging real windows: every layout puts every window where the plan says, on one monitor
// and on two, for the monitor under the pointer, for a maximized window and while a window
// goes away; undo puts them back.
#include "e2e/program_on_desktop.h"

namespace tessaloom::x11test {
namespace {

using Layouts = ProgramOnDesktop;

const std::vector<ExpectedDisplay> kScreenWithPanel = {
    {"screen", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
const std::vector<ExpectedDisplay> kScreen = {{"screen", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};

struct LayoutTitle {
  const char* raw;
  const char* title;
};
constexpr LayoutTitle kLayouts[] = {{"grid", "自動タイルで整列"},
                                    {"columns", "横一列に並べる"},
                                    {"aiSplit", "ブラウザ左＋AI右に分ける"},
                                    {"cascade", "同じサイズで重ねる"},
                                    {"sameSize", "サイズだけ揃える（位置はそのまま）"}};

TEST_P(Layouts, EveryLayoutPutsEveryWindowAtItsPlannedFrameAndUndoPutsThemBack) {
  ASSERT_NO_FATAL_FAILURE(openDock(0, 1919, 40));
  open(kChrome, {{"Quarterly report - Google Docs", "900x700+60+80"},
                 {"ChatGPT - Summarise the report", "1000x700+300+120"}});
  open(kFirefox, {{"Release notes - Mozilla Firefox", "1100x800+700+150"}});
  open(kChat, {{"New chat", "800x600+200+200"}, {"Project notes", "600x500+1200+300"}});
  const auto terminal = open(kTerminal, {{"Terminal", "500x300+30+600"}});
  ASSERT_EQ(windows_.size(), 6u);

  for (const auto& layout : kLayouts) {
    SCOPED_TRACE(layout.raw);
    const auto before = framesNow();
    std::string onScene;
    // The plan leaves the terminal where it is, so it is checked with the others.
    const auto planned =
        plannedFrames({"--apply", layout.raw}, kScreenWithPanel, pointer(), &onScene);
    ASSERT_EQ(planned.size(), windows_.size());

    auto r = run({"--apply", layout.raw});
    ASSERT_TRUE(endedWith(r, 0));
    EXPECT_EQ(r.out, std::string(layout.title) + ": 5枚\n");
    EXPECT_EQ(r.out, onScene);
    EXPECT_TRUE(settleAt(planned));
    EXPECT_EQ(describe(frameOf(terminal[0])), describe(before.at(terminal[0].id)));

    r = run({"--undo"});
    ASSERT_TRUE(endedWith(r, 0));
    EXPECT_EQ(r.out, "元に戻した: 5枚\n");
    EXPECT_TRUE(settleAt(before));
  }
}

TEST_P(Layouts, EveryLayoutOnTwoMonitorsEachOnItsOwnAndAllUnderThePointer) {
  ASSERT_NO_FATAL_FAILURE(splitScreen());
  ASSERT_NO_FATAL_FAILURE(openDock(960, 1919, 40));
  const std::vector<ExpectedDisplay> monitors = {
      {"LEFT", {0, 0, 960, 1080}, {0, 0, 960, 1080}},
      {"RIGHT", {960, 0, 960, 1080}, {960, 0, 960, 1040}}};
  open(kChrome, {{"Quarterly report - Google Docs", "700x600+40+60"},
                 {"ChatGPT - Summarise the report", "700x500+1100+100"}});
  open(kFirefox, {{"Release notes - Mozilla Firefox", "800x600+1050+350"}});
  // Mostly on the right monitor, a little on the left.
  open(kChat, {{"New chat", "600x450+200+500"}, {"Project notes", "700x500+800+200"}});
  ASSERT_EQ(windows_.size(), 5u);
  ASSERT_NO_FATAL_FAILURE(movePointer(1500, 600));

  for (const char* mode : {"--per-display", "--mouse"}) {
    for (const auto& layout : kLayouts) {
      SCOPED_TRACE(std::string(layout.raw) + " " + mode);
      std::string onScene;
      const auto planned =
          plannedFrames({"--apply", layout.raw, mode}, monitors, pointer(), &onScene);
      ASSERT_EQ(planned.size(), windows_.size());
      const auto r = run({"--apply", layout.raw, mode});
      ASSERT_TRUE(endedWith(r, 0));
      EXPECT_EQ(r.out, std::string(layout.title) + ": 5枚\n");
      EXPECT_EQ(r.out, onScene);
      EXPECT_TRUE(settleAt(planned));
    }
  }
}

TEST_P(Layouts, GridArrangesEachMonitorOnItsOwnOrAllOnTheMonitorUnderThePointer) {
  ASSERT_NO_FATAL_FAILURE(splitScreen());
  ASSERT_NO_FATAL_FAILURE(openDock(960, 1919, 40));
  const auto left =
      open(kChrome, {{"Left one", "600x400+50+100"}, {"Left two", "600x400+200+500"}});
  const auto right = open(kFirefox, {{"Right one", "600x400+1100+200"}});
  ASSERT_EQ(windows_.size(), 3u);
  const auto before = framesNow();
  // Usable areas inset by the gap of 8: left (8, 8, 944, 1064), right (968, 8, 944, 1024).
  const std::map<xcb_window_t, Rect> perMonitor = {{left[0].id, {8, 8, 944, 528}},
                                                   {left[1].id, {8, 544, 944, 528}},
                                                   {right[0].id, {968, 8, 944, 1024}}};
  auto r = run({"--apply", "grid"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "自動タイルで整列: 3枚\n");
  EXPECT_TRUE(settleAt(perMonitor));
  ASSERT_TRUE(endedWith(run({"--undo"}), 0));
  EXPECT_TRUE(settleAt(before));

  // All three on the right monitor: two cells on top, one below.
  ASSERT_NO_FATAL_FAILURE(movePointer(1400, 500));
  r = run({"--apply", "grid", "--mouse"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "自動タイルで整列: 3枚\n");
  EXPECT_TRUE(settleAt({{left[0].id, {968, 8, 468, 508}},
                        {left[1].id, {1444, 8, 468, 508}},
                        {right[0].id, {968, 524, 944, 508}}}));

  // The option held for that run only.
  ASSERT_TRUE(endedWith(run({"--undo"}), 0));
  EXPECT_TRUE(settleAt(before));
  ASSERT_TRUE(endedWith(run({"--apply", "grid"}), 0));
  EXPECT_TRUE(settleAt(perMonitor));
}

TEST_P(Layouts, AMaximizedWindowLeavesItsStateAndTakesItsPlace) {
  const auto big = open(kChrome, {{"Maximized", "800x600+100+100", {"--state", "maximized"}}});
  const auto other = open(kFirefox, {{"Beside", "700x500+600+300"}});
  ASSERT_EQ(windows_.size(), 2u);
  ASSERT_TRUE(probe_->waitUntil(
      [&] {
        return probe_->hasState(big[0].id, "_NET_WM_STATE_MAXIMIZED_VERT") &&
               frameOf(big[0]).width == 1920;
      },
      5))
      << "the manager did not maximize the window";
  const auto before = framesNow();
  // Both browsers in one row of the area (8, 8, 1904, 1064), the maximized one first (left).
  const std::map<xcb_window_t, Rect> expected = {{big[0].id, {8, 8, 948, 1064}},
                                                 {other[0].id, {964, 8, 948, 1064}}};
  EXPECT_EQ(plannedFrames({"--apply", "grid"}, kScreen, pointer()), expected);

  auto r = run({"--apply", "grid"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "自動タイルで整列: 2枚\n");
  EXPECT_TRUE(settleAt(expected));
  EXPECT_FALSE(probe_->hasState(big[0].id, "_NET_WM_STATE_MAXIMIZED_VERT"));
  EXPECT_FALSE(probe_->hasState(big[0].id, "_NET_WM_STATE_MAXIMIZED_HORZ"));

  r = run({"--undo"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "元に戻した: 2枚\n");
  EXPECT_TRUE(settleAt(before));
}

TEST_P(Layouts, AWindowThatVanishesDuringTheArrangementIsNoFailure) {
  const auto stay = open(kChrome, {{"Docs", "800x600+100+100"}, {"Mail", "700x500+400+300"}});
  // Its client quits as soon as the manager resizes it, in the middle of the arrangement.
  const auto gone = open(kChat, {{"New chat", "600x450+900+200", {"--exit-on-resize"}}});
  ASSERT_EQ(windows_.size(), 3u);
  auto planned = plannedFrames({"--apply", "grid"}, kScreen, pointer());
  ASSERT_EQ(planned.size(), 3u);

  auto r = run({"--apply", "grid"});
  ASSERT_TRUE(endedWith(r, 0));
  // It was listed and planned, and then it went away.
  EXPECT_EQ(r.out, "自動タイルで整列: 3枚\n");
  EXPECT_TRUE(probe_->waitUntil([&] { return !probe_->managed(gone[0].id); }, 5));
  planned.erase(gone[0].id);
  EXPECT_TRUE(settleAt(planned));

  // Undo finds the two windows that are left.
  r = run({"--undo"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "元に戻した: 2枚\n");
}

INSTANTIATE_TEST_SUITE_P(Managers, Layouts, ::testing::Values("openbox", "fluxbox"), managerName);

}  // namespace
}  // namespace tessaloom::x11test
