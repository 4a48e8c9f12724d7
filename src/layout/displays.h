// Which display a rectangle or the pointer belongs to. Pure functions over a list of displays.
#pragma once

#include <optional>
#include <vector>

#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom::LayoutEngine {

/// The display whose frame (grown by one point on every side) holds `pointer`, else the first;
/// nothing for an empty list.
std::optional<Display> displayUnder(Point pointer, const std::vector<Display>& displays);
/// The display holding the largest part of `rect`; nothing when none holds any of it.
std::optional<Display> displayHolding(const Rect& rect, const std::vector<Display>& displays);
/// The display holding the largest part of `rect`, else the display under `pointer`.
std::optional<Display> displayHolding(const Rect& rect, const std::vector<Display>& displays,
                                      Point pointer);
/// `tile` with a width and height of at least one point and a finite origin (the area's
/// origin otherwise, else 0), so that no layout asks for an impossible size.
Rect clampTile(const Rect& tile, const Rect& area);

}  // namespace tessaloom::LayoutEngine
