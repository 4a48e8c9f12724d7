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
using testing_support::inside;
using testing_support::overlap;

constexpr Rect kScreen(0, 0, 960, 600);

struct GridCase {
  const char* what;
  int count;
  Rect area;
  double gap;
  double aspect;
  std::vector<Rect> expected;
  friend void PrintTo(const GridCase& c, std::ostream* os) { *os << c.what; }
};

class GridExample : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridExample, GivesTheseRectangles) {
  const GridCase& c = GetParam();
  SCOPED_TRACE(c.what);
  expectRectsNear(LayoutEngine::grid(c.count, c.area, c.gap, c.aspect), c.expected);
}

const double kThird = 944.0 / 3;     // width of three cells in a 960-wide row with gap 8
const double kRowThird = 584.0 / 3;  // height of three rows in 600 with gap 8

INSTANTIATE_TEST_SUITE_P(
    Layouts, GridExample,
    ::testing::Values(
        GridCase{"one window takes the whole area",
                 1,
                 Rect(10, 20, 700, 500),
                 8,
                 1.3,
                 {Rect(10, 20, 700, 500)}},
        GridCase{"two windows side by side",
                 2,
                 kScreen,
                 8,
                 1.3,
                 {Rect(0, 0, 476, 600), Rect(484, 0, 476, 600)}},
        // Scores: one row 2.908, two rows 2.463, three rows 3.333.
        GridCase{"three windows: two on top, one full width below",
                 3,
                 kScreen,
                 8,
                 1.3,
                 {Rect(0, 0, 476, 296), Rect(484, 0, 476, 296), Rect(0, 304, 960, 296)}},
        GridCase{"five windows: three on top, two below",
                 5,
                 kScreen,
                 8,
                 1.3,
                 {Rect(0, 0, kThird, 296), Rect(kThird + 8, 0, kThird, 296),
                  Rect(2 * (kThird + 8), 0, kThird, 296), Rect(0, 304, 476, 296),
                  Rect(484, 304, 476, 296)}},
        GridCase{
            "seven windows in rows of 3, 2 and 2",
            7,
            kScreen,
            8,
            1.3,
            {Rect(0, 0, kThird, kRowThird), Rect(kThird + 8, 0, kThird, kRowThird),
             Rect(2 * (kThird + 8), 0, kThird, kRowThird), Rect(0, kRowThird + 8, 476, kRowThird),
             Rect(484, kRowThird + 8, 476, kRowThird), Rect(0, 2 * (kRowThird + 8), 476, kRowThird),
             Rect(484, 2 * (kRowThird + 8), 476, kRowThird)}},
        GridCase{"the area's origin offsets every cell",
                 2,
                 Rect(-1280, 25, 1280, 775),
                 0,
                 1.3,
                 {Rect(-1280, 25, 640, 775), Rect(-640, 25, 640, 775)}},
        // One row (cells 1000 x 2000) and two rows (2000 x 1000) both score ln 2.
        GridCase{"equal scores keep the smaller row count",
                 2,
                 Rect(0, 0, 2000, 2000),
                 0,
                 1.0,
                 {Rect(0, 0, 1000, 2000), Rect(1000, 0, 1000, 2000)}},
        // Three rows need two columns, and a 2 x 3 grid of four cells leaves its last row empty;
        // it would score 2.634 against 2.657 for two full rows, but is not a candidate.
        GridCase{"a row count that leaves its last row empty is never chosen",
                 4,
                 Rect(0, 0, 300, 200),
                 20,
                 3.0,
                 {Rect(0, 0, 140, 90), Rect(160, 0, 140, 90), Rect(0, 110, 140, 90),
                  Rect(160, 110, 140, 90)}},
        // Two rows would give cells of -50 x -50, whose ratio scores well; only positive cells
        // count, so no candidate passes and one row remains.
        GridCase{"an area too small for any cell falls back to one row",
                 4,
                 Rect(0, 0, 100, 100),
                 200,
                 1.0,
                 {Rect(0, 0, -125, 100), Rect(75, 0, -125, 100), Rect(150, 0, -125, 100),
                  Rect(225, 0, -125, 100)}},
        GridCase{"a square target aspect keeps three windows in one row",
                 3,
                 kScreen,
                 8,
                 1.0,
                 {Rect(0, 0, kThird, 600), Rect(kThird + 8, 0, kThird, 600),
                  Rect(2 * (kThird + 8), 0, kThird, 600)}}));

TEST(Grid, CountBelowOneGivesNothing) {
  for (int count : {0, -1, -1000, std::numeric_limits<int>::min()})
    EXPECT_TRUE(LayoutEngine::grid(count, kScreen, 8, 1.3).empty()) << count;
}

// Invariants over many counts and areas: exact count, order row by row, row lengths, tiles
// inside the area and apart from each other.
TEST(Grid, TilesTheAreaRowByRow) {
  const Rect areas[] = {kScreen, Rect(8, 33, 944, 584), Rect(-1280, 25, 1280, 775),
                        Rect(0, 0, 3840, 2135), Rect(0, 0, 600, 1800)};
  for (const Rect& area : areas) {
    for (double gap : {1.0, 8.0, 24.0}) {
      for (int n = 1; n <= 60; ++n) {
        SCOPED_TRACE(::testing::Message() << describe(area) << " gap " << gap << " n " << n);
        const std::vector<Rect> rects = LayoutEngine::grid(n, area, gap, 1.3);
        ASSERT_EQ(rects.size(), static_cast<std::size_t>(n));

        // Split into rows by top edge; emission order must be row by row, left to right.
        std::vector<int> rowLengths{1};
        for (int i = 1; i < n; ++i) {
          if (rects[i].y == rects[i - 1].y) {
            EXPECT_GT(rects[i].x, rects[i - 1].x) << i;
            ++rowLengths.back();
          } else {
            EXPECT_GT(rects[i].y, rects[i - 1].y) << i;
            rowLengths.push_back(1);
          }
        }
        for (std::size_t r = 1; r < rowLengths.size(); ++r) {
          EXPECT_LE(rowLengths[r], rowLengths[r - 1]) << "longer rows come first";
          EXPECT_LE(rowLengths[0] - rowLengths[r], 1) << "row lengths differ by at most one";
        }

        for (int i = 0; i < n; ++i) {
          EXPECT_TRUE(inside(rects[i], area)) << describe(rects[i]);
          EXPECT_GT(rects[i].width, 0);
          EXPECT_GT(rects[i].height, 0);
          for (int j = 0; j < i; ++j)
            EXPECT_FALSE(overlap(rects[i], rects[j])) << describe(rects[i]) << describe(rects[j]);
        }
        // Every row spans the full width; the rows span the full height.
        EXPECT_NEAR(rects.front().y, area.y, 1e-9);
        EXPECT_NEAR(rects.back().y + rects.back().height, area.y + area.height, 1e-6);
        std::size_t first = 0;
        for (int len : rowLengths) {
          EXPECT_NEAR(rects[first].x, area.x, 1e-9);
          const Rect& last = rects[first + len - 1];
          EXPECT_NEAR(last.x + last.width, area.x + area.width, 1e-6);
          first += len;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessaloom
