// Screens in the top-left space, the display under the pointer, and the display of a window.
#include "support/sim_fixture.h"
#include "windows/window_manager.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

json screen(const std::string& name, std::vector<double> frame, std::vector<double> visible) {
  return {{"name", name}, {"frame", frame}, {"visible", visible}};
}

class DisplaysTest : public SimDesktopTest {
 protected:
  // A primary 1440 x 900 screen with a second one above it and a third to its left.
  void SetUp() override {
    load({{"screens",
           {screen("Built-in", {0, 0, 1440, 900}, {0, 0, 1440, 875}),
            screen("Above", {0, 900, 1920, 1080}, {0, 900, 1920, 1055}),
            screen("Left", {-1280, 100, 1280, 800}, {-1280, 100, 1280, 800})}}});
    displays_ = WindowManager::displays();
    ASSERT_EQ(displays_.size(), 3u);
  }
  std::string mouseOver(double x, double y) {
    desktop().setMouse({x, y});
    return WindowManager::mouseDisplay(displays_)->name();
  }
  std::string displayOf(Rect r) { return WindowManager::display(r, displays_)->name(); }

  std::vector<Display> displays_;
};

TEST_F(DisplaysTest, ScreensAreFlippedAroundThePrimaryHeight) {
  EXPECT_EQ(displays_[0].frame(), Rect(0, 0, 1440, 900));
  EXPECT_EQ(displays_[0].visible(), Rect(0, 25, 1440, 875));
  EXPECT_EQ(displays_[1].frame(), Rect(0, -1080, 1920, 1080));
  EXPECT_EQ(displays_[1].visible(), Rect(0, -1055, 1920, 1055));
  EXPECT_EQ(displays_[2].frame(), Rect(-1280, 0, 1280, 800));
  EXPECT_EQ(displays_[2].name(), "Left");
}

TEST_F(DisplaysTest, ThePointerPicksItsDisplayWithAOnePointMargin) {
  EXPECT_EQ(mouseOver(720, 450), "Built-in");
  EXPECT_EQ(mouseOver(100, 1500), "Above");
  EXPECT_EQ(mouseOver(-0.5, 450), "Built-in");  // the shared strip goes to the earlier display
  EXPECT_EQ(mouseOver(-10, 450), "Left");
  EXPECT_EQ(mouseOver(1440, 450), "Built-in");    // right edge, inside the margin
  EXPECT_EQ(mouseOver(1441.5, 450), "Built-in");  // nowhere: the first display
  EXPECT_EQ(mouseOver(5000, 5000), "Built-in");
}

TEST_F(DisplaysTest, APointerOnTheBottomEdgeOfTheLastDisplayStillCounts) {
  // "Left" spans top-left y 0 to 800; the platform's y of its bottom edge is 900 - 800 = 100.
  EXPECT_EQ(mouseOver(-640, 100), "Left");
}

TEST_F(DisplaysTest, AWindowGoesToTheDisplayHoldingMostOfIt) {
  EXPECT_EQ(displayOf({100, -100, 400, 300}), "Built-in");  // 100 above, 200 on the primary
  EXPECT_EQ(displayOf({100, -200, 400, 300}), "Above");
  EXPECT_EQ(displayOf({100, -150, 400, 300}), "Built-in");  // equal parts: the earlier display
  EXPECT_EQ(displayOf({-100, 100, 400, 300}), "Built-in");
  EXPECT_EQ(displayOf({-300, 100, 400, 300}), "Left");
}

TEST_F(DisplaysTest, AWindowOnNoDisplayGoesWithThePointer) {
  desktop().setMouse({-640, 500});
  EXPECT_EQ(displayOf({5000, 5000, 400, 300}), "Left");
  EXPECT_EQ(displayOf({1440, 0, 400, 300}), "Left");  // touching an edge is no overlap
}

class NoScreensTest : public SimDesktopTest {};

TEST_F(NoScreensTest, NoScreensMeanNoDisplays) {
  load({{"screens", json::array()}});
  EXPECT_TRUE(WindowManager::displays().empty());
  EXPECT_FALSE(WindowManager::mouseDisplay({}).has_value());
  EXPECT_FALSE(WindowManager::display({0, 0, 10, 10}, {}).has_value());
}

}  // namespace
}  // namespace tessaloom::testing
