// Arrange, the toggling undo, save and restore, on the simulated desktop with a virtual clock.
#include "arrange/arranger.h"

#include <gmock/gmock.h>

#include <cmath>

#include "support/sim_fixture.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

// The watch over launched applications' windows, in whole checks.
const double kWatch = std::ceil(Arranger::kLaunchedWatch / Arranger::kReadyCheckInterval) *
                      Arranger::kReadyCheckInterval;

const Rect kDocs(100, 80, 900, 700), kDocs2(300, 200, 500, 400), kChat(50, 60, 700, 500);

// Two same-titled browser windows, an AI application with a non-ASCII identifier, and one
// installed that opens two windows half a second after its launch.
class ArrangerTest : public SimDesktopTest {
 protected:
  void SetUp() override {
    load(json::parse(R"({"apps": [
      {"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome", "windows": [
        {"title": "Docs", "frame": [100, 80, 900, 700]}, {"title": "Docs", "frame": [300, 200, 500, 400]}]},
      {"pid": 102, "bundleID": "com.example.caf\u00e9", "name": "ChatGPT", "windows": [{"title": "ChatGPT", "frame": [50, 60, 700, 500]}]}],
    "installed": [{"bundleID": "com.anthropic.claudefordesktop", "name": "Claude", "launchDelay": 0.5, "windows": [
        {"title": "Claude", "frame": [0, 25, 800, 600]}, {"title": "Claude", "frame": [0, 25, 800, 600]}]}]})"));
  }
  /// Saves a browser window, `claudeWindows` of the installed application and one of none.
  void saveWithClaude(int claudeWindows) {
    std::vector<SavedFrame> saved = {{"com.google.Chrome", "Docs", 10, 20, 800, 600},
                                     {"com.example.gone", "Gone", 0, 0, 500, 400}};
    for (int i = 0; i < claudeWindows; ++i)
      saved.push_back({"com.anthropic.claudefordesktop", "Claude", 900.0 + 50 * i, 30, 500, 400});
    ASSERT_TRUE(settings_.setSnapshot(saved, Arranger::savedKey));
  }
  /// Runs the main loop until the restore completes: its count (-1 if it never did) and when.
  std::pair<int, double> restoreAndWait() {
    std::pair<int, double> done{-1, -1};
    Arranger::restoreSaved(ctx(), [&](int n) { done = {n, queue_.now()}; });
    queue_.runAll();
    return done;
  }
};

TEST_F(ArrangerTest, AScreenTheGapFillsArrangesNothingAndKeepsNoUndo) {
  load(json::parse(R"({"screens": [{"name": "tiny", "frame": [0, 0, 12, 12]}], "apps": [
    {"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome", "windows": [
      {"title": "Docs", "frame": [0, 0, 300, 200]}]}]})"));
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::grid), 0);
  EXPECT_FALSE(Arranger::hasUndo(ctx()));
}

TEST_F(ArrangerTest, UndoTogglesBetweenTheLastTwoArrangements) {
  EXPECT_FALSE(Arranger::hasUndo(ctx()));
  EXPECT_EQ(Arranger::undo(ctx()), 0);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::columns), 3);
  EXPECT_EQ(log().count(platform::SimCallKind::pointer), 0u);  // every window is on a screen
  EXPECT_TRUE(Arranger::hasUndo(ctx()));
  const Rect arranged = frameOf(101, 0);
  EXPECT_NE(arranged, kDocs);
  // Made smaller than any arrangement would by hand in between: undo returns it all the same.
  desktop().setWindowFrame(102, 0, {1, 2, 100, 80});
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), kDocs);
  EXPECT_EQ(frameOf(101, 1), kDocs2);  // same title, its own frame
  EXPECT_EQ(frameOf(102, 0), kChat);
  EXPECT_EQ(Arranger::undo(ctx()), 3);
  EXPECT_EQ(frameOf(101, 0), arranged);
  EXPECT_EQ(frameOf(102, 0), Rect(1, 2, 100, 80));
  // With nothing to arrange, or nothing matching, the undo snapshot stays.
  const auto undo = settings_.snapshot(Arranger::undoKey);
  desktop().quitApplication(101);
  desktop().quitApplication(102);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::cascade), 0);
  EXPECT_EQ(Arranger::undo(ctx()), 0);
  EXPECT_EQ(settings_.snapshot(Arranger::undoKey), undo);
}

