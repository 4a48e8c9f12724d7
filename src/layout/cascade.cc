#include <algorithm>

#include "layout/displays.h"
#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// The smallest window a deep stack still leaves.
constexpr double kMinimumWidth = 200;
constexpr double kMinimumHeight = 150;

}  // namespace

std::vector<Rect> cascade(int count, const Rect& area, double /*gap*/) {
  std::vector<Rect> rects;
  if (count < 1) return rects;
  const double areaWidth = area.width;
  const double areaHeight = area.height;

  // 60 % of the width, at least 900 (or the whole width when narrower), at most 1800.
  double w = std::min(std::max(areaWidth * 0.6, std::min(areaWidth, 900.0)), 1800.0);
  double h = areaHeight * 0.88;
  double step = 32;
  double offset = 0;  // how far the last window lies right of and below the first
  if (count > 1) {
    const double steps = static_cast<double>(count - 1);
    step = (areaHeight - std::min(areaHeight * 0.6, h)) / steps;
    step = std::min(step, 32.0);
    if (step <= 12) step = 12;
    // A stack too deep for the area steps closer, so that every window keeps a usable size.
    const double minW = std::min(kMinimumWidth, areaWidth);
    const double minH = std::min(kMinimumHeight, areaHeight);
    const double room = std::min(areaWidth - minW, areaHeight - minH);
    step = std::min(step, std::max(room, 0.0) / steps);
    offset = step * steps;
    // The whole stack fits the area.
    w = std::min(w, areaWidth - offset);
    h = std::min(h, areaHeight - offset);
  }

  // The stack is centred in the area.
  const double x0 = area.x + areaWidth * 0.5 - (w + offset) * 0.5;
  const double y0 = area.y + areaHeight * 0.5 - (h + offset) * 0.5;
  rects.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    rects.push_back(clampTile({x0 + step * i, y0 + step * i, w, h}, area));
  return rects;
}

}  // namespace tessaloom::LayoutEngine
