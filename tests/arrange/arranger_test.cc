// Arrange, the toggling undo, save and restore, on the simulated desktop with a virtual clock.
#include <gmock/gmock.h>

#include "arrange/arranger.h"
#include "support/sim_fixture.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

class ArrangerTest : public SimDesktopTest {
 protected:
  void SetUp() override {
    load(
        {{"apps",
          {sceneApp(
               101, "com.google.Chrome", "Chrome",
               {sceneWindow("Docs", 100, 80, 900, 700), sceneWindow("Docs", 300, 200, 500, 400)}),
           sceneApp(102, "com.openai.chat", "ChatGPT",
                    {sceneWindow("ChatGPT", 50, 60, 700, 500)})}},
         {"installed",
          {{{"bundleID", "com.anthropic.claudefordesktop"},
            {"name", "Claude"},
            {"launchDelay", 0.5},
            {"windows",
             {sceneWindow("Claude", 0, 25, 800, 600), sceneWindow("Claude", 0, 25, 800, 600)}}}}}});
  }
  Rect frameOf(int pid, std::size_t index) { return *desktop().windowFrame(pid, index); }

  /// One context for the whole test: a waiting restore holds on to it.
  Context& ctx() {
    if (!ctx_) ctx_.emplace(context());
    return *ctx_;
  }
  std::optional<Context> ctx_;

  /// Runs the main loop until the restore completes; its count, or -1 if it never did.
  int restoreAndWait() {
    int count = -1;
    Arranger::restoreSaved(ctx(), [&count](int n) { count = n; });
    queue_.runAll();
    return count;
  }
};

TEST_F(ArrangerTest, UndoTogglesBetweenTheLastTwoArrangements) {
  EXPECT_FALSE(Arranger::hasUndo(ctx()));
  EXPECT_EQ(Arranger::undo(ctx()), 0);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::columns), 3);
  EXPECT_TRUE(Arranger::hasUndo(ctx()));
  const Rect arranged = frameOf(101, 0);
  EXPECT_NE(arranged, Rect(100, 80, 900, 700));

  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), Rect(100, 80, 900, 700));
  EXPECT_EQ(frameOf(101, 1), Rect(300, 200, 500, 400));  // same title, its own frame
  EXPECT_EQ(frameOf(102, 0), Rect(50, 60, 700, 500));

  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), arranged);
}

TEST_F(ArrangerTest, UndoAlsoReturnsAWindowMovedByHandInBetween) {
  Arranger::arrange(ctx(), LayoutKind::grid);
  desktop().setWindowFrame(102, 0, {1, 2, 640, 480});
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(102, 0), Rect(50, 60, 700, 500));
}

TEST_F(ArrangerTest, NothingToArrangeKeepsTheEarlierUndo) {
  Arranger::arrange(ctx(), LayoutKind::grid);
  const auto undo = settings_.snapshot(Arranger::undoKey);
  desktop().quitApplication(101);
  desktop().quitApplication(102);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::cascade), 0);
  EXPECT_EQ(settings_.snapshot(Arranger::undoKey), undo);
  // The windows are gone, so nothing matches, and the snapshot stays.
  EXPECT_EQ(Arranger::undo(ctx()), 0);
  EXPECT_TRUE(Arranger::hasUndo(ctx()));
}

TEST_F(ArrangerTest, UndoAfterARestoreTakesTheRestoreBack) {
  Arranger::saveCurrent(ctx());
  Arranger::arrange(ctx(), LayoutKind::grid);
  const Rect arranged = frameOf(101, 0);
  EXPECT_EQ(restoreAndWait(), 3);
  EXPECT_EQ(frameOf(101, 0), Rect(100, 80, 900, 700));
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), arranged);
}

TEST_F(ArrangerTest, SavingNothingStoresAnEmptyArrangement) {
  desktop().quitApplication(101);
  desktop().quitApplication(102);
  EXPECT_EQ(Arranger::saveCurrent(ctx()), 0);
  EXPECT_TRUE(defaults_.object(Arranger::savedKey).has_value());
  EXPECT_FALSE(Arranger::hasSaved(ctx()));
  int count = -1;
  Arranger::restoreSaved(ctx(), [&count](int n) { count = n; });
  EXPECT_EQ(count, 0);  // before restoreSaved returned
}

TEST_F(ArrangerTest, WithEverySavedApplicationRunningTheRestoreCompletesAtOnce) {
  Arranger::saveCurrent(ctx());
  Arranger::arrange(ctx(), LayoutKind::cascade);
  int count = -1;
  Arranger::restoreSaved(ctx(), [&count](int n) { count = n; });
  EXPECT_EQ(count, 3);
  EXPECT_DOUBLE_EQ(queue_.now(), 0.15 * 2);  // two settle delays, no waiting
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 0u);
}

