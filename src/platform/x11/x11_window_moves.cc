#include "platform/x11/x11_window_moves.h"

#include <cmath>
#include <limits>

#include "platform/x11/x11_properties.h"

namespace tessaloom::platform::x11 {
namespace {

// How long a window must stay without changes to count as settled after leaving a state.
constexpr auto kQuiet = std::chrono::milliseconds(25);

template <class T>
std::optional<T> inRange(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::round(value);
  if (rounded < std::numeric_limits<T>::min() || rounded > std::numeric_limits<T>::max())
    return std::nullopt;
  return static_cast<T>(rounded);
}

// Whether `event` reports a change of `window` itself (a property or its geometry).
bool concerns(const xcb_generic_event_t& event, xcb_window_t window) {
  switch (event.response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY:
      return reinterpret_cast<const xcb_property_notify_event_t&>(event).window == window;
    case XCB_CONFIGURE_NOTIFY:
      return reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == window;
    default:
      return false;
  }
}

bool isPropertyNotify(const xcb_generic_event_t& event, xcb_window_t window, xcb_atom_t atom) {
  if ((event.response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
  const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
  return notify.window == window && notify.atom == atom;
}

// Whether the window still carries a maximized or full-screen state; nothing when unreadable.
std::optional<bool> stillMaximized(Connection& c, xcb_window_t window, bool fullscreen) {
  const auto& e = c.ewmh();
  auto cookie = xcb_get_property(c.raw(), 0, window, e._NET_WM_STATE, XCB_ATOM_ATOM, 0, 64);
  ReplyBatch batch(c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  if (!reply) return std::nullopt;
  for (const xcb_atom_t atom : longsOf(reply.get())) {
    if (atom == e._NET_WM_STATE_MAXIMIZED_VERT || atom == e._NET_WM_STATE_MAXIMIZED_HORZ)
      return true;
    if (fullscreen && atom == e._NET_WM_STATE_FULLSCREEN) return true;
  }
  return false;
}

}  // namespace

std::optional<FrameRequest> frameRequest(const Rect& frame, const FrameExtents& extents) {
  const auto x = inRange<std::int16_t>(frame.x);
  const auto y = inRange<std::int16_t>(frame.y);
  const auto width = inRange<std::uint16_t>(frame.width);
  const auto height = inRange<std::uint16_t>(frame.height);
  if (!x || !y || !width || !height) return std::nullopt;
  const int clientWidth = *width - extents.left - extents.right;
  const int clientHeight = *height - extents.top - extents.bottom;
  if (clientWidth < 1 || clientHeight < 1) return std::nullopt;
  return FrameRequest{*x, *y, static_cast<std::uint16_t>(clientWidth),
                      static_cast<std::uint16_t>(clientHeight)};
}

void requestFrame(Connection& c, xcb_window_t window, const FrameRequest& request) {
  const auto flags = static_cast<xcb_ewmh_moveresize_window_opt_flags_t>(
      XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y |
      XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT);
  // Signed positions travel as two's complement in the 32-bit fields.
  xcb_ewmh_request_moveresize_window(
      &c.ewmh(), c.screenNumber(), window, XCB_GRAVITY_NORTH_WEST,
      XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, flags,
      static_cast<std::uint32_t>(static_cast<std::int32_t>(request.x)),
      static_cast<std::uint32_t>(static_cast<std::int32_t>(request.y)), request.clientWidth,
      request.clientHeight);
  c.flush();
}

bool leaveMaximized(Connection& c, xcb_window_t window, bool fullscreen, Deadline deadline) {
  auto& e = c.ewmh();
  // Watch the state before asking, so that the change cannot slip by unseen.
  const std::uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(c.raw(), window, XCB_CW_EVENT_MASK, &watch);
  xcb_ewmh_request_change_wm_state(&e, c.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                   e._NET_WM_STATE_MAXIMIZED_VERT, e._NET_WM_STATE_MAXIMIZED_HORZ,
                                   XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  if (fullscreen)
    xcb_ewmh_request_change_wm_state(&e, c.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                     e._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  c.flush();
  bool left = false;
  for (;;) {
    const auto state = stillMaximized(c, window, fullscreen);
    if (!state) break;  // gone or unreadable
    if (!*state) {
      left = true;
      break;
    }
    const xcb_atom_t atom = e._NET_WM_STATE;
    if (!c.waitForEvent([&](const auto& ev) { return isPropertyNotify(ev, window, atom); },
                        deadline))
      break;
  }
  if (left) {
    // Managers change the state first and the frame extents and geometry after it; a move
    // computed from the old extents would miss. Let the window settle: wait until it has been
    // quiet for a moment.
    while (c.waitForEvent([&](const auto& ev) { return concerns(ev, window); },
                          std::min(deadline, Clock::now() + kQuiet))) {
    }
  }
  const std::uint32_t none = 0;
  xcb_change_window_attributes(c.raw(), window, XCB_CW_EVENT_MASK, &none);
  c.flush();
  return left;
}

}  // namespace tessaloom::platform::x11
