#include <cmath>
#include <cstdint>
#include <limits>

#include "layout/displays.h"
#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// Penalties of the row-count score: one empty cell, and a cell below the comfortable size.
constexpr double kEmptyCellPenalty = 0.25;
constexpr double kSmallCellPenalty = 2.0;
constexpr double kComfortableHeight = 300;
constexpr double kComfortableWidth = 420;

// The row count with the lowest score; 1 when no row count gives cells of positive size.
// Counts are 64-bit so that c * (r - 1) cannot overflow for any int count.
std::int64_t chooseRows(std::int64_t n, double width, double height, double gap, double aspect) {
  std::int64_t rows = 1;
  double best = std::numeric_limits<double>::infinity();
  for (std::int64_t r = 1; r <= n; ++r) {
    const std::int64_t c = (n + r - 1) / r;
    if (!(c * (r - 1) < n)) continue;  // the last row would be empty
    const double cw = (width - static_cast<double>(c - 1) * gap) / static_cast<double>(c);
    if (!(cw > 0)) continue;
    const double ch = (height - static_cast<double>(r - 1) * gap) / static_cast<double>(r);
    if (!(ch > 0)) continue;
    double score =
        static_cast<double>(r * c - n) * kEmptyCellPenalty + std::fabs(std::log(cw / ch / aspect));
    if (ch < kComfortableHeight || cw < kComfortableWidth) score += kSmallCellPenalty;
    // Strictly less: on equal scores the smaller row count found first stays. A NaN score
    // never wins.
    if (score < best) {
      best = score;
      rows = r;
    }
  }
  return rows;
}

}  // namespace

std::vector<Rect> grid(int count, const Rect& area, double gap, double targetAspect) {
  std::vector<Rect> rects;
  if (count < 1) return rects;
  const std::int64_t n = count;
  const std::int64_t rows = chooseRows(n, area.width, area.height, gap, targetAspect);
  const double h = (area.height - static_cast<double>(rows - 1) * gap) / static_cast<double>(rows);
  const std::int64_t perRow = n / rows;
  const std::int64_t longRows = n % rows;  // the first rows take one window more

  rects.reserve(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < rows; ++i) {
    const std::int64_t k = perRow + (i < longRows ? 1 : 0);
    const double w = (area.width - static_cast<double>(k - 1) * gap) / static_cast<double>(k);
    const double top = area.y + (h + gap) * static_cast<double>(i);
    for (std::int64_t j = 0; j < k; ++j)
      rects.push_back(clampTile({area.x + (w + gap) * static_cast<double>(j), top, w, h}, area));
  }
  return rects;
}

}  // namespace tessaloom::LayoutEngine