// Undo finds the windows it recorded by their handles: a small window of the same title stays
// where it is, a window a tiling layout held goes back into it, and a record whose window is
// gone falls back to the title.
TEST_F(ArrangerTest, UndoTakesBackExactlyTheWindowsTheArrangementMoved) {
  load(json::parse(R"({"apps": [{"pid": 101, "bundleID": "com.google.Chrome", "windows": [
    {"title": "Docs", "frame": [0, 30, 150, 100]}, {"title": "Docs", "frame": [100, 80, 900, 700]},
    {"title": "Docs", "frame": [300, 200, 500, 400], "tiled": true}]}]})"));
  const auto tiled = [this](std::size_t i) { return desktop().windows(101)->at(i).tiled; };
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::grid), 2);
  const Rect arranged1 = frameOf(101, 1), arranged = frameOf(101, 2);
  EXPECT_FALSE(tiled(2));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Arranger::undo(ctx()), 2);
    EXPECT_EQ(frameOf(101, 0), Rect(0, 30, 150, 100));
    EXPECT_EQ(frameOf(101, 1), round == 0 ? kDocs : arranged1);
    EXPECT_EQ(frameOf(101, 2), round == 0 ? kDocs2 : arranged);
    EXPECT_EQ(tiled(2), round == 0);
  }
  SavedFrame gone{"com.google.Chrome", "Docs", 1, 2, 300, 300, 99};
  ASSERT_TRUE(settings_.setSnapshot({gone}, Arranger::undoKey));
  EXPECT_EQ(Arranger::undo(ctx()), 1);
  EXPECT_EQ(frameOf(101, 0), gone.rect());
}

// Four browsers whose least width (500) the desktop does not tell: the 470-point columns the
// first batch asks for come out 500 wide, and the second batch stacks them in halves. A window
// that has not resized by the read-back tells nothing, and the columns stay; one floated out of
// a tiling layout that takes its least size only after the read-back is still watched for.
TEST_F(ArrangerTest, ColumnsLearnALeastSizeTheDesktopDoesNotTellAndStack) {
  for (const auto& [delay, floatAnswer, height] :
       {std::tuple{0.0, 0.0, 528}, {1.0, 0.0, 1064}, {0.0, 0.6, 528}}) {
    SCOPED_TRACE(delay + floatAnswer);
    json windows = json::array();
    for (int i = 0; i < 4; ++i)
      windows.push_back({{"title", "Docs"},
                         {"frame", {100 * i, 30, 900, 700}},
                         {"minSize", {500, 100}},
                         {"failRead", {"AXMinimumSize"}},
                         {"writeDelay", delay},
                         {"tiled", floatAnswer > 0},
                         {"floatAnswer", floatAnswer}});
    load({{"screens", {{{"name", "wide"}, {"frame", {0, 0, 1920, 1080}}}}},
          {"apps", {{{"pid", 101}, {"bundleID", "com.google.Chrome"}, {"windows", windows}}}}});
    EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::columns), 4);
    queue_.advance(2);
    EXPECT_EQ(log().count(platform::SimCallKind::place), 8u);  // two batches of four
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(frameOf(101, i).height, height) << i;
  }
}

TEST_F(ArrangerTest, SameSizeTakesTheSizeOfTheFrontmostApplicationsWindow) {
  desktop().setFrontmost(101);
  EXPECT_EQ(Arranger::arrange(ctx(), LayoutKind::sameSize), 3);
  EXPECT_EQ(frameOf(102, 0).size(), kDocs.size());
}

