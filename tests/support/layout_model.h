// A small model of the five layouts, written apart from the engine, to check what it plans.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/geometry.h"

namespace tessaloom::model {

struct Window {
  Rect frame;
  bool ai = false;
  double minWidth = 0;
};
struct Screen {
  Rect frame, usable;
};

namespace detail {

// No tile is smaller than one point or placed at a non-finite position.
inline Rect tile(double x, double y, double w, double h, const Rect& area) {
  auto size = [](double v) { return std::isfinite(v) && v >= 1 ? v : 1.0; };
  auto at = [](double v, double o) { return std::isfinite(v) ? v : std::isfinite(o) ? o : 0.0; };
  return {at(x, area.x), at(y, area.y), size(w), size(h)};
}

// The screen whose frame, one point larger all round, holds the pointer; else the first.
inline std::size_t screenUnder(Point p, const std::vector<Screen>& screens) {
  for (std::size_t i = 0; i < screens.size(); ++i)
    if (screens[i].frame.insetBy(-1, -1).contains(p)) return i;
  return 0;
}

// The screen sharing the most area with `r`; with none, the one under the pointer.
inline std::size_t screenHolding(const Rect& r, const std::vector<Screen>& screens, Point p) {
  double most = 0;
  std::size_t found = screens.size();
  for (std::size_t i = 0; i < screens.size(); ++i) {
    const Rect c = screens[i].frame.intersection(r);
    if (!c.isNull() && c.width * c.height > most) most = c.width * c.height, found = i;
  }
  return found < screens.size() ? found : screenUnder(p, screens);
}

// Browsers first; left edges within 20 points share a column, read from the top.
inline bool before(const Window& a, const Window& b) {
  if (a.ai != b.ai) return b.ai;
  if (std::fabs(a.frame.minX() - b.frame.minX()) > 20) return a.frame.minX() < b.frame.minX();
  return a.frame.minY() < b.frame.minY();
}

// Each window walks left past those it goes before (from 64 on, exact for distinct columns).
inline std::vector<std::size_t> placementOrder(const std::vector<Window>& windows,
                                               const std::vector<std::size_t>& group) {
  std::vector<std::size_t> order;
  for (std::size_t i : group) {
    auto at = order.end();
    while (at != order.begin() && before(windows[i], windows[*(at - 1)])) --at;
    order.insert(at, i);
  }
  return order;
}

// Counts are doubles: every count a desktop can have is exact in one.
inline std::vector<Rect> grid(double n, const Rect& a, double gap, double aspect) {
  auto share = [gap](double length, double parts) { return (length - (parts - 1) * gap) / parts; };
  double rows = 1, best = std::numeric_limits<double>::infinity();
  for (double r = 1; r <= n; ++r) {
    const double c = std::ceil(n / r), cw = share(a.width, c), ch = share(a.height, r);
    if (c * (r - 1) >= n || !(cw > 0) || !(ch > 0)) continue;
    const double score =
        (r * c - n) * 0.25 + std::fabs(std::log(cw / ch / aspect)) + (cw < 420 || ch < 300 ? 2 : 0);
    if (score < best) best = score, rows = r;
  }
  std::vector<Rect> out;
  for (double i = 0, h = share(a.height, rows); i < rows; ++i) {
    const double k = std::floor(n / rows) + (i < std::fmod(n, rows) ? 1 : 0), w = share(a.width, k);
    for (double j = 0; j < k; ++j)
      out.push_back(tile(a.x + (w + gap) * j, a.y + (h + gap) * i, w, h, a));
  }
  return out;
}

inline void columns(std::vector<Rect>& out, double n, const Rect& a, double gap, double least) {
  const double w = (a.width - (n - 1) * gap) / n, h = (a.height - gap) * 0.5;
  if (n > 1 && w < least) {
    columns(out, std::ceil(n / 2), {a.x, a.y, a.width, h}, gap, least);
    columns(out, std::floor(n / 2), {a.x, a.y + h + gap, a.width, h}, gap, least);
  } else {
    for (double j = 0; j < n; ++j) out.push_back(tile(a.x + (w + gap) * j, a.y, w, a.height, a));
  }
}

inline std::vector<Rect> cascade(double n, const Rect& a) {
  const double W = a.width, H = a.height;
  double w = std::clamp(W * 0.6, std::min(W, 900.0), 1800.0), h = H * 0.88, step = 32, shift = 0;
  if (n > 1) {
    const double room = std::min(W - std::min(W, 200.0), H - std::min(H, 150.0));
    step = std::min(std::clamp((H - H * 0.6) / (n - 1), 12.0, 32.0), std::max(room, 0.0) / (n - 1));
    shift = step * (n - 1);
    w = std::min(w, W - shift), h = std::min(h, H - shift);
  }
  const double x = a.x + W * 0.5 - (w + shift) * 0.5, y = a.y + H * 0.5 - (h + shift) * 0.5;
  std::vector<Rect> out;
  for (double i = 0; i < n; ++i) out.push_back(tile(x + step * i, y + step * i, w, h, a));
  return out;
}

}  // namespace detail

/// The frames `layout` ("grid", "columns", "aiSplit", "cascade", "sameSize") gives `windows`
/// (every one of them is arranged), returned in the same order as given. With `mouse`
/// every window goes to the screen under `pointer`, else each stays on its own screen.
/// `reference` is the index of the window whose size sameSize gives the others.
/// A window keeps its frame when there is no screen or its screen's area is all gap.
inline std::vector<Rect> arrange(std::string_view layout, const std::vector<Window>& windows,
                                 const std::vector<Screen>& screens, bool mouse = false,
                                 Point pointer = {}, double gap = 8, double aiRatio = 0.4,
                                 std::size_t reference = 0) {
  using namespace detail;
  if (layout != "grid" && layout != "columns" && layout != "aiSplit" && layout != "cascade" &&
      layout != "sameSize")
    throw std::invalid_argument("unknown layout");
  std::vector<Rect> frames;
  for (const Window& w : windows) frames.push_back(w.frame);
  if (screens.empty() || windows.empty()) return frames;

  if (layout == "sameSize") {  // neither the gap nor the pointer's screen matters here
    const Rect& size = windows[reference < windows.size() ? reference : 0].frame;
    for (Rect& f : frames) {
      const Rect& b = screens[screenHolding(f, screens, pointer)].usable;
      const double w = std::min(b.width, size.width), h = std::min(b.height, size.height);
      f = tile(std::min(std::max(f.minX(), b.minX()), b.maxX() - w),
               std::min(std::max(f.minY(), b.minY()), b.maxY() - h), w, h, b);
    }
    return frames;
  }

  std::vector<std::vector<std::size_t>> on(screens.size());
  for (std::size_t i = 0; i < windows.size(); ++i)
    on[mouse ? screenUnder(pointer, screens) : screenHolding(frames[i], screens, pointer)]
        .push_back(i);
  for (std::size_t s = 0; s < screens.size(); ++s) {
    const Rect& u = screens[s].usable;
    const Rect area(u.x + gap, u.y + gap, u.width - 2 * gap, u.height - 2 * gap);
    if (on[s].empty() || !(area.width > 0 && area.height > 0)) continue;
    const std::vector<std::size_t> order = placementOrder(windows, on[s]);
    const auto n = static_cast<double>(order.size());
    // Placement puts the browsers first, so the AI windows are the last `ai` of the order.
    const double ai =
        std::count_if(order.begin(), order.end(), [&](auto i) { return windows[i].ai; });
    std::vector<Rect> tiles;
    if (layout == "columns") {
      double least = 400;
      for (const auto i : order) least = std::max(least, windows[i].minWidth);
      columns(tiles, n, area, gap, least);
    } else if (layout == "cascade") {
      tiles = cascade(n, area);
    } else if (layout == "grid" || ai == 0 || ai == n) {
      tiles = grid(n, area, gap, 1.3);
    } else {
      const double aiWidth = (area.width - gap) * aiRatio;
      const Rect left(area.x, area.y, area.width - gap - aiWidth, area.height);
      tiles = grid(n - ai, left, gap, 1.3);
      for (const Rect& r : grid(ai, {left.maxX() + gap, area.y, aiWidth, area.height}, gap, 1.0))
        tiles.push_back(r);
    }
    for (std::size_t k = 0; k < order.size(); ++k) frames[order[k]] = tiles[k];
  }
  return frames;
}

}  // namespace tessaloom::model
