#include "platform/x11/x11_window_moves.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/x11/x11_properties.h"

namespace tessaloom::platform::x11 {
namespace {

// How long windows must stay without changes to count as settled after leaving a state.
constexpr auto kQuiet = std::chrono::milliseconds(25);

template <class T>
std::optional<T> inRange(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::round(value);
  if (rounded < std::numeric_limits<T>::min() || rounded > std::numeric_limits<T>::max())
    return std::nullopt;
  return static_cast<T>(rounded);
}

// The window a property or geometry change reports on; none for other events.
xcb_window_t changed(const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7F) {
    case XCB_PROPERTY_NOTIFY:
      return reinterpret_cast<const xcb_property_notify_event_t&>(event).window;
    case XCB_CONFIGURE_NOTIFY:
      return reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
    default:
      return XCB_WINDOW_NONE;
  }
}

// Those of `windows` that still carry a maximized or full-screen state (unreadable ones are
// dropped: gone, or the server does not answer).
std::vector<xcb_window_t> stillInState(Connection& c, const std::vector<xcb_window_t>& windows) {
  const auto& e = c.ewmh();
  std::vector<xcb_get_property_cookie_t> cookies;
  for (const xcb_window_t w : windows)
    cookies.push_back(xcb_get_property(c.raw(), 0, w, e._NET_WM_STATE, XCB_ATOM_ATOM, 0, 64));
  ReplyBatch batch(c);
  std::vector<xcb_window_t> still;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    auto reply = batch.take<xcb_get_property_reply_t>(cookies[i]);
    if (!reply) continue;
    for (const xcb_atom_t atom : longsOf(reply.get()))
      if (atom == e._NET_WM_STATE_MAXIMIZED_VERT || atom == e._NET_WM_STATE_MAXIMIZED_HORZ ||
          atom == e._NET_WM_STATE_FULLSCREEN) {
        still.push_back(windows[i]);
        break;
      }
  }
  return still;
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
}

void leaveStates(Connection& c, std::span<const WindowFacts> windows, Deadline deadline) {
  if (windows.empty()) return;
  auto& e = c.ewmh();
  std::vector<xcb_window_t> pending;
  // Watch the states before asking, so that no change can slip by unseen.
  const std::uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  for (const WindowFacts& w : windows) {
    xcb_change_window_attributes(c.raw(), w.id, XCB_CW_EVENT_MASK, &watch);
    xcb_ewmh_request_change_wm_state(&e, c.screenNumber(), w.id, XCB_EWMH_WM_STATE_REMOVE,
                                     e._NET_WM_STATE_MAXIMIZED_VERT, e._NET_WM_STATE_MAXIMIZED_HORZ,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    if (w.fullscreen)
      xcb_ewmh_request_change_wm_state(&e, c.screenNumber(), w.id, XCB_EWMH_WM_STATE_REMOVE,
                                       e._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE,
                                       XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    pending.push_back(w.id);
  }
  auto ours = [&](const xcb_generic_event_t& event) {
    const xcb_window_t w = changed(event);
    return std::any_of(windows.begin(), windows.end(),
                       [&](const WindowFacts& f) { return f.id == w; });
  };
  for (;;) {
    pending = stillInState(c, pending);
    if (pending.empty()) break;
    if (!c.waitForEvent(ours, deadline)) break;
  }
  // Managers change the state first and the frame extents and geometry after it; a move
  // computed from the old extents would miss. Wait until the windows have been quiet a moment.
  while (c.waitForEvent(ours, std::min(deadline, Clock::now() + kQuiet))) {
  }
  const std::uint32_t none = 0;
  for (const WindowFacts& w : windows)
    xcb_change_window_attributes(c.raw(), w.id, XCB_CW_EVENT_MASK, &none);
  c.flush();
}

}  // namespace tessaloom::platform::x11
