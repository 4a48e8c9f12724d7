#include "platform/i3x11/i3_root_socket.h"

#include <cstring>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_properties.h"

namespace tessaloom::platform::i3x11 {

std::optional<std::string> socketPathFromDisplay(const std::string& display) {
  std::string error;
  auto c = x11::Connection::open(display, error);
  if (!c) return std::nullopt;
  constexpr const char* kName = "I3_SOCKET_PATH";
  auto atomCookie =
      xcb_intern_atom(c->raw(), 1, static_cast<std::uint16_t>(std::strlen(kName)), kName);
  xcb_atom_t atom = XCB_ATOM_NONE;
  {
    x11::ReplyBatch batch(*c);
    if (auto reply = batch.take<xcb_intern_atom_reply_t>(atomCookie)) atom = reply->atom;
  }
  if (atom == XCB_ATOM_NONE) return std::nullopt;
  auto cookie = xcb_get_property(c->raw(), 0, c->root(), atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
  x11::ReplyBatch batch(*c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  std::string path(x11::bytesOf(reply.get()));
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace tessaloom::platform::i3x11
