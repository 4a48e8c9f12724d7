// The layout engine: pure functions from windows, areas and setting values to a plan. It moves
// nothing; only the arrangement layer applies plans.
#pragma once

#include <vector>

#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom::LayoutEngine {

inline constexpr double kGridTargetAspect = 1.3;

/// Rows from the top, left to right within a row; exactly `count` rectangles (none below 1).
std::vector<Rect> grid(int count, const Rect& area, double gap, double targetAspect);
/// Side-by-side columns, split into stacked halves while columns would be narrower than 400.
std::vector<Rect> columns(int count, const Rect& area, double gap);
/// An overlapping diagonal stack from the top left; `gap` is accepted and not used.
std::vector<Rect> cascade(int count, const Rect& area, double gap);
/// Browsers on the left, AI windows on the right, each side a grid; a plain grid when either
/// side is empty. `windows` are already in placement order.
LayoutPlan aiSplit(const std::vector<ManagedWindow>& windows, const Rect& area, double gap,
                   double aiRatio);
/// Placement order: browsers first, then by columns of 20-point tolerance, top to bottom.
std::vector<ManagedWindow> sortForLayout(std::vector<ManagedWindow> windows);

/// Every window takes the frontmost window's size and stays where it is, kept inside the
/// usable area of its display; one pair per window in input order.
LayoutPlan sameSizePlan(const std::vector<ManagedWindow>& windows,
                        const std::vector<Display>& displays);
/// The plan of `kind` for the windows, over the current displays and settings.
LayoutPlan plan(LayoutKind kind, const std::vector<ManagedWindow>& windows);

}  // namespace tessaloom::LayoutEngine
