#include "platform/x11/x11_monitors.h"

#include <algorithm>

namespace tessaloom::platform::x11 {

std::optional<xcb_randr_get_monitors_cookie_t> requestMonitors(Connection& connection) {
  if (!connection.hasMonitors()) return std::nullopt;
  return xcb_randr_get_monitors(connection.raw(), connection.root(), 1);
}

std::vector<Monitor> monitorsFromReply(const xcb_randr_get_monitors_reply_t& reply) {
  std::vector<Monitor> monitors;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(&reply); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    const xcb_randr_monitor_info_t& info = *it.data;
    if (info.width == 0 || info.height == 0) continue;
    monitors.push_back(
        {info.name, Rect(info.x, info.y, info.width, info.height), info.primary != 0});
  }
  std::stable_partition(monitors.begin(), monitors.end(),
                        [](const Monitor& m) { return m.primary; });
  return monitors;
}

}  // namespace tessaloom::platform::x11
