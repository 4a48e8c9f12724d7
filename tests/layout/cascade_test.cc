#include <cmath>
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

struct CascadeCase {
  const char* what;
  int count;
  Rect area;
  Rect first;
  double step;
  friend void PrintTo(const CascadeCase& c, std::ostream* os) { *os << c.what; }
};

class CascadeExample : public ::testing::TestWithParam<CascadeCase> {};

// The whole stack follows from its first rectangle and its step.
TEST_P(CascadeExample, StacksFromTheTopLeft) {
  const CascadeCase& c = GetParam();
  SCOPED_TRACE(c.what);
  std::vector<Rect> expected;
  for (int i = 0; i < c.count; ++i)
    expected.emplace_back(c.first.x + c.step * i, c.first.y + c.step * i, c.first.width,
                          c.first.height);
  expectRectsNear(LayoutEngine::cascade(c.count, c.area, 8), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CascadeExample,
    ::testing::Values(CascadeCase{"one window, centred", 1, kScreen, Rect(30, 36, 900, 528), 32},
                      CascadeCase{"three windows step 32", 3, kScreen, Rect(0, 4, 896, 528), 32},
                      CascadeCase{"thirty windows step 12, shrunk to fit", 30, kScreen,
                                  Rect(0, 0, 612, 252), 12},
                      // 40 % of 600 over 10 steps: 24, between the limits.
                      CascadeCase{"eleven windows step 24", 11, kScreen, Rect(0, 0, 720, 360), 24},
                      CascadeCase{"a narrow area gives its whole width to one window", 1,
                                  Rect(100, 0, 500, 400), Rect(100, 24, 500, 352), 32},
                      CascadeCase{"a wide area gives 60 percent", 1, Rect(0, 0, 2000, 1000),
                                  Rect(400, 60, 1200, 880), 32},
                      CascadeCase{"a very wide area gives at most 1800", 1, Rect(0, 0, 4000, 1000),
                                  Rect(1100, 60, 1800, 880), 32},
                      CascadeCase{"few windows on a tall area step 32", 2, Rect(0, 0, 2000, 2000),
                                  Rect(384, 104, 1200, 1760), 32},
                      CascadeCase{"the area's origin moves the stack", 3, Rect(-960, 25, 960, 600),
                                  Rect(-960, 29, 896, 528), 32}));

TEST(Cascade, IgnoresTheGap) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int n : {1, 2, 7, 40}) {
    const std::vector<Rect> reference = LayoutEngine::cascade(n, kScreen, 0);
    for (double gap : {8.0, -50.0, 1e9, nan}) {
      const std::vector<Rect> rects = LayoutEngine::cascade(n, kScreen, gap);
      ASSERT_EQ(rects.size(), reference.size());
      for (std::size_t i = 0; i < rects.size(); ++i) EXPECT_EQ(rects[i], reference[i]);
    }
  }
}

}  // namespace
}  // namespace tessaloom
