// Asks the window manager to move and resize clients' outer frames, and to take them out of the
// maximized and full-screen states first (managers drop moves of maximized windows).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <span>

#include "base/geometry.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_facts.h"

namespace tessaloom::platform::x11 {

/// An outer frame in whole root pixels with the client size that goes inside it.
struct FrameRequest {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint16_t clientWidth = 0;
  std::uint16_t clientHeight = 0;
};

/// The request for outer frame `frame` (root coordinates) around a client with `extents`;
/// nothing when a value is not finite, the frame leaves X's coordinate range or nothing of the
/// client would remain.
std::optional<FrameRequest> frameRequest(const Rect& frame, const FrameExtents& extents);

/// Queues one _NET_MOVERESIZE_WINDOW (north-west gravity, from a pager) for the whole frame;
/// the caller flushes.
void requestFrame(Connection& connection, xcb_window_t window, const FrameRequest& request);

/// Asks the manager to drop the maximized and full-screen states of `windows`, all at once, and
/// waits on property events until every one has left them (and then stayed quiet for a moment,
/// as managers change the extents and geometry after the state) or `deadline` passes.
void leaveStates(Connection& connection, std::span<const WindowFacts> windows, Deadline deadline);

}  // namespace tessaloom::platform::x11
