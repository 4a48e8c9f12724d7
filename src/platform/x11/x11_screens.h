// The screens over X11: RandR monitors, each less the struts of the docks and panels that cover
// it, and the pointer. Everything is in root coordinates less the primary monitor's origin, the
// space window frames are read and written in too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/geometry.h"
#include "platform/window_system.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_facts.h"

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
/// The monitors, primary first (the root window as one screen without RandR monitors), each
/// with the area the struts of `windows` leave it, in the global space (origin at the primary
/// monitor's top-left corner); empty when the server is unreachable. Asks only for the
/// monitors' names.
std::vector<Screen> screensOf(Connection& connection, const RootFacts& root,
                              std::span<const WindowFacts> windows);
/// The pointer in the global space; nothing when the server is unreachable.
std::optional<Point> fetchPointer(Connection& connection);

}  // namespace tessaloom::platform::x11
