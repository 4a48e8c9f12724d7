#include <cstddef>
#include <vector>

#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// Cells close to square suit the narrower AI side best.
constexpr double kAITargetAspect = 1.0;

void appendPairs(LayoutPlan& plan, const std::vector<const ManagedWindow*>& windows,
                 const std::vector<Rect>& rects) {
  for (std::size_t i = 0; i < windows.size() && i < rects.size(); ++i)
    plan.push_back({*windows[i], rects[i]});
}

}  // namespace

LayoutPlan aiSplit(const std::vector<ManagedWindow>& windows, const Rect& area, double gap,
                   double aiRatio) {
  std::vector<const ManagedWindow*> browserSide;
  std::vector<const ManagedWindow*> aiSide;
  for (const ManagedWindow& w : windows)
    (w.kind() == Kind::ai ? aiSide : browserSide).push_back(&w);

  LayoutPlan plan;
  plan.reserve(windows.size());
  if (browserSide.empty() || aiSide.empty()) {
    // One side holds every window, in their order: one grid over the whole area.
    const auto& all = browserSide.empty() ? aiSide : browserSide;
    appendPairs(plan, all, grid(static_cast<int>(all.size()), area, gap, kGridTargetAspect));
    return plan;
  }

  // The AI side's share of the width that remains after one gap; the ratio is not clamped.
  const double aiWidth = (area.width - gap) * aiRatio;
  const Rect left(area.x, area.y, area.width - gap - aiWidth, area.height);
  const Rect right(left.maxX() + gap, area.y, aiWidth, area.height);
  const std::vector<Rect> aiRects =
      grid(static_cast<int>(aiSide.size()), right, gap, kAITargetAspect);
  const std::vector<Rect> browserRects =
      grid(static_cast<int>(browserSide.size()), left, gap, kGridTargetAspect);
  appendPairs(plan, browserSide, browserRects);
  appendPairs(plan, aiSide, aiRects);
  return plan;
}

}  // namespace tessaloom::LayoutEngine