// A grid of many windows makes tiles below the discovery's 200 x 150; undo still finds and
// returns every one of them.
TEST_F(ArrangerTest, UndoPutsBackWindowsThatAnArrangementMadeSmall) {
  json windows = json::array();
  for (int i = 0; i < 25; ++i) windows.push_back(sceneWindow("w", 10.0 * i, 30, 800, 600));
  load({{"screens", json::array({{{"name", "S"}, {"frame", {0, 0, 1366, 768}}}})},
        {"apps", {sceneApp(101, "com.google.Chrome", "Chrome", windows)}}});
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::grid), 25);
  const Rect tile = frameOf(101, 0);
  EXPECT_FALSE(tile.width >= 200 && tile.height >= 150) << describe(tile);
  EXPECT_EQ(Arranger::undo(ctx()), 25);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(frameOf(101, i), Rect(10.0 * i, 30, 800, 600)) << i;
}

TEST_F(ArrangerTest, AnArrangementTooLargeToStoreKeepsTheOldOneAndSaysSo) {
  ASSERT_EQ(Arranger::saveCurrent(ctx()), 3);
  const auto saved = settings_.snapshot(Arranger::savedKey);
  std::vector<SavedFrame> huge(400, SavedFrame{"id", std::string(1024, '\x01'), 0, 0, 1, 1});
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(settings_.setSnapshot(huge, Arranger::savedKey));
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::EndsWith("）\n"));
  EXPECT_EQ(settings_.snapshot(Arranger::savedKey), saved);
}

class RelaunchTest : public ArrangerTest {
 protected:
  // Saves an arrangement that includes two windows of an application that is then quit.
  void saveWithClaude() {
    (void)settings_.setSnapshot({{"com.google.Chrome", "Docs", 10, 20, 800, 600},
                                 {"com.anthropic.claudefordesktop", "Claude", 900, 30, 500, 400},
                                 {"com.anthropic.claudefordesktop", "Claude", 950, 60, 500, 400},
                                 {"com.example.uninstalled", "Gone", 0, 0, 500, 400}},
                                Arranger::savedKey);
  }
};

TEST_F(RelaunchTest, ALaunchedApplicationIsRestoredAtTheFirstCheckThatSeesItsWindows) {
  saveWithClaude();
  int count = -1;
  double finishedAt = -1;
  Arranger::restoreSaved(ctx(), [&](int n) {
    count = n;
    finishedAt = queue_.now();
  });
  EXPECT_EQ(count, -1);
  // Claude is launched; the uninstalled application is asked for and never waited for.
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 2u);
  queue_.runAll();
  // The windows appear at 0.5 s; the checks run at 0.35 s and 0.7 s, then one settle delay.
  EXPECT_EQ(count, 3);
  EXPECT_NEAR(finishedAt, 0.7 + 0.15, 1e-9);
  const auto claude = desktop().applications().back().pid;
  EXPECT_EQ(*desktop().windowFrame(claude, 0), Rect(900, 30, 500, 400));
  EXPECT_EQ(*desktop().windowFrame(claude, 1), Rect(950, 60, 500, 400));
  EXPECT_EQ(frameOf(101, 0), Rect(10, 20, 800, 600));
}

TEST_F(RelaunchTest, TooFewWindowsWaitUntilTheDeadlineThenRestoreWhatMatches) {
  saveWithClaude();
  // One more saved Claude window than the application ever opens.
  auto records = settings_.snapshot(Arranger::savedKey);
  records.push_back({"com.anthropic.claudefordesktop", "Claude", 0, 0, 300, 300});
  (void)settings_.setSnapshot(records, Arranger::savedKey);
  double finishedAt = -1;
  int count = -1;
  Arranger::restoreSaved(ctx(), [&](int n) {
    count = n;
    finishedAt = queue_.now();
  });
  queue_.runAll();
  EXPECT_EQ(count, 3);
  EXPECT_GE(finishedAt, Arranger::kReadyDeadline);
  EXPECT_LT(finishedAt, Arranger::kReadyDeadline + Arranger::kReadyCheckInterval + 0.2);
}

TEST_F(RelaunchTest, AnIgnoredRelaunchedApplicationNeverCountsSoTheRestoreWaitsOut) {
  saveWithClaude();
  settings_.setKind(Kind::ignore, "com.anthropic.claudefordesktop", "Claude");
  double finishedAt = -1;
  Arranger::restoreSaved(ctx(), [&](int) { finishedAt = queue_.now(); });
  queue_.runAll();
  EXPECT_GE(finishedAt, Arranger::kReadyDeadline);
}

TEST_F(RelaunchTest, ASaveMadeWhileWaitingIsTheOneRestored) {
  saveWithClaude();
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
