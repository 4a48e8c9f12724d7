// Nonsense numbers must give whatever the formulas give: the right number of rectangles and no
// crash, hang or undefined behaviour (the sanitizer build runs these too).
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/layout_engine.h"
#include "layout_test_support.h"

namespace tessaloom {
namespace {

using testing_support::numbered;
using testing_support::window;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kLowest = std::numeric_limits<double>::lowest();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

const double kOddNumbers[] = {kNaN, kInf, -kInf, kMax, kLowest, kTiny, -1e300, 0.0, -0.0, -8};

std::vector<Rect> oddAreas() {
  std::vector<Rect> areas{Rect(0, 0, 960, 600), Rect(), Rect(0, 0, -960, -600), Rect::null(),
                          Rect(0, 0, 1, 1e308)};
  for (double v : kOddNumbers) {
    areas.emplace_back(v, 0, 960, 600);
    areas.emplace_back(0, 0, v, 600);
    areas.emplace_back(0, 0, 960, v);
    areas.emplace_back(v, v, v, v);
  }
  return areas;
}

std::vector<double> oddValues() {
  std::vector<double> values(std::begin(kOddNumbers), std::end(kOddNumbers));
  values.push_back(8);
  values.push_back(1e9);
  return values;
}

TEST(BadInput, TilingFunctionsReturnExactlyCountRectangles) {
  for (const Rect& area : oddAreas()) {
    for (double value : oddValues()) {
      for (int n : {-5, 0, 1, 2, 3, 7, 64}) {
        const std::size_t want = n < 1 ? 0 : static_cast<std::size_t>(n);
        EXPECT_EQ(LayoutEngine::grid(n, area, value, 1.3).size(), want);
        EXPECT_EQ(LayoutEngine::grid(n, area, 8, value).size(), want) << "odd aspect";
        EXPECT_EQ(LayoutEngine::columns(n, area, value).size(), want);
        EXPECT_EQ(LayoutEngine::cascade(n, area, value).size(), want);
      }
    }
  }
}

TEST(BadInput, ExtremeCountsStayBounded) {
  EXPECT_TRUE(
      LayoutEngine::grid(std::numeric_limits<int>::min(), Rect(0, 0, 9, 9), 8, 1.3).empty());
  EXPECT_EQ(LayoutEngine::columns(100000, Rect(0, 0, 1, 1), kMax).size(), 100000u);
  EXPECT_EQ(LayoutEngine::cascade(100000, Rect(0, 0, kMax, kMax), 0).size(), 100000u);
  EXPECT_EQ(LayoutEngine::grid(100000, Rect(0, 0, kNaN, kInf), kTiny, 1.3).size(), 100000u);
}

TEST(BadInput, AISplitPlacesEveryWindowOnce) {
  std::vector<ManagedWindow> windows;
  for (int i = 0; i < 9; ++i) windows.push_back(window(numbered("w", i), kAllKinds[i % 3]));
  for (const Rect& area : oddAreas())
    for (double value : oddValues()) {
      EXPECT_EQ(LayoutEngine::aiSplit(windows, area, value, 0.4).size(), windows.size());
      EXPECT_EQ(LayoutEngine::aiSplit(windows, area, 8, value).size(), windows.size())
          << "odd ratio";
    }
}

TEST(BadInput, SortForLayoutKeepsEveryWindowWhateverTheFrames) {
  for (std::size_t n : {5u, 63u, 64u, 300u}) {
    std::vector<ManagedWindow> windows;
    for (std::size_t i = 0; i < n; ++i) {
      const double v = kOddNumbers[i % std::size(kOddNumbers)];
      windows.push_back(window(numbered("w", i), kAllKinds[i % 3],
                               Rect(v, kOddNumbers[(i * 7) % std::size(kOddNumbers)], v, 10)));
    }
    EXPECT_EQ(LayoutEngine::sortForLayout(windows).size(), n);
  }
}

}  // namespace
}  // namespace tessaloom
