// Asks the window manager to move and resize a client's outer frame, and to take it out of the
// maximized and full-screen states first (managers drop moves of maximized windows).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

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

/// Sends _NET_MOVERESIZE_WINDOW (north-west gravity, from a pager) for the whole frame.
void requestFrame(Connection& connection, xcb_window_t window, const FrameRequest& request);

/// Asks the manager to drop the maximized (and full-screen) states of `window` and waits, on
/// property events, until it has or `deadline` passes. True when the states are gone.
bool leaveMaximized(Connection& connection, xcb_window_t window, bool fullscreen,
                    Deadline deadline);

}  // namespace tessaloom::platform::x11
