#include "layout/displays.h"
#include "layout/layout_engine.h"

#include <algorithm>

namespace tessaloom::LayoutEngine {
namespace {

struct Group {
  Display display;
  std::vector<ManagedWindow> windows;
};

std::vector<Group> groups(const std::vector<ManagedWindow>& windows,
                          const std::vector<Display>& displays, const PlanParameters& parameters) {
  std::vector<Group> result;
  if (parameters.displayMode == DisplayMode::mouseDisplay) {
    if (auto d = displayUnder(parameters.pointer, displays)) result.push_back({*d, windows});
    return result;
  }
  // Each window's display is decided once, then the groups follow the displays' order.
  std::vector<std::optional<Display>> homes;
  homes.reserve(windows.size());
  for (const auto& w : windows)
    homes.push_back(displayHolding(w.frame(), displays, parameters.pointer));
  for (auto d = displays.begin(); d != displays.end(); ++d) {
    // Displays with one frame (mirrored, or defined twice) are one place to arrange in.
    if (std::any_of(displays.begin(), d, [&](const Display& e) { return e.frame() == d->frame(); }))
      continue;
    Group group{*d, {}};
    for (std::size_t i = 0; i < windows.size(); ++i)
      if (homes[i] && homes[i]->frame() == d->frame()) group.windows.push_back(windows[i]);
    if (!group.windows.empty()) result.push_back(std::move(group));
  }
  return result;
}

}  // namespace

bool needsPointer(LayoutKind kind, const std::vector<ManagedWindow>& windows,
                  const std::vector<Display>& displays, DisplayMode mode) {
  if (kind != LayoutKind::sameSize && mode == DisplayMode::mouseDisplay) return true;
  return std::any_of(windows.begin(), windows.end(),
                     [&](const ManagedWindow& w) { return !displayHolding(w.frame(), displays); });
}

LayoutPlan plan(LayoutKind kind, const std::vector<ManagedWindow>& windows,
                const std::vector<Display>& displays, const PlanParameters& parameters) {
  LayoutPlan result;
  if (windows.empty() || displays.empty()) return result;
  if (kind == LayoutKind::sameSize) return sameSizePlan(windows, displays, parameters);

  const double gap = parameters.gap;
  for (auto& group : groups(windows, displays, parameters)) {
    const Rect& v = group.display.visible();
    const Rect area{v.x + gap, v.y + gap, v.width - 2 * gap, v.height - 2 * gap};
    // A gap that eats the whole usable area leaves nothing sensible to tile into.
    if (!(area.width > 0 && area.height > 0)) continue;
    const auto ordered = sortForLayout(std::move(group.windows));
    const int count = static_cast<int>(ordered.size());
    std::vector<Rect> tiles;
    switch (kind) {
      case LayoutKind::grid:
        tiles = grid(count, area, gap, kGridTargetAspect);
        break;
      case LayoutKind::columns: {
        double widest = 0;
        for (const auto& w : ordered) widest = std::max(widest, w.minimum().width);
        tiles = columns(count, area, gap, widest);
        break;
      }
      case LayoutKind::cascade:
        tiles = cascade(count, area, gap);
        break;
      case LayoutKind::aiSplit: {
        auto pairs = aiSplit(ordered, area, gap, parameters.aiRatio);
        result.insert(result.end(), std::make_move_iterator(pairs.begin()),
                      std::make_move_iterator(pairs.end()));
        continue;
      }
      case LayoutKind::sameSize:
        break;
    }
    for (std::size_t i = 0; i < ordered.size() && i < tiles.size(); ++i)
      result.push_back({ordered[i], tiles[i]});
  }
  return result;
}

}  // namespace tessaloom::LayoutEngine
