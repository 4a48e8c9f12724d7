#include "layout/displays.h"

#include <cmath>

namespace tessaloom::LayoutEngine {

std::optional<Display> displayUnder(Point pointer, const std::vector<Display>& displays) {
  if (displays.empty()) return std::nullopt;
  for (const auto& d : displays)
    if (d.frame().insetBy(-1, -1).contains(pointer)) return d;
  return displays.front();
}

std::optional<Display> displayHolding(const Rect& rect, const std::vector<Display>& displays) {
  double bestArea = 0;
  const Display* best = nullptr;
  for (const auto& d : displays) {
    const Rect common = d.frame().intersection(rect);
    const double area = common.isNull() ? 0 : common.width * common.height;
    if (area > bestArea) {
      bestArea = area;
      best = &d;
    }
  }
  if (best) return *best;
  return std::nullopt;
}

std::optional<Display> displayHolding(const Rect& rect, const std::vector<Display>& displays,
                                      Point pointer) {
  if (auto d = displayHolding(rect, displays)) return d;
  return displayUnder(pointer, displays);
}

Rect clampTile(const Rect& tile, const Rect& area) {
  auto size = [](double v) { return std::isfinite(v) && v >= 1 ? v : 1.0; };
  auto place = [](double v, double fallback) {
    return std::isfinite(v) ? v : std::isfinite(fallback) ? fallback : 0.0;
  };
  return {place(tile.x, area.x), place(tile.y, area.y), size(tile.width), size(tile.height)};
}

}  // namespace tessaloom::LayoutEngine
