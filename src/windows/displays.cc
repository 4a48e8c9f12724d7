#include "platform/screens.h"
#include "platform/services.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {
namespace {

// Flips a bottom-left rectangle into the top-left space whose origin is the primary's top.
Rect flipped(const Rect& r, double reference) {
  return {r.minX(), reference - r.maxY(), r.standardized().width, r.standardized().height};
}

}  // namespace

std::vector<Display> displays() {
  auto screens = platform::services().screens->screens();
  std::vector<Display> result;
  if (screens.empty()) return result;
  const double reference = screens.front().frame.maxY();
  result.reserve(screens.size());
  for (const auto& s : screens)
    result.emplace_back(flipped(s.frame, reference), flipped(s.visibleFrame, reference),
                        s.localizedName);
  return result;
}

std::optional<Display> mouseDisplay(const std::vector<Display>& list) {
  auto& screens = *platform::services().screens;
  const Point mouse = screens.mouseLocation();
  auto all = screens.screens();
  const double reference = all.empty() ? 0 : all.front().frame.maxY();
  if (list.empty()) return std::nullopt;
  const Point converted{mouse.x, reference - mouse.y};
  for (const auto& d : list)
    if (d.frame().insetBy(-1, -1).contains(converted)) return d;
  return list.front();
}

std::optional<Display> display(const Rect& rect, const std::vector<Display>& list) {
  double bestArea = 0;
  const Display* best = nullptr;
  for (const auto& d : list) {
    const Rect common = d.frame().intersection(rect);
    const double area = common.isNull() ? 0 : common.width * common.height;
    if (area > bestArea) {
      bestArea = area;
      best = &d;
    }
  }
  if (best) return *best;
  return mouseDisplay(list);
}

}  // namespace tessaloom::WindowManager
