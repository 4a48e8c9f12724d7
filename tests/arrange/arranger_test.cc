// Arrange, the toggling undo, save and restore, on the simulated desktop with a virtual clock.
#include "arrange/arranger.h"

#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

const char* const kCafe = "com.example.caf\u00E9";  // an AI application by its name
const Rect kDocs(100, 80, 900, 700), kDocs2(300, 200, 500, 400), kChat(50, 60, 700, 500);

class ArrangerTest : public SimDesktopTest {
 protected:
  void SetUp() override {
    const json claude = {sceneWindow("Claude", 0, 25, 800, 600),
                         sceneWindow("Claude", 0, 25, 800, 600)};
    load({{"apps",
           {sceneApp(
                101, "com.google.Chrome", "Chrome",
                {sceneWindow("Docs", 100, 80, 900, 700), sceneWindow("Docs", 300, 200, 500, 400)}),
            sceneApp(102, kCafe, "ChatGPT", {sceneWindow("ChatGPT", 50, 60, 700, 500)})}},
          {"installed",
           {{{"bundleID", "com.anthropic.claudefordesktop"},
             {"name", "Claude"},
             {"launchDelay", 0.5},
             {"windows", claude}}}}});
  }
  Rect frameOf(int pid, std::size_t index) { return *desktop().windowFrame(pid, index); }
  /// Runs the main loop until the restore completes: its count (-1 if it never did) and when.
  std::pair<int, double> restoreAndWait() {
    std::pair<int, double> done{-1, -1};
    Arranger::restoreSaved(ctx(), [&](int n) { done = {n, queue_.now()}; });
    queue_.runAll();
    return done;
  }
};

TEST_F(ArrangerTest, UndoTogglesBetweenTheLastTwoArrangements) {
  EXPECT_FALSE(Arranger::hasUndo(ctx()));
  EXPECT_EQ(Arranger::undo(ctx()), 0);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::columns), 3);
  EXPECT_TRUE(Arranger::hasUndo(ctx()));
  const Rect arranged = frameOf(101, 0);
  EXPECT_NE(arranged, kDocs);
  desktop().setWindowFrame(102, 0, {1, 2, 640, 480});  // moved by hand in between
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), kDocs);
  EXPECT_EQ(frameOf(101, 1), kDocs2);  // same title, its own frame
  EXPECT_EQ(frameOf(102, 0), kChat);
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), arranged);
  EXPECT_EQ(frameOf(102, 0), Rect(1, 2, 640, 480));
}

TEST_F(ArrangerTest, NothingToArrangeKeepsTheEarlierUndo) {
  Arranger::arrange(ctx(), LayoutKind::grid);
  const auto undo = settings_.snapshot(Arranger::undoKey);
  desktop().quitApplication(101);
  desktop().quitApplication(102);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::cascade), 0);
  EXPECT_EQ(settings_.snapshot(Arranger::undoKey), undo);
  EXPECT_EQ(Arranger::undo(ctx()), 0);  // nothing matches the gone windows
  EXPECT_TRUE(Arranger::hasUndo(ctx()));
}

// A grid of many windows makes tiles below the minimum size; undo still returns every one.
TEST_F(ArrangerTest, UndoPutsBackWindowsThatAnArrangementMadeSmall) {
  json windows = json::array();
  for (int i = 0; i < 25; ++i) windows.push_back(sceneWindow("w", 10.0 * i, 30, 800, 600));
  load({{"screens", {{{"name", "S"}, {"frame", {0, 0, 1366, 768}}}}},
        {"apps", {sceneApp(101, "com.google.Chrome", "Chrome", windows)}}});
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::grid), 25);
  EXPECT_LT(frameOf(101, 0).height, WindowManager::kMinimumHeight);
  EXPECT_EQ(Arranger::undo(ctx()), 25);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(frameOf(101, i), Rect(10.0 * i, 30, 800, 600)) << i;
}

TEST_F(ArrangerTest, SameSizeTakesTheSizeOfTheFrontmostApplicationsWindow) {
  desktop().setFrontmost(101);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::sameSize), 3);
  EXPECT_EQ(frameOf(102, 0).size(), kDocs.size());
}

