// The feedback plate: where it goes, and how it fades in, holds, fades out and gives way to a
// newer message.
#include <gtest/gtest.h>

#include "menubar/hud.h"
#include "tray_fixture.h"

namespace tessaloom {
namespace {

using platform::Screen;

TEST(HUDOrigin, CentredOnTheUsableAreaUnderThePointerAboveItsBottom) {
  const std::vector<Screen> screens = {{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}, "A"},
                                       {{1920, 0, 1280, 800}, {1920, 0, 1280, 760}, "B"}};
  const Size plate{240, 48};
  const struct {
    Point pointer;
    Point origin;
  } cases[] = {
      {{2000, 100}, {2440, 760 - 0.18 * 760 - 48}},
      {{100, 100}, {840, 1080 - 0.18 * 1055 - 48}},
      {{5000, 5000}, {840, 1080 - 0.18 * 1055 - 48}},  // under no screen: the first
      {{1920, 0}, {2440, 760 - 0.18 * 760 - 48}},      // edges belong to the screen they start
  };
  for (const auto& c : cases) {
    const auto origin = HUD::origin(screens, c.pointer, plate);
    ASSERT_TRUE(origin);
    EXPECT_NEAR(origin->x, c.origin.x, 1e-9);
    EXPECT_NEAR(origin->y, c.origin.y, 1e-9);
  }
  EXPECT_FALSE(HUD::origin({}, {0, 0}, plate));
}

class HUDTest : public testing::TrayTest {
 protected:
  void SetUp() override { load(testing::deskScene(true)); }
  HUD& hud() {
    if (!hud_) hud_.emplace(ui.overlay, *desktop, queue);
    return *hud_;
  }
  std::optional<HUD> hud_;
};

TEST_F(HUDTest, FadesInHoldsFadesOutAndHides) {
  ui.overlay.plateSize = {300, 50};
  desktop->setPointer({10, 10});
  hud().show("text", "symbol");
  const auto& plate = *ui.overlay.plates().at(0);
  EXPECT_EQ(plate.content.text, "text");
  EXPECT_EQ(plate.content.symbol, "symbol");
  EXPECT_EQ(plate.content.style, HUD::kStyle);
  EXPECT_EQ(plate.origin, (Point{810, 1080 - 0.18 * 1055 - 50}));
  EXPECT_EQ(plate.alphas.front(), 0);
  EXPECT_TRUE(plate.visible);
  queue.advance(HUD::kFadeInSeconds + 0.02);
  EXPECT_EQ(plate.alpha, 1);
  queue.advance(HUD::kHoldSeconds - HUD::kFadeInSeconds - 0.04);
  EXPECT_EQ(plate.alpha, 1) << "held";
  queue.advance(0.02 + HUD::kFadeOutSeconds / 2);
  EXPECT_GT(plate.alpha, 0);
  EXPECT_LT(plate.alpha, 1);
  queue.advance(HUD::kFadeOutSeconds);
  EXPECT_EQ(plate.alpha, 0);
  EXPECT_FALSE(plate.visible);
  for (std::size_t i = 1; i < plate.alphas.size(); ++i)
    EXPECT_LE(std::abs(plate.alphas[i] - plate.alphas[i - 1]), 0.2) << "steps, not jumps";
}

TEST_F(HUDTest, ANewerMessageReplacesThePlateAndGetsItsOwnHold) {
  hud().show("first", "a");
  queue.advance(1.0);
  hud().show("second", "b");
  const auto& first = *ui.overlay.plates().at(0);
  const auto& second = *ui.overlay.plates().at(1);
  EXPECT_FALSE(first.visible);
  queue.advance(HUD::kHoldSeconds - 0.05);
  EXPECT_TRUE(second.visible);
  EXPECT_EQ(second.alpha, 1);
  queue.advance(HUD::kFadeOutSeconds + 0.1);
  EXPECT_FALSE(second.visible);
  EXPECT_EQ(ui.overlay.visibleCount(), 0);
}

TEST_F(HUDTest, AFadeOutUnderWayFinishesOnItsOwnPlate) {
  hud().show("first", "a");
  queue.advance(HUD::kHoldSeconds + 0.1);
  hud().show("second", "b");
  queue.advance(HUD::kFadeOutSeconds);
  EXPECT_FALSE(ui.overlay.plates().at(0)->visible);
  EXPECT_TRUE(ui.overlay.plates().at(1)->visible);
  EXPECT_EQ(ui.overlay.plates().at(1)->alpha, 1);
}

}  // namespace
}  // namespace tessaloom
