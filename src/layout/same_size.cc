#include <algorithm>

#include "layout/layout_engine.h"
#include "windows/window_manager.h"

namespace tessaloom::LayoutEngine {

LayoutPlan sameSizePlan(const std::vector<ManagedWindow>& windows,
                        const std::vector<Display>& displays) {
  LayoutPlan plan;
  auto reference = WindowManager::frontmostWindow(windows);
  if (!reference) return plan;
  const Size size = reference->frame().size();
  plan.reserve(windows.size());
  for (const auto& w : windows) {
    const Rect& f = w.frame();
    auto d = WindowManager::display(f, displays);
    const Rect bounds = d ? d->visible() : f;
    const double width = std::min(bounds.width, size.width);
    const double height = std::min(bounds.height, size.height);
    const double x = std::min(std::max(f.minX(), bounds.minX()), bounds.maxX() - width);
    const double y = std::min(std::max(f.minY(), bounds.minY()), bounds.maxY() - height);
    plan.push_back({w, {x, y, width, height}});
  }
  return plan;
}

}  // namespace tessaloom::LayoutEngine
