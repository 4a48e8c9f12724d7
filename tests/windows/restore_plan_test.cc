// Snapshots and matching stored records back to the windows that exist now.
#include <gmock/gmock.h>

#include "windows/window_manager.h"

namespace tessaloom {
namespace {

ManagedWindow window(const std::string& bundleID, const std::string& title, Rect frame = {}) {
  return ManagedWindow(nullptr, 1, bundleID, bundleID, title, frame, Kind::browser);
}

SavedFrame record(const std::string& bundleID, const std::string& title, double x) {
  return {bundleID, title, x, 0, 100, 100};
}

// "A/Mail → r2" and so on: each pair as the window's identifier, title and target x.
std::vector<std::string> describePairs(const LayoutPlan& plan) {
  std::vector<std::string> result;
  for (const auto& entry : plan)
    result.push_back(entry.window.bundleID() + "/" + entry.window.title() + "=" +
                     std::to_string(static_cast<int>(entry.target.x)));
  return result;
}

using ::testing::ElementsAre;

TEST(RestorePlan, ExactMatchesComeFirstThenTheApplicationsRemainingRecords) {
  const std::vector<SavedFrame> records = {record("A", "Docs", 1), record("A", "Mail", 2),
                                           record("B", "", 3)};
  const std::vector<ManagedWindow> windows = {window("A", "Mail"), window("A", "News"),
                                              window("C", "Notes"), window("B", "Report")};
  EXPECT_THAT(describePairs(WindowManager::restorePlan(records, windows)),
              ElementsAre("A/Mail=2", "A/News=1", "B/Report=3"));
}

TEST(RestorePlan, AnExactMatchLaterInTheListIsNeverTakenAway) {
  const std::vector<SavedFrame> records = {record("A", "Docs", 1), record("A", "Mail", 2)};
  const std::vector<ManagedWindow> windows = {window("A", "Renamed"), window("A", "Docs")};
  EXPECT_THAT(describePairs(WindowManager::restorePlan(records, windows)),
              ElementsAre("A/Docs=1", "A/Renamed=2"));
}

TEST(RestorePlan, RecordsAndWindowsArePairedAtMostOnceInOrder) {
  const std::vector<SavedFrame> records = {record("A", "Same", 1), record("A", "Same", 2),
                                           record("A", "Same", 3)};
  EXPECT_THAT(describePairs(
                  WindowManager::restorePlan(records, {window("A", "Same"), window("A", "Same")})),
              ElementsAre("A/Same=1", "A/Same=2"));
  EXPECT_THAT(describePairs(WindowManager::restorePlan(
                  {record("A", "Same", 1)}, {window("A", "Same"), window("A", "Other")})),
              ElementsAre("A/Same=1"));
}

TEST(RestorePlan, IdentifiersAndTitlesMatchExactlyUpToCanonicalEquivalence) {
  const std::string composed = "Caf\u00e9";
  const std::string decomposed = "Cafe\u0301";
  EXPECT_THAT(describePairs(WindowManager::restorePlan({record("A", composed, 1)},
                                                       {window("A", decomposed)})),
              ElementsAre("A/" + decomposed + "=1"));
  EXPECT_TRUE(WindowManager::restorePlan({record("com.google.chrome", "x", 1)},
                                         {window("com.google.Chrome", "x")})
                  .empty());
  EXPECT_TRUE(WindowManager::restorePlan({record("A", "x", 1)}, {window("A ", "x")}).empty());
}

TEST(RestorePlan, StoredRectanglesAreUsedUnrounded) {
  const SavedFrame r{"A", "t", 10.25, -20.5, 300.75, 200.125};
  auto plan = WindowManager::restorePlan({r}, {window("A", "t")});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].target, Rect(10.25, -20.5, 300.75, 200.125));
}

TEST(Snapshot, RecordsTheDiscoveredFramesAndMatchesBackToThemselves) {
  const std::vector<ManagedWindow> windows = {window("A", "t", {1.5, 2, 300, 200}),
                                              window("A", "t", {5, 6, 400, 300}),
                                              window("B", "", {-100, -50, 640, 480})};
  auto records = WindowManager::snapshot(windows);
  EXPECT_EQ(records[2], (SavedFrame{"B", "", -100, -50, 640, 480}));
  auto plan = WindowManager::restorePlan(records, windows);
  ASSERT_EQ(plan.size(), 3u);
  for (std::size_t i = 0; i < plan.size(); ++i) EXPECT_EQ(plan[i].target, windows[i].frame());
  EXPECT_TRUE(WindowManager::snapshot({}).empty());
}

}  // namespace
}  // namespace tessaloom
