// Properties of every layout on random inputs, checked against a small model of what a tiling
// must be: one tile per window, inside the area, apart from each other, rows spanning the area,
// and never a size below one point, however many windows or however odd the numbers.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "layout/layout_engine.h"
#include "layout_test_support.h"

namespace tessaloom {
namespace {

using testing_support::inside;
using testing_support::window;

struct Input {
  int count;
  Rect area;
  double gap;
};

// Seeded, so a failure repeats; up to 24 windows on areas of at least 1200 x 600 with gaps up
// to 16, where every layout can give each window room.
std::vector<Input> randomInputs() {
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<int> count(1, 24);
  std::uniform_real_distribution<double> origin(-3000, 3000), width(1200, 4000), height(600, 2500),
      gap(0, 16);
  std::vector<Input> inputs;
  for (int i = 0; i < 300; ++i)
    inputs.push_back({count(rng), Rect(origin(rng), origin(rng), width(rng), height(rng)),
                      std::floor(gap(rng))});
  return inputs;
}

// Sharing area beyond rounding in the last digits.
bool overlap(const Rect& a, const Rect& b) {
  return testing_support::overlap(a.insetBy(1e-6, 1e-6), b.insetBy(1e-6, 1e-6));
}

bool usable(const Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && r.width >= 1 && r.height >= 1 &&
         std::isfinite(r.width) && std::isfinite(r.height);
}

// The model of a tiling: the right count, every tile inside and apart, tiles emitted row by
// row from the top, each row spanning the whole width and the rows the whole height.
void expectTiling(const std::vector<Rect>& tiles, const Input& in) {
  ASSERT_EQ(tiles.size(), static_cast<std::size_t>(in.count));
  double rowTop = tiles.front().y, rowLeft = in.area.x;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const Rect& t = tiles[i];
    EXPECT_TRUE(usable(t) && inside(t, in.area)) << describe(t);
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(t, tiles[j])) << i << " " << j;
    if (t.y != rowTop) {  // a new row
      EXPECT_GT(t.y, rowTop);
      rowTop = t.y;
      rowLeft = in.area.x;
    }
    EXPECT_NEAR(t.x, rowLeft, 1e-6) << "tile " << i << " follows its left neighbour";
    rowLeft = t.maxX() + in.gap;
    const bool rowEnds = i + 1 == tiles.size() || tiles[i + 1].y != t.y;
    if (rowEnds) {
      EXPECT_NEAR(t.maxX(), in.area.maxX(), 1e-6);
    }
  }
  EXPECT_NEAR(tiles.front().y, in.area.y, 1e-6);
  EXPECT_NEAR(tiles.back().maxY(), in.area.maxY(), 1e-6);
}

TEST(LayoutProperties, GridAndColumnsTileTheArea) {
  for (const Input& in : randomInputs()) {
    SCOPED_TRACE(::testing::Message()
                 << in.count << " in " << describe(in.area) << " gap " << in.gap);
    expectTiling(LayoutEngine::grid(in.count, in.area, in.gap, 1.3), in);
    const auto columns = LayoutEngine::columns(in.count, in.area, in.gap);
    expectTiling(columns, in);
    // A row of several columns only where each is at least 400 wide.
    for (std::size_t i = 1; i < columns.size(); ++i)
      if (columns[i].y == columns[i - 1].y) {
        EXPECT_GE(columns[i].width, 400);
      }
  }
}

TEST(LayoutProperties, CascadeStacksEqualWindowsInsideTheArea) {
  for (const Input& in : randomInputs()) {
    const int count = in.count * 3;  // deeper stacks than a tiling gets
    const auto rects = LayoutEngine::cascade(count, in.area, in.gap);
    ASSERT_EQ(rects.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < rects.size(); ++i) {
      EXPECT_TRUE(usable(rects[i]) && inside(rects[i], in.area)) << describe(rects[i]);
      EXPECT_EQ(rects[i].size(), rects[0].size());
      if (i > 0) {
        EXPECT_NEAR(rects[i].x - rects[i - 1].x, rects[i].y - rects[i - 1].y, 1e-9);
      }
    }
  }
}

TEST(LayoutProperties, AISplitKeepsBrowsersLeftOfAIWindows) {
  std::mt19937 rng(7);
  for (const Input& in : randomInputs()) {
    std::vector<ManagedWindow> windows;
    for (int i = 0; i < in.count; ++i)
      windows.push_back(window("w", rng() % 3 ? Kind::browser : Kind::ai));
    const LayoutPlan plan = LayoutEngine::aiSplit(windows, in.area, in.gap, 0.4);
    ASSERT_EQ(plan.size(), windows.size());
    double browserRight = -std::numeric_limits<double>::infinity();
    double aiLeft = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < plan.size(); ++i) {
      const Rect& t = plan[i].target;
      EXPECT_TRUE(usable(t) && inside(t, in.area)) << describe(t);
      for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(t, plan[j].target));
      if (plan[i].window.kind() == Kind::ai)
        aiLeft = std::min(aiLeft, t.x);
      else
        browserRight = std::max(browserRight, t.maxX());
    }
    if (aiLeft < browserRight - 1e-6) {
      EXPECT_EQ(aiLeft, in.area.x) << "only when one side is empty";
    }
  }
}

TEST(LayoutProperties, ACountBelowOneGivesNothing) {
  for (int count : {0, -1, std::numeric_limits<int>::min()}) {
    EXPECT_TRUE(LayoutEngine::grid(count, Rect(0, 0, 960, 600), 8, 1.3).empty());
    EXPECT_TRUE(LayoutEngine::columns(count, Rect(0, 0, 960, 600), 8).empty());
    EXPECT_TRUE(LayoutEngine::cascade(count, Rect(0, 0, 960, 600), 8).empty());
  }
}

// Crowded displays and nonsense numbers: every layout still gives one tile of at least one
// point per window, with finite numbers, and never a crash.
TEST(LayoutProperties, NoLayoutGivesAnEmptyOrEndlessSize) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    int count;
    Rect area;
    double gap;
  } cases[] = {{25, Rect(8, 8, 1350, 744), 8},  {170, Rect(8, 8, 1904, 1056), 8},
               {1000, Rect(0, 0, 300, 200), 8}, {4, Rect(0, 0, 100, 100), 200},
               {3, Rect(0, 0, nan, 600), 8},    {3, Rect(0, 0, 960, inf), 8},
               {5, Rect(0, 0, 960, 600), nan},  {5, Rect(0, 0, 960, 600), -1e308}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.count << " in " << describe(c.area));
    for (const auto& rects : {LayoutEngine::grid(c.count, c.area, c.gap, 1.3),
                              LayoutEngine::columns(c.count, c.area, c.gap),
                              LayoutEngine::cascade(c.count, c.area, c.gap)}) {
      ASSERT_EQ(rects.size(), static_cast<std::size_t>(c.count));
      for (const Rect& r : rects) EXPECT_TRUE(usable(r)) << describe(r);
    }
  }
  // A deep stack steps closer rather than shrinking its windows below 200 x 150.
  for (const Rect& r : LayoutEngine::cascade(170, Rect(8, 8, 1904, 1056), 8))
    EXPECT_TRUE(r.width >= 200 && r.height >= 150) << describe(r);
}

}  // namespace
}  // namespace tessaloom
