// RandR monitors as rectangles of the root window, primary first. No policy here.
#pragma once

#include <xcb/randr.h>

#include <optional>
#include <vector>

#include "base/geometry.h"
#include "platform/x11/x11_connection.h"

namespace tessaloom::platform::x11 {

struct Monitor {
  xcb_atom_t name = XCB_ATOM_NONE;
  Rect rect;  // root coordinates
  bool primary = false;
};

/// Sends the request for the active monitors; nothing when the server has no RandR 1.5.
std::optional<xcb_randr_get_monitors_cookie_t> requestMonitors(Connection& connection);
/// The monitors of a reply, the primary first (the first listed when none is marked), the
/// others in the server's order. Monitors without area are left out.
std::vector<Monitor> monitorsFromReply(const xcb_randr_get_monitors_reply_t& reply);

}  // namespace tessaloom::platform::x11
