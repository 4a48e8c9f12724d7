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
        // count, so no candidate passes and one row remains, its cells held to one point.
        GridCase{
            "an area too small for any cell falls back to one row of the least size",
            4,
            Rect(0, 0, 100, 100),
            200,
            1.0,
            {Rect(0, 0, 1, 100), Rect(75, 0, 1, 100), Rect(150, 0, 1, 100), Rect(225, 0, 1, 100)}},
        GridCase{"a square target aspect keeps three windows in one row",
                 3,
                 kScreen,
                 8,
                 1.0,
                 {Rect(0, 0, kThird, 600), Rect(kThird + 8, 0, kThird, 600),
                  Rect(2 * (kThird + 8), 0, kThird, 600)}}));

}  // namespace
}  // namespace tessaloom
