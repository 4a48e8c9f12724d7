// The layout engine: pure functions from windows, displays and setting values to a plan. It
// reads and moves nothing; only the arrangement layer applies plans.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom::LayoutEngine {

inline constexpr double kGridTargetAspect = 1.3;

/// The setting values and desktop facts one plan depends on.
struct PlanParameters {
  double gap = 8;
  double aiRatio = 0.4;
  DisplayMode displayMode = DisplayMode::perDisplay;
  Point pointer;
  /// The process of the application that owns the focused window, if known: its first window
  /// gives the size for the same-size layout.
  std::optional<std::int32_t> frontmostPid;
};

/// Rows from the top, left to right within a row; exactly `count` rectangles (none below 1).
std::vector<Rect> grid(int count, const Rect& area, double gap, double targetAspect);
/// Side-by-side columns, split into stacked halves while columns would be narrower than 400.
std::vector<Rect> columns(int count, const Rect& area, double gap, double widest = 0);
/// An overlapping diagonal stack from the top left; `gap` is accepted and not used.
std::vector<Rect> cascade(int count, const Rect& area, double gap);
/// Browsers on the left, AI windows on the right, each side a grid; a plain grid when either
/// side is empty. `windows` are already in placement order.
LayoutPlan aiSplit(const std::vector<ManagedWindow>& windows, const Rect& area, double gap,
                   double aiRatio);
/// Placement order: browsers first, then by columns of 20-point tolerance, top to bottom.
std::vector<ManagedWindow> sortForLayout(std::vector<ManagedWindow> windows);

/// Every window takes the reference window's size and stays where it is, kept inside the
/// usable area of its display; one pair per window in input order.
LayoutPlan sameSizePlan(const std::vector<ManagedWindow>& windows,
                        const std::vector<Display>& displays, const PlanParameters& parameters);
/// Whether the plan of `kind` would look at the pointer: in the mouse-display mode (but for
/// `sameSize`), or for a window no display holds any of.
bool needsPointer(LayoutKind kind, const std::vector<ManagedWindow>& windows,
                  const std::vector<Display>& displays, DisplayMode mode);
/// The plan of `kind` for the windows over `displays`.
LayoutPlan plan(LayoutKind kind, const std::vector<ManagedWindow>& windows,
                const std::vector<Display>& displays, const PlanParameters& parameters);

}  // namespace tessaloom::LayoutEngine
