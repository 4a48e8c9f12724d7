#include <algorithm>
#include <cmath>

#include "platform/main_queue.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {
namespace {

// False for a NaN difference.
bool near(double a, double b) {
  return std::fabs(a - b) <= kTolerance;
}

bool near(const Size& a, const Size& b) {
  return near(a.width, b.width) && near(a.height, b.height);
}

bool offTarget(const Rect& current, const Rect& target) {
  // Negated so that a NaN difference counts as a miss.
  return !(near(current.minX(), target.minX()) && near(current.minY(), target.minY()) &&
           near(current.size(), target.size()));
}

}  // namespace

void correct(Context& ctx, const LayoutPlan& plan) {
  std::vector<WindowHandle> handles;
  for (const auto& entry : plan) handles.push_back(entry.window.handle());
  const auto frames = ctx.desktop.frames(handles);
  std::vector<platform::Placement> again;
  for (std::size_t i = 0; i < plan.size() && i < frames.size(); ++i)
    if (const Rect target = plan[i].target.integral();
        !plan[i].tile && frames[i] && offTarget(*frames[i], target))
      again.push_back({handles[i], target, false});
  if (!again.empty()) ctx.desktop.place(again);
}

Size refusedSize(const Rect& before, const Rect& target, const Rect& after) {
  // A window still at its old size may not have answered yet.
  if (!near(after.minX(), target.minX()) || !near(after.minY(), target.minY()) ||
      near(after.size(), before.size()))
    return {};
  const auto larger = [](double got, double asked) { return got > asked + kTolerance ? got : 0; };
  return {larger(after.width, target.width), larger(after.height, target.height)};
}

void apply(Context& ctx, const LayoutPlan& first, const std::function<void()>& meanwhile,
           const Revision& revise) {
  if (first.empty()) return;
  std::vector<platform::Placement> placements;
  std::vector<WindowHandle> handles;
  placements.reserve(first.size());
  handles.reserve(first.size());
  for (const auto& entry : first) {
    placements.push_back({entry.window.handle(), entry.target.integral(), entry.tile});
    handles.push_back(entry.window.handle());
  }
  ctx.desktop.place(placements);
  const double placed = ctx.queue.now();
  if (meanwhile) meanwhile();
  ctx.queue.sleep(std::max(0.0, placed + kSettleSeconds - ctx.queue.now()));

  // Windows that are gone or unreadable are left alone.
  auto frames = ctx.desktop.frames(handles);
  // A client still at its old size has not drawn at its new one yet (on Wayland the desktop
  // waits for it): it is given one more settle, so that what it takes is what is corrected.
  const auto unanswered = [&](std::size_t i) {
    const Rect& had = first[i].window.frame();
    return frames[i] && !first[i].tile && near(frames[i]->size(), had.size()) &&
           !near(placements[i].frame.size(), had.size());
  };
  for (std::size_t i = 0; i < frames.size() && i < first.size(); ++i)
    if (unanswered(i)) {
      ctx.queue.sleep(kSettleSeconds);
      frames = ctx.desktop.frames(handles);
      break;
    }
  // The plan as last sent, in the first plan's order: what each look is compared with.
  LayoutPlan sent = first;
  const auto correctFrom = [&](const std::vector<std::optional<Rect>>& seen) {
    std::vector<platform::Placement> corrections;
    const LayoutPlan revised = revise ? revise(sent, seen) : LayoutPlan();
    // A window put back into tiling takes whatever frame its layout gives it.
    for (std::size_t i = 0; i < placements.size() && i < seen.size(); ++i) {
      auto& placement = placements[i];
      const auto again = std::ranges::find(revised, placement.window,
                                           [](const PlanEntry& e) { return e.window.handle(); });
      if (again != revised.end()) placement.frame = again->target.integral();
      sent[i].target = placement.frame;
      if (!placement.tile && seen[i] && offTarget(*seen[i], placement.frame))
        corrections.push_back(placement);
    }
    if (!corrections.empty()) ctx.desktop.place(corrections);
  };
  correctFrom(frames);
  // A client that resizes itself after the read-back (one floated out of a tiling layout) is
  // looked at again while the desktop says it may, and put back each time it moved away.
  const double watchEnd = ctx.queue.now() + ctx.desktop.unsettledFor();
  while (ctx.queue.now() < watchEnd) {
    ctx.queue.sleep(std::min(kWatchStep, watchEnd - ctx.queue.now()));
    correctFrom(ctx.desktop.frames(handles));
  }
}

}  // namespace tessaloom::WindowManager
