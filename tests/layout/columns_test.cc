#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/layout_engine.h"
#include "layout_test_support.h"

namespace tessaloom {
namespace {

using testing_support::expectRectsNear;

constexpr Rect kScreen(0, 0, 960, 600);

struct ColumnsCase {
  const char* what;
  int count;
  Rect area;
  double gap;
  std::vector<Rect> expected;
  friend void PrintTo(const ColumnsCase& c, std::ostream* os) { *os << c.what; }
};

class ColumnsExample : public ::testing::TestWithParam<ColumnsCase> {};

TEST_P(ColumnsExample, GivesTheseRectangles) {
  const ColumnsCase& c = GetParam();
  SCOPED_TRACE(c.what);
  expectRectsNear(LayoutEngine::columns(c.count, c.area, c.gap), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ColumnsExample,
    ::testing::Values(
        ColumnsCase{"one window takes the whole area", 1, kScreen, 8, {kScreen}},
        ColumnsCase{"one window is never split, however narrow",
                    1,
                    Rect(5, 6, 120, 300),
                    8,
                    {Rect(5, 6, 120, 300)}},
        ColumnsCase{
            "two columns of 476", 2, kScreen, 8, {Rect(0, 0, 476, 600), Rect(484, 0, 476, 600)}},
        ColumnsCase{"three columns would be 314.67 wide, so two rows",
                    3,
                    kScreen,
                    8,
                    {Rect(0, 0, 476, 296), Rect(484, 0, 476, 296), Rect(0, 304, 960, 296)}},
        ColumnsCase{"the upper half of five splits again",
                    5,
                    kScreen,
                    8,
                    {Rect(0, 0, 476, 144), Rect(484, 0, 476, 144), Rect(0, 152, 960, 144),
                     Rect(0, 304, 476, 296), Rect(484, 304, 476, 296)}},
        ColumnsCase{"columns exactly 400 wide keep one row",
                    2,
                    Rect(0, 0, 808, 600),
                    8,
                    {Rect(0, 0, 400, 600), Rect(408, 0, 400, 600)}},
        ColumnsCase{"columns just under 400 wide are stacked",
                    2,
                    Rect(0, 0, 807.5, 600),
                    8,
                    {Rect(0, 0, 807.5, 296), Rect(0, 304, 807.5, 296)}},
        ColumnsCase{"four wide columns stay in one row",
                    4,
                    Rect(100, 50, 2000, 1000),
                    0,
                    {Rect(100, 50, 500, 1000), Rect(600, 50, 500, 1000), Rect(1100, 50, 500, 1000),
                     Rect(1600, 50, 500, 1000)}}));

// Many windows on a small area: the halves keep splitting until single windows remain, and
// still exactly one rectangle per window comes back.
TEST(Columns, DeepSplitsStillGiveOneRectanglePerWindow) {
  for (int n : {100, 1000, 65536}) {
    const std::vector<Rect> rects = LayoutEngine::columns(n, Rect(0, 0, 300, 200), 8);
    EXPECT_EQ(rects.size(), static_cast<std::size_t>(n));
  }
}

}  // namespace
}  // namespace tessaloom