TEST_F(ArrangerTest, SavingNothingOrTooMuchKeepsNoArrangementOrTheOldOne) {
  ASSERT_EQ(Arranger::saveCurrent(ctx()), 3);
  const auto saved = settings_.snapshot(Arranger::savedKey);
  json many = json::array();
  for (int i = 0; i < 200; ++i)
    many.push_back(sceneWindow(std::string(1024, '\x01'), 0, 0, 800, 600));
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", many)}}});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Arranger::saveCurrent(ctx()), 0);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::EndsWith("\n"));
  EXPECT_EQ(settings_.snapshot(Arranger::savedKey), saved);

  desktop().quitApplication(101);
  EXPECT_EQ(Arranger::saveCurrent(ctx()), 0);
  EXPECT_TRUE(defaults_.object(Arranger::savedKey).has_value());
  EXPECT_FALSE(Arranger::hasSaved(ctx()));
  int count = -1;
  Arranger::restoreSaved(ctx(), [&count](int n) { count = n; });
  EXPECT_EQ(count, 0);  // before restoreSaved returned
}

// With every saved application running (one under a canonically equal identifier) the restore
// completes at once, and undo takes it back.
TEST_F(ArrangerTest, RestoreWithEverythingRunningCompletesAtOnceAndUndoes) {
  (void)settings_.setSnapshot({{"com.google.Chrome", "Docs", 100, 80, 900, 700},
                               {"com.example.cafe\u0301", "x", 5, 6, 700, 500}},
                              Arranger::savedKey);
  Arranger::arrange(ctx(), LayoutKind::grid);
  const Rect arranged = frameOf(101, 0);
  int count = -1;
  Arranger::restoreSaved(ctx(), [&count](int n) { count = n; });
  EXPECT_EQ(count, 2);
  EXPECT_DOUBLE_EQ(queue_.now(), 2 * WindowManager::kSettleSeconds);  // no waiting
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 0u);
  EXPECT_EQ(frameOf(101, 0), kDocs);
  EXPECT_EQ(frameOf(102, 0), Rect(5, 6, 700, 500));
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), arranged);
}

// Saved: a running browser window, two windows of an application that is not running, and one
// of an application that is not installed.
class RelaunchTest : public ArrangerTest {
 protected:
  void saveWithClaude(int claudeWindows) {
    std::vector<SavedFrame> saved = {{"com.google.Chrome", "Docs", 10, 20, 800, 600},
                                     {"com.example.uninstalled", "Gone", 0, 0, 500, 400}};
    for (int i = 0; i < claudeWindows; ++i)
      saved.push_back({"com.anthropic.claudefordesktop", "Claude", 900.0 + 50 * i, 30, 500, 400});
    (void)settings_.setSnapshot(saved, Arranger::savedKey);
  }
};

// The windows appear at 0.5 s; the checks run every 0.35 s, then one settle delay.
TEST_F(RelaunchTest, ALaunchedApplicationIsRestoredAtTheFirstCheckThatSeesItsWindows) {
  saveWithClaude(2);
  const auto [count, at] = restoreAndWait();
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 2u);
  EXPECT_EQ(count, 3);
  EXPECT_NEAR(at, 2 * Arranger::kReadyCheckInterval + WindowManager::kSettleSeconds, 1e-9);
  const auto claude = desktop().applications().back().pid;
  EXPECT_EQ(frameOf(claude, 0), Rect(900, 30, 500, 400));
  EXPECT_EQ(frameOf(claude, 1), Rect(950, 30, 500, 400));
  EXPECT_EQ(frameOf(101, 0), Rect(10, 20, 800, 600));
}

TEST_F(RelaunchTest, TooFewWindowsWaitUntilTheDeadlineThenRestoreWhatMatches) {
  saveWithClaude(3);
  const auto [count, at] = restoreAndWait();
  EXPECT_EQ(count, 3);
  EXPECT_GE(at, Arranger::kReadyDeadline);
  EXPECT_LT(at, Arranger::kReadyDeadline + Arranger::kReadyCheckInterval + 0.2);
}

TEST_F(RelaunchTest, ASaveMadeWhileWaitingIsTheOneRestored) {
  saveWithClaude(2);
  int count = -1;
  Arranger::restoreSaved(ctx(), [&](int n) { count = n; });
  queue_.runUntil(0.4);
  (void)settings_.setSnapshot({{"com.google.Chrome", "Docs", 500, 500, 400, 300}},
                              Arranger::savedKey);
  queue_.runAll();
  EXPECT_EQ(count, 1);
  EXPECT_EQ(frameOf(101, 0), Rect(500, 500, 400, 300));
}

}  // namespace
}  // namespace tessaloom::testing
