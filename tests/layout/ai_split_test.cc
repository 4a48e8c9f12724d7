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
using testing_support::numbered;
using testing_support::titles;
using testing_support::window;

constexpr Rect kArea(8, 33, 944, 584);  // a 960 x 600 usable area inset by the gap 8

std::vector<ManagedWindow> windowsOf(const std::vector<Kind>& kinds) {
  std::vector<ManagedWindow> out;
  for (std::size_t i = 0; i < kinds.size(); ++i) out.push_back(window(numbered("w", i), kinds[i]));
  return out;
}

std::vector<Rect> targetsOf(const LayoutPlan& plan) {
  std::vector<Rect> out;
  for (const PlanEntry& e : plan) out.push_back(e.target);
  return out;
}

struct SplitCase {
  const char* what;
  std::vector<Kind> kinds;
  double ratio;
  std::vector<std::string> order;  // titles in plan order
  std::vector<Rect> expected;
  friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.what; }
};

class AISplitExample : public ::testing::TestWithParam<SplitCase> {};

TEST_P(AISplitExample, GivesThesePairs) {
  const SplitCase& c = GetParam();
  SCOPED_TRACE(c.what);
  const LayoutPlan plan = LayoutEngine::aiSplit(windowsOf(c.kinds), kArea, 8, c.ratio);
  EXPECT_EQ(titles(plan), c.order);
  expectRectsNear(targetsOf(plan), c.expected);
}

// With ratio 0.4 the AI side is (944 - 8) * 0.4 = 374.4 wide: left (8, 33, 561.6, 584),
// right (577.6, 33, 374.4, 584).
const Kind B = Kind::browser;
const Kind A = Kind::ai;
const Kind I = Kind::ignore;
const double kThirdRow = 568.0 / 3;  // three rows in 584 with gap 8

INSTANTIATE_TEST_SUITE_P(
    Layouts, AISplitExample,
    ::testing::Values(
        SplitCase{"two browsers stacked, one AI window",
                  {B, B, A},
                  0.4,
                  {"w0", "w1", "w2"},
                  {Rect(8, 33, 561.6, 288), Rect(8, 329, 561.6, 288), Rect(577.6, 33, 374.4, 584)}},
        SplitCase{"three browsers and two AI windows",
                  {B, B, B, A, A},
                  0.4,
                  {"w0", "w1", "w2", "w3", "w4"},
                  {Rect(8, 33, 276.8, 288), Rect(292.8, 33, 276.8, 288), Rect(8, 329, 561.6, 288),
                   Rect(577.6, 33, 374.4, 288), Rect(577.6, 329, 374.4, 288)}},
        SplitCase{"browsers only: the plain grid",
                  {B, B},
                  0.4,
                  {"w0", "w1"},
                  {Rect(8, 33, 468, 584), Rect(484, 33, 468, 584)}},
        // A square target aspect would keep these in one row; the fallback uses 1.3.
        SplitCase{"AI windows only: the plain grid",
                  {A, A, A},
                  0.4,
                  {"w0", "w1", "w2"},
                  {Rect(8, 33, 468, 288), Rect(484, 33, 468, 288), Rect(8, 329, 944, 288)}},
        SplitCase{"browser-side pairs come first, each side in its own order",
                  {A, B, A, B},
                  0.4,
                  {"w1", "w3", "w0", "w2"},
                  {Rect(8, 33, 561.6, 288), Rect(8, 329, 561.6, 288), Rect(577.6, 33, 374.4, 288),
                   Rect(577.6, 329, 374.4, 288)}},
        SplitCase{"an ignored window goes to the browser side",
                  {A, I},
                  0.4,
                  {"w1", "w0"},
                  {Rect(8, 33, 561.6, 584), Rect(577.6, 33, 374.4, 584)}},
        // Halves of 468: three AI windows score best in two rows at aspect 1.0 and in three
        // rows at 1.3; three browsers take three rows.
        SplitCase{"the AI side aims at square cells, the browser side at 1.3",
                  {B, B, B, A, A, A},
                  0.5,
                  {"w0", "w1", "w2", "w3", "w4", "w5"},
                  {Rect(8, 33, 468, kThirdRow), Rect(8, 33 + kThirdRow + 8, 468, kThirdRow),
                   Rect(8, 33 + 2 * (kThirdRow + 8), 468, kThirdRow), Rect(484, 33, 230, 288),
                   Rect(722, 33, 230, 288), Rect(484, 329, 468, 288)}}));

TEST(AISplit, OneBrowserOneAIShareTheWidthLeftAfterOneGap) {
  for (double ratio : {0.25, 0.4, 0.5, 0.75}) {
    const LayoutPlan plan = LayoutEngine::aiSplit(windowsOf({B, A}), kArea, 8, ratio);
    ASSERT_EQ(plan.size(), 2u);
    const Rect& left = plan[0].target;
    const Rect& right = plan[1].target;
    EXPECT_DOUBLE_EQ(right.width, (944 - 8) * ratio);
    EXPECT_DOUBLE_EQ(left.width, (944 - 8) * (1 - ratio));
    EXPECT_DOUBLE_EQ(right.x - (left.x + left.width), 8) << "exactly one gap between them";
    EXPECT_DOUBLE_EQ(left.x, kArea.x);
    EXPECT_NEAR(right.x + right.width, kArea.x + kArea.width, 1e-9);
    EXPECT_EQ(left.height, 584);
    EXPECT_EQ(right.height, 584);
  }
}

// One side empty: the same rectangles as the grid layout, whatever the kinds' order.
TEST(AISplit, OneKindOnlyEqualsTheGrid) {
  for (Kind kind : {Kind::browser, Kind::ai, Kind::ignore}) {
    for (int n = 1; n <= 12; ++n) {
      const std::vector<ManagedWindow> windows = windowsOf(std::vector<Kind>(n, kind));
      const LayoutPlan plan = LayoutEngine::aiSplit(windows, kArea, 8, 0.4);
      expectRectsNear(targetsOf(plan), LayoutEngine::grid(n, kArea, 8, 1.3));
      EXPECT_EQ(titles(plan), titles(windows));
    }
  }
}

}  // namespace
}  // namespace tessaloom
