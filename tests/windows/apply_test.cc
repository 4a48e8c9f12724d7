// Frame application: one batch of whole-number placements, one settle, one read-back and one
// batch of corrections; and the matching of stored records to windows.
#include <gmock/gmock.h>

#include "support/sim_fixture.h"
#include "support/titles.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using platform::SimCallKind;
using ::testing::ElementsAre;

class ApplyTest : public SimDesktopTest {
 protected:
  LayoutPlan planFor(std::vector<Rect> targets) {
    auto ctx = context();
    const auto windows = WindowManager::targetWindows(ctx);
    LayoutPlan plan;
    for (std::size_t i = 0; i < targets.size(); ++i) plan.push_back({windows[i], targets[i]});
    return plan;
  }
  void apply(const LayoutPlan& plan) {
    auto ctx = context();
    log().clear();
    WindowManager::apply(ctx, plan);
  }
};

TEST_F(ApplyTest, PlacesOnceSettlesOnceAndCorrectsOnlyWhatMissedByMoreThanTwo) {
  json windows = json::array(
      {sceneWindow("on target", 0, 0, 400, 300),
       {{"title", "off by two"}, {"frame", {0, 0, 400, 300}}, {"minSize", {402, 300}}},
       {{"title", "off by three"}, {"frame", {0, 0, 400, 300}}, {"minSize", {403, 300}}}});
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", windows)}}});
  const double start = queue_.now();
  apply(planFor({{0.4, 10, 640.2, 480}, {20, 20, 400, 300}, {40, 40, 400, 300}}));
  EXPECT_THAT(log().places(),
              ElementsAre("101/0 (0.0, 10.0, 641.0, 480.0)", "101/1 (20.0, 20.0, 400.0, 300.0)",
                          "101/2 (40.0, 40.0, 400.0, 300.0)", "101/2 (40.0, 40.0, 400.0, 300.0)"));
  EXPECT_EQ(log().count(SimCallKind::frames), 1u);
  EXPECT_NEAR(queue_.now() - start, WindowManager::kSettleSeconds, 1e-9);
  // Corrections go after the settle and the read-back, in one batch.
  const auto& calls = log().calls();
  EXPECT_EQ(calls.back().kind, SimCallKind::place);
  EXPECT_EQ(calls[calls.size() - 2].kind, SimCallKind::frames);
}

TEST_F(ApplyTest, SlowWindowsAreCorrectedOnceAndVanishedOnesLeftAlone) {
  json windows =
      json::array({{{"title", "slow"}, {"frame", {0, 0, 400, 300}}, {"writeDelay", 1}},
                   {{"title", "gone"}, {"frame", {0, 0, 400, 300}}, {"vanishes", true}}});
  load({{"apps", {sceneApp(101, "com.google.Chrome", "Chrome", windows)}}});
  apply(planFor({{10, 10, 500, 400}, {30, 30, 500, 400}}));
  EXPECT_THAT(log().places(),
              ElementsAre("101/0 (10.0, 10.0, 500.0, 400.0)", "101/1 (30.0, 30.0, 500.0, 400.0)",
                          "101/0 (10.0, 10.0, 500.0, 400.0)"));
}

TEST_F(ApplyTest, AnEmptyPlanTouchesNothing) {
  load({});
  apply({});
  EXPECT_TRUE(log().calls().empty());
}

ManagedWindow window(std::string appId, std::string title, WindowHandle handle) {
  return ManagedWindow(handle, 1, std::move(appId), "App", std::move(title), {}, Kind::browser);
}

TEST(RestorePlan, ExactTitlesFirstThenTheSameApplicationInOrder) {
  const std::vector<SavedFrame> records = {
      {"com.google.Chrome", "Mail", 1, 1, 500, 400},
      {"com.google.Chrome", "News", 2, 2, 500, 400},
      {"org.example.\xC3\xA9", "Doc", 3, 3, 500, 400},
      {"com.google.Chrome", "Old", 4, 4, 500, 400},
  };
  const std::vector<ManagedWindow> windows = {
      window("com.google.Chrome", "Renamed", 1), window("com.google.Chrome", "News", 2),
      window("org.example.e\xCC\x81", "Other", 3), window("com.brave.Browser", "Mail", 4)};
  const auto plan = WindowManager::restorePlan(records, windows);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].window.title(), "News");
  EXPECT_EQ(plan[0].target, Rect(2, 2, 500, 400));
  EXPECT_EQ(plan[1].window.title(), "Renamed");
  EXPECT_EQ(plan[1].target, Rect(1, 1, 500, 400)) << "the first unused record of its app";
  EXPECT_EQ(plan[2].target, Rect(3, 3, 500, 400)) << "identifiers compare canonically";
}

TEST(RestorePlan, ALongTitleMatchesItsStoredCut) {
  const std::string title(3000, 'x');
  const auto stored = decodeSavedFrames(*encodeSavedFrames({{"a", title, 1, 2, 300, 200}}));
  const auto plan =
      WindowManager::restorePlan(stored, {window("a", "short", 1), window("a", title, 2)});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].window.handle(), 2u);
}

TEST(Snapshot, RecordsIdentifierTitleAndFrame) {
  const ManagedWindow w(9, 1, "a", "App", "t", Rect(1, 2, 300, 200), Kind::ai);
  EXPECT_THAT(WindowManager::snapshot({w}), ElementsAre(SavedFrame{"a", "t", 1, 2, 300, 200}));
}

}  // namespace
}  // namespace tessaloom::testing
