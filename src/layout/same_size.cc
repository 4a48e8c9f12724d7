#include <algorithm>

#include "layout/displays.h"
#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// The first window of the frontmost application, else the first window.
const ManagedWindow& reference(const std::vector<ManagedWindow>& windows,
                               const PlanParameters& parameters) {
  if (parameters.frontmostPid)
    for (const auto& w : windows)
      if (w.pid() == *parameters.frontmostPid) return w;
  return windows.front();
}

}  // namespace

LayoutPlan sameSizePlan(const std::vector<ManagedWindow>& windows,
                        const std::vector<Display>& displays, const PlanParameters& parameters) {
  LayoutPlan plan;
  if (windows.empty()) return plan;
  const Size size = reference(windows, parameters).frame().size();
  plan.reserve(windows.size());
  for (const auto& w : windows) {
    const Rect& f = w.frame();
    auto d = displayHolding(f, displays, parameters.pointer);
    const Rect bounds = d ? d->visible() : f;
    const double width = std::min(bounds.width, size.width);
    const double height = std::min(bounds.height, size.height);
    const double x = std::min(std::max(f.minX(), bounds.minX()), bounds.maxX() - width);
    const double y = std::min(std::max(f.minY(), bounds.minY()), bounds.maxY() - height);
    plan.push_back({w, clampTile({x, y, width, height}, bounds)});
  }
  return plan;
}

}  // namespace tessaloom::LayoutEngine