TEST_F(ArrangerTest, SavingTooMuchKeepsTheOldArrangementAndSavingNothingRestoresNothing) {
  ASSERT_EQ(*Arranger::saveCurrent(ctx()), 3);
  const auto saved = settings_.snapshot(Arranger::savedKey);
  auto scene =
      json::parse(R"({"apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Chrome"}]})");
  for (int i = 0; i < 200; ++i)
    scene["apps"][0]["windows"].push_back(sceneWindow(std::string(1024, '\x01'), 0, 0, 800, 600));
  load(scene);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Arranger::saveCurrent(ctx()));
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(settings_.snapshot(Arranger::savedKey), saved);
  desktop().quitApplication(101);
  EXPECT_EQ(*Arranger::saveCurrent(ctx()), 0);
  EXPECT_TRUE(defaults_.object(Arranger::savedKey).has_value());
  EXPECT_FALSE(Arranger::hasSaved(ctx()));
  EXPECT_EQ(restoreAndWait(), std::make_pair(0, 0.0));
}

// Every saved application running, one under a canonically equal identifier: the restore
// completes at once, and undo takes it back.
TEST_F(ArrangerTest, RestoreWithEverythingRunningCompletesAtOnceAndUndoes) {
  ASSERT_TRUE(settings_.setSnapshot({{"com.google.Chrome", "Docs", 100, 80, 900, 700},
                                     {"com.example.cafe\u0301", "x", 5, 6, 700, 500}},
                                    Arranger::savedKey));
  Arranger::arrange(ctx(), LayoutKind::grid);
  const Rect arranged = frameOf(101, 0);
  EXPECT_EQ(restoreAndWait(), std::make_pair(2, 2 * WindowManager::kSettleSeconds));  // no waiting
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 0u);
  EXPECT_EQ(frameOf(101, 0), kDocs);
  EXPECT_EQ(frameOf(102, 0), Rect(5, 6, 700, 500));
  EXPECT_EQ(Arranger::undo(ctx()), 2) << "only the windows the restore moved";
  EXPECT_EQ(frameOf(101, 0), arranged);
}

// Missing applications are launched once each; the windows appear at 0.5 s, the checks run
// every 0.35 s, and the restore follows the first check that sees them all. The launched
// application moves a window itself a second later (as a browser restoring its session does):
// it is put back, and the restore completes when the watch ends.
TEST_F(ArrangerTest, ALaunchedApplicationIsRestoredAtTheFirstCheckThatSeesItsWindows) {
  saveWithClaude(2);
  std::int32_t claude = 0;
  queue_.asyncAfter(2.0, [&] {
    claude = desktop().applications().back().pid;
    desktop().setWindowFrame(claude, 0, {0, 25, 800, 600});
  });
  const auto [count, at] = restoreAndWait();
  EXPECT_EQ(log().count(platform::SimCallKind::launch), 2u);
  EXPECT_EQ(count, 3);
  EXPECT_NEAR(at, 2 * Arranger::kReadyCheckInterval + WindowManager::kSettleSeconds + kWatch, 1e-9);
  EXPECT_EQ(frameOf(claude, 0), Rect(900, 30, 500, 400));
  EXPECT_EQ(frameOf(claude, 1), Rect(950, 30, 500, 400));
  EXPECT_EQ(frameOf(101, 0), Rect(10, 20, 800, 600));
}

TEST_F(ArrangerTest, TooFewWindowsWaitUntilTheDeadlineThenRestoreWhatMatches) {
  saveWithClaude(3);
  const auto [count, at] = restoreAndWait();
  EXPECT_EQ(count, 3);
  EXPECT_NEAR(at,
              std::ceil(Arranger::kReadyDeadline / Arranger::kReadyCheckInterval) *
                      Arranger::kReadyCheckInterval +
                  WindowManager::kSettleSeconds + kWatch,
              1e-9);
}

}  // namespace
}  // namespace tessaloom::testing
