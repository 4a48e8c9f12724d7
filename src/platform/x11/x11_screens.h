// The screens seam over X11: RandR monitors, each less the struts of the docks and panels that
// cover it, and the pointer, in the bottom-left convention the seam expects.
//
// Global space: the window layer flips these rectangles against the first screen's top, so
// its coordinates have their origin at the primary monitor's top-left corner. Window frames
// are reported and written in that same space (root coordinates less the primary monitor's
// origin; see the accessibility service), so both agree wherever the primary monitor sits.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/geometry.h"
#include "platform/screens.h"
#include "platform/x11/x11_connection.h"

namespace tessaloom::platform::x11 {

/// A band along one root edge that a dock or panel keeps for itself.
struct Strut {
  enum class Edge { left, right, top, bottom };
  Edge edge = Edge::left;
  Rect area;  // root coordinates
};

/// The struts of _NET_WM_STRUT_PARTIAL (12 values) or _NET_WM_STRUT (4 values, whole edges) on
/// a root window of the given size; malformed values give nothing.
std::vector<Strut> strutsFrom(std::span<const std::uint32_t> values, double rootWidth,
                              double rootHeight);
/// `monitor` less every strut that overlaps it; the whole monitor when struts would leave no
/// area at all.
Rect usableArea(const Rect& monitor, const std::vector<Strut>& struts);
/// A root rectangle in the bottom-left convention, flipped against the primary monitor.
Rect toBottomLeft(const Rect& root, const Rect& primary);
Point toBottomLeft(Point root, const Rect& primary);

class X11Screens final : public Screens {
 public:
  explicit X11Screens(Connection& connection);

  /// The monitors, primary first (the root window as one screen without RandR monitors);
  /// empty when the server is unreachable.
  std::vector<Screen> screens() override;
  /// The pointer; (0, 0) when the server is unreachable.
  Point mouseLocation() override;

 private:
  Connection& connection_;
};

}  // namespace tessaloom::platform::x11
