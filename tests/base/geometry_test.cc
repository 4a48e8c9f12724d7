#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "base/geometry.h"
#include "layout/layout_test_support.h"

namespace tessaloom {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RectIntegral, RoundsOriginDownAndFarEdgesUp) {
  struct Row {
    Rect in, out;
  };
  const Row rows[] = {
      {Rect(100.4, 50.6, 799.3, 600.2), Rect(100, 50, 800, 601)},
      {Rect(0, 0, 800, 600), Rect(0, 0, 800, 600)},
      {Rect(-0.5, -1.5, 1, 1), Rect(-1, -2, 2, 2)},
      {Rect(10, 10, -5.5, 3), Rect(4, 10, 6, 3)},  // standardised first
      {Rect(0.2, 0.2, 0.1, 0.1), Rect(0, 0, 1, 1)},
  };
  for (const Row& r : rows) EXPECT_EQ(r.in.integral(), r.out) << describe(r.in);
  EXPECT_TRUE(Rect::null().integral().isNull());
}

TEST(RectInset, ShrinksOnEverySideOrGivesNull) {
  const Rect r(0, 0, 100, 50);
  EXPECT_EQ(r.insetBy(10, 10), Rect(10, 10, 80, 30));
  EXPECT_EQ(r.insetBy(-8, -8), Rect(-8, -8, 116, 66)) << "a negative inset enlarges";
  EXPECT_EQ(r.insetBy(50, 25), Rect(50, 25, 0, 0)) << "exactly nothing left is still a rect";
  EXPECT_TRUE(r.insetBy(51, 0).isNull());
  EXPECT_TRUE(r.insetBy(0, 25.5).isNull());
  EXPECT_TRUE(r.insetBy(kInf, 0).isNull());
  EXPECT_TRUE(Rect::null().insetBy(-10, -10).isNull());
  EXPECT_EQ(Rect(100, 0, -100, 50).insetBy(10, 10), Rect(10, 10, 80, 30));
}

TEST(RectIntersection, CommonPartOrNull) {
  const Rect a(0, 0, 100, 100);
  EXPECT_EQ(a.intersection(Rect(50, 60, 100, 100)), Rect(50, 60, 50, 40));
  EXPECT_EQ(a.intersection(Rect(10, 10, 5, 5)), Rect(10, 10, 5, 5));
  EXPECT_EQ(a.intersection(Rect(150, 60, -100, 100)), Rect(50, 60, 50, 40));
  EXPECT_TRUE(a.intersection(Rect(200, 0, 10, 10)).isNull());
  EXPECT_TRUE(a.intersection(Rect(0, -50, 100, 10)).isNull());
  EXPECT_TRUE(a.intersection(Rect::null()).isNull());
  EXPECT_TRUE(Rect::null().intersection(a).isNull());
}

TEST(RectContains, MinimumEdgesInMaximumEdgesOut) {
  const Rect r(0, 0, 10, 10);
  struct Row {
    Point p;
    bool in;
  };
  const Row rows[] = {{{0, 0}, true},     {{9.999, 9.999}, true}, {{10, 5}, false},
                      {{5, 10}, false},   {{-0.001, 5}, false},   {{5, -0.001}, false},
                      {{kNaN, 5}, false}, {{5, 5}, true}};
  for (const Row& row : rows) EXPECT_EQ(r.contains(row.p), row.in) << row.p.x << ", " << row.p.y;
  EXPECT_TRUE(Rect(10, 0, -10, 10).contains({0, 5}));
  EXPECT_FALSE(Rect(10, 0, -10, 10).contains({10, 5}));
  EXPECT_FALSE(Rect::null().contains({0, 0}));
}

TEST(RectEdges, AreThoseOfTheStandardisedRect) {
  const Rect r(100, 50, -40, -20);
  EXPECT_EQ(r.minX(), 60);
  EXPECT_EQ(r.maxX(), 100);
  EXPECT_EQ(r.midX(), 80);
  EXPECT_EQ(r.minY(), 30);
  EXPECT_EQ(r.maxY(), 50);
  EXPECT_EQ(r.midY(), 40);
}

TEST(FormatNumber, ShortestDecimalWithAFractionalPart) {
  struct Row {
    double value;
    const char* text;
  };
  const Row rows[] = {
      {800.0, "800.0"},
      {314.6666666666667, "314.6666666666667"},
      {0.1, "0.1"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {-12.5, "-12.5"},
      {25, "25.0"},
      {100000, "100000.0"},  // not "1e+05", though that is shorter
      {1e15, "1000000000000000.0"},
      {0.0001, "0.0001"},
      {1e21, "1.0e+21"},
      {0x1p53, "9.007199254740992e+15"},
      {0.00001, "1.0e-05"},
      {1.5e-7, "1.5e-07"},
      {5e-324, "5.0e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {kNaN, "nan"},
      {kInf, "inf"},
      {-kInf, "-inf"},
  };
  for (const Row& r : rows) EXPECT_EQ(formatNumber(r.value), r.text) << r.text;
}

TEST(FormatNumber, ReadsBackAsTheSameNumber) {
  for (double v : {1.0 / 3, 2.0 / 3 * 1000, 561.6, 577.6, 0.1 + 0.2, -1e-4, 123456789.125,
                   4503599627370495.5, 1e300, 3e-310}) {
    const std::string text = formatNumber(v);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    EXPECT_NE(text.find('.'), std::string::npos) << text;
  }
}

TEST(Describe, WritesTheFourValues) {
  EXPECT_EQ(describe(Rect(0, 25, 800, 600)), "(0.0, 25.0, 800.0, 600.0)");
  EXPECT_EQ(describe(Rect(577.6, -33, 374.4, 0.5)), "(577.6, -33.0, 374.4, 0.5)");
}

}  // namespace
}  // namespace tessaloom
