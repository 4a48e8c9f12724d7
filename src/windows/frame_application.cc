#include <algorithm>
#include <cmath>

#include "platform/main_queue.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {
namespace {

bool offTarget(const Rect& current, const Rect& target) {
  // Negated so that a NaN difference counts as a miss.
  auto near = [](double a, double b) { return std::fabs(a - b) <= kTolerance; };
  return !(near(current.minX(), target.minX()) && near(current.minY(), target.minY()) &&
           near(current.width, target.width) && near(current.height, target.height));
}

}  // namespace

void apply(Context& ctx, const LayoutPlan& plan, const std::function<void()>& meanwhile) {
  if (plan.empty()) return;
  std::vector<platform::Placement> placements;
  std::vector<WindowHandle> handles;
  placements.reserve(plan.size());
  handles.reserve(plan.size());
  for (const auto& entry : plan) {
    placements.push_back({entry.window.handle(), entry.target.integral(), entry.tile});
    handles.push_back(entry.window.handle());
  }
  ctx.desktop.place(placements);
  const double placed = ctx.queue.now();
  if (meanwhile) meanwhile();
  ctx.queue.sleep(std::max(0.0, placed + kSettleSeconds - ctx.queue.now()));

  // Windows that are gone or unreadable are left alone.
  const auto frames = ctx.desktop.frames(handles);
  std::vector<platform::Placement> corrections;
  // A window put back into tiling takes whatever frame its layout gives it.
  for (std::size_t i = 0; i < placements.size() && i < frames.size(); ++i)
    if (!placements[i].tile && frames[i] && offTarget(*frames[i], placements[i].frame))
      corrections.push_back(placements[i]);
  if (!corrections.empty()) ctx.desktop.place(corrections);
}

}  // namespace tessaloom::WindowManager
