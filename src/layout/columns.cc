#include <cstdint>

#include "layout/displays.h"
#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// Columns narrower than this are split into two stacked halves.
constexpr double kMinColumnWidth = 400;

// Appends the columns of `n` (>= 1) windows, none narrower than `least` unless alone. Each half
// holds fewer windows than its parent, so the recursion is at most about log2(n) deep.
void appendColumns(std::vector<Rect>& out, std::int64_t n, const Rect& area, double gap,
                   double least) {
  const double w = (area.width - static_cast<double>(n - 1) * gap) / static_cast<double>(n);
  if (n != 1 && w < least) {
    const std::int64_t upper = n - n / 2;  // the upper half gets the larger share
    const double h = (area.height - gap) * 0.5;
    appendColumns(out, upper, Rect(area.x, area.y, area.width, h), gap, least);
    appendColumns(out, n - upper, Rect(area.x, area.y + h + gap, area.width, h), gap, least);
    return;
  }
  for (std::int64_t i = 0; i < n; ++i)
    out.push_back(
        clampTile({area.x + (w + gap) * static_cast<double>(i), area.y, w, area.height}, area));
}

}  // namespace

std::vector<Rect> columns(int count, const Rect& area, double gap, double widest) {
  std::vector<Rect> rects;
  if (count < 1) return rects;
  rects.reserve(static_cast<std::size_t>(count));
  // A window kept wider than its column would cover its neighbour. Negated so that a NaN
  // minimum is no minimum.
  appendColumns(rects, count, area, gap, !(widest > kMinColumnWidth) ? kMinColumnWidth : widest);
  return rects;
}

}  // namespace tessaloom::LayoutEngine
