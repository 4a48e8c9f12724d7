#include "menubar/hud.h"

#include <gtest/gtest.h>

#include "platform/services.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"

namespace tessaloom {
namespace {

using platform::Screen;

// A primary screen with a dock at the bottom and a menu bar at the top, and a second screen to
// its right, in the bottom-left convention.
const Screen kPrimary{{0, 0, 1920, 1080}, {0, 70, 1920, 985}, "primary"};
const Screen kRight{{1920, 0, 1280, 1024}, {1920, 0, 1280, 1000}, "right"};
const Screen kLeft{{-1280, 100, 1280, 800}, {-1280, 100, 1280, 780}, "left"};

TEST(HUDOrigin, CentresOnTheScreenUnderThePointer) {
  struct Case {
    const char* name;
    std::vector<Screen> screens;
    Point mouse;
    std::optional<Point> origin;
  };
  const Size plate{240, 48};
  const Case cases[] = {
      {"pointer on the primary", {kPrimary, kRight}, {100, 100}, Point{840, 70 + 0.18 * 985}},
      {"pointer on the right screen", {kPrimary, kRight}, {2000, 500}, Point{2440, 180}},
      {"pointer on a screen left of the primary",
       {kPrimary, kLeft},
       {-10, 500},
       Point{-760, 100 + 0.18 * 780}},
      // The far edges belong to the next screen, the near edges to this one.
      {"pointer on the shared edge", {kPrimary, kRight}, {1920, 10}, Point{2440, 180}},
      {"pointer on the bottom-left corner",
       {kPrimary, kRight},
       {0, 0},
       Point{840, 70 + 0.18 * 985}},
      {"pointer on the top edge belongs to no screen",
       {kRight, kPrimary},
       {100, 1080},
       Point{2440, 180}},
      {"pointer off every screen", {kRight, kPrimary}, {-5000, -5000}, Point{2440, 180}},
      {"mirrored screens: the first wins",
       {kRight, {{1920, 0, 1280, 1024}, {0, 0, 10, 10}, ""}},
       {2000, 500},
       Point{2440, 180}},
      {"no screen", {}, {100, 100}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto origin = HUD::origin(c.screens, c.mouse, plate);
    ASSERT_EQ(origin.has_value(), c.origin.has_value()) << c.name;
    if (!origin) continue;
    EXPECT_DOUBLE_EQ(origin->x, c.origin->x) << c.name;
    EXPECT_DOUBLE_EQ(origin->y, c.origin->y) << c.name;
  }
}

class FixedScreens : public platform::Screens {
 public:
  std::vector<Screen> screens() override { return list; }
  Point mouseLocation() override { return mouse; }
  std::vector<Screen> list{kPrimary, kRight};
  Point mouse{2000, 500};
};

class HUDTest : public ::testing::Test {
 protected:
  HUDTest() {
    platform::Services s;
    s.mainQueue = &queue;
    s.screens = &screens;
    s.overlay = &overlay;
    platform::install(s);
  }
  ~HUDTest() override { platform::install({}); }

  const platform::SimOverlay::Plate& plate(std::size_t i) { return *overlay.plates().at(i); }
  void at(double t) { queue.runUntil(t); }

  platform::VirtualMainQueue queue;
  FixedScreens screens;
  platform::SimOverlay overlay;
  HUD hud;
};

TEST_F(HUDTest, APlateIsBuiltPlacedAndShownFromTransparent) {
  hud.show("直前の配置に戻しました", "arrow.uturn.backward");
  ASSERT_EQ(overlay.plates().size(), 1u);
  const auto& p = plate(0);
  EXPECT_EQ(p.content.text, "直前の配置に戻しました");
  EXPECT_EQ(p.content.symbol, "arrow.uturn.backward");
  const platform::OverlayStyle style{15, 20, 10, 14, 20, 14, 22, 14};
  EXPECT_EQ(p.content.style, style);
  EXPECT_EQ(p.origin, (Point{1920 + 640 - 120, 180}));  // on the screen under the pointer
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.alphas, std::vector<double>{0});
}

TEST_F(HUDTest, FadesInHoldsAndFadesOut) {
  hud.show("整列できるウィンドウがありません", "exclamationmark.triangle");
  const auto& p = plate(0);
  // Sampled between animation steps; a step may lag the clock by at most one frame.
  constexpr double fadeInStep = HUD::kFrameSeconds / 0.15;
  constexpr double fadeOutStep = HUD::kFrameSeconds / 0.3;
  struct Step {
    double time;
    double alpha;
    double tolerance;
    bool visible;
  };
  const Step steps[] = {
      {0.058, 0.058 / 0.15, fadeInStep, true},
      {0.108, 0.108 / 0.15, fadeInStep, true},
      {0.158, 1, 0, true},
      {1.0, 1, 0, true},
      {1.39, 1, 0, true},
      {1.508, 1 - 0.108 / 0.3, fadeOutStep, true},
      {1.608, 1 - 0.208 / 0.3, fadeOutStep, true},
      {1.75, 0, 0, false},
      {5, 0, 0, false},
  };
  for (const auto& s : steps) {
    at(s.time);
    EXPECT_NEAR(p.alpha, s.alpha, s.tolerance + 1e-9) << "at " << s.time;
    EXPECT_EQ(p.visible, s.visible) << "at " << s.time;
  }
  EXPECT_EQ(p.orderOuts, 1);
  EXPECT_EQ(queue.pending(), 0u);  // no animation keeps running
}

TEST_F(HUDTest, ALaterMessageReplacesTheFirstAndGetsItsFullHold) {
  hud.show("first", "a");
  at(0.5);
  hud.show("second", "b");
  const auto& first = plate(0);
  const auto& second = plate(1);
  EXPECT_FALSE(first.visible);
  EXPECT_TRUE(second.visible);
  const auto firstAlphas = first.alphas.size();

  at(0.5 + 1.39);  // past the first message's hold, inside the second's
  EXPECT_TRUE(second.visible);
  EXPECT_DOUBLE_EQ(second.alpha, 1);
  at(0.5 + 1.4 + 0.15);
  EXPECT_NEAR(second.alpha, 0.5, 0.07);
  at(0.5 + 1.75);
  EXPECT_FALSE(second.visible);

  // Nothing touched the first plate after it was replaced, and it has been let go.
  EXPECT_EQ(first.alphas.size(), firstAlphas);
  EXPECT_EQ(first.orderOuts, 1);
  at(10);
  EXPECT_TRUE(first.released);
}

TEST_F(HUDTest, AFadeOutUnderWayFinishesOnItsOwnPlate) {
  hud.show("first", "a");
  at(1.5);  // the first plate is fading out
  const auto& first = plate(0);
  EXPECT_LT(first.alpha, 1);
  hud.show("second", "b");
  const auto& second = plate(1);
  EXPECT_FALSE(first.visible);

  at(1.8);  // the first fade-out has ended, on the first plate only
  EXPECT_DOUBLE_EQ(first.alpha, 0);
  EXPECT_EQ(first.orderOuts, 2);  // once by the new message, once at the end of its fade
  EXPECT_TRUE(second.visible);
  EXPECT_DOUBLE_EQ(second.alpha, 1);
  at(1.5 + 1.39);
  EXPECT_TRUE(second.visible);
  at(1.5 + 1.75);
  EXPECT_FALSE(second.visible);
  EXPECT_TRUE(first.released);
}

TEST_F(HUDTest, RapidMessagesShowOnlyTheLatest) {
  // Each message comes while the one before is still fading in.
  for (int i = 0; i < 5; ++i) {
    hud.show("message " + std::to_string(i), "a");
    at(0.05 * (i + 1));
  }
  std::vector<std::size_t> steps;
  for (const auto& p : overlay.plates()) steps.push_back(p->alphas.size());
  EXPECT_EQ(overlay.visibleCount(), 1);
  EXPECT_TRUE(overlay.plates().back()->visible);
  at(0.2 + 1.39);
  EXPECT_EQ(overlay.visibleCount(), 1);
  at(10);
  EXPECT_EQ(overlay.visibleCount(), 0);
  EXPECT_EQ(queue.pending(), 0u);
  // A replaced plate is left alone: no further fading on a plate nobody sees.
  for (std::size_t i = 0; i + 1 < steps.size(); ++i)
    EXPECT_EQ(overlay.plates()[i]->alphas.size(), steps[i]) << i;
}

TEST_F(HUDTest, WithoutScreensThePlateStaysAtItsFirstPlace) {
  screens.list.clear();
  hud.show("text", "unknown.symbol.name");
  EXPECT_EQ(plate(0).origin, std::nullopt);
  EXPECT_EQ(plate(0).content.symbol, "unknown.symbol.name");
  EXPECT_TRUE(plate(0).visible);
}

TEST_F(HUDTest, PlacementUsesThePlatesOwnSize) {
  overlay.plateSize = {500, 60};
  screens.mouse = {10, 10};
  hud.show("a longer message", "a");
  EXPECT_EQ(plate(0).origin, (Point{960 - 250, 70 + 0.18 * 985}));
}

}  // namespace
}  // namespace tessaloom
