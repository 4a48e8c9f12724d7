#include "platform/i3x11/i3_x11_pids.h"

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_properties.h"

namespace tessaloom::platform::i3x11 {

std::map<std::uint32_t, std::uint32_t> x11ProcessIds(const std::vector<std::uint32_t>& windows,
                                                     const std::string& display) {
  std::map<std::uint32_t, std::uint32_t> pids;
  if (windows.empty()) return pids;
  std::string error;
  auto c = x11::Connection::open(display, error);
  if (!c) return pids;
  std::vector<xcb_get_property_cookie_t> cookies;
  for (const std::uint32_t w : windows)
    cookies.push_back(
        xcb_get_property(c->raw(), 0, w, c->ewmh()._NET_WM_PID, XCB_ATOM_CARDINAL, 0, 1));
  x11::ReplyBatch batch(*c);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    auto reply = batch.take<xcb_get_property_reply_t>(cookies[i]);
    const auto values = x11::longsOf(reply.get());
    if (!values.empty() && values[0] > 0) pids[windows[i]] = values[0];
  }
  return pids;
}

}  // namespace tessaloom::platform::i3x11
