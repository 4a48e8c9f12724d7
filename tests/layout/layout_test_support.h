// Helpers for the layout tests: windows without a desktop, and rectangle comparison with a
// readable failure message.
#pragma once

#include <cmath>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/geometry.h"
#include "base/records.h"
#include "support/titles.h"

namespace tessaloom {

// Lets failure messages show rectangles as the program writes them.
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << describe(r);
}

namespace testing_support {

// A window whose title names it; the handle is left 0, as the layouts never use it.
inline ManagedWindow window(std::string title, Kind kind, Rect frame = {}) {
  return ManagedWindow(0, 100, "org.example.app", "Example", std::move(title), frame, kind);
}

// prefix followed by the number; appended rather than `"w" + std::to_string(i)`, on which
// gcc 12 at -O3 reports a false overlap.
inline std::string numbered(std::string_view prefix, long long number) {
  std::string s(prefix);
  s += std::to_string(number);
  return s;
}

using tessaloom::testing::titles;

// Equal to within `tolerance` on every field; the worked figures are given as exact fractions.
inline ::testing::AssertionResult rectNear(const Rect& actual, const Rect& expected,
                                           double tolerance = 1e-9) {
  const bool near = std::fabs(actual.x - expected.x) <= tolerance &&
                    std::fabs(actual.y - expected.y) <= tolerance &&
                    std::fabs(actual.width - expected.width) <= tolerance &&
                    std::fabs(actual.height - expected.height) <= tolerance;
  if (near) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << describe(actual) << " is not " << describe(expected);
}

inline void expectRectsNear(const std::vector<Rect>& actual, const std::vector<Rect>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_TRUE(rectNear(actual[i], expected[i])) << "rectangle " << i;
}

// Whether two rectangles share area (touching edges do not count).
inline bool overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Whether `inner` lies in `outer`, allowing for rounding in the last digits.
inline bool inside(const Rect& inner, const Rect& outer, double slack = 1e-6) {
  return inner.x >= outer.x - slack && inner.y >= outer.y - slack &&
         inner.x + inner.width <= outer.x + outer.width + slack &&
         inner.y + inner.height <= outer.y + outer.height + slack;
}

}  // namespace testing_support
}  // namespace tessaloom
