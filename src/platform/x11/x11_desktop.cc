#include "platform/x11/x11_desktop.h"

#include "platform/x11/desktop_entries.h"
#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_properties.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_window_cache.h"
#include "platform/x11/x11_workspace.h"

namespace tessaloom::platform {
namespace {

// The window _NET_SUPPORTING_WM_CHECK names on `window`, or none.
xcb_window_t supportingCheck(x11::Connection& c, xcb_window_t window) {
  auto cookie = xcb_get_property(c.raw(), 0, window, c.ewmh()._NET_SUPPORTING_WM_CHECK,
                                 XCB_ATOM_WINDOW, 0, 1);
  x11::ReplyBatch batch(c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  const auto named = x11::longsOf(reply.get());
  return named.empty() ? xcb_window_t{XCB_WINDOW_NONE} : named[0];
}

}  // namespace

X11Desktop::X11Desktop() = default;
X11Desktop::~X11Desktop() = default;

std::unique_ptr<X11Desktop> X11Desktop::connect(std::string& error) {
  return connect("", error);
}

std::unique_ptr<X11Desktop> X11Desktop::connect(const std::string& display, std::string& error) {
  auto connection = x11::Connection::open(display, error);
  if (!connection) return nullptr;
  // An EWMH manager names a child window that names itself.
  const xcb_window_t check = supportingCheck(*connection, connection->root());
  if (check == XCB_WINDOW_NONE || supportingCheck(*connection, check) != check) {
    error = connection->alive()
                ? "no EWMH window manager is running on " + connection->displayName()
                : "lost the connection to the X server at " + connection->displayName();
    return nullptr;
  }
  std::unique_ptr<X11Desktop> desktop(new X11Desktop());
  desktop->connection_ = std::move(connection);
  auto& c = *desktop->connection_;
  desktop->cache_ = std::make_unique<x11::WindowCache>(c, x11::DesktopEntryIndex::installed());
  desktop->accessibility_ = std::make_unique<x11::X11Accessibility>(c, *desktop->cache_);
  desktop->workspace_ = std::make_unique<x11::X11Workspace>(c, *desktop->cache_);
  desktop->screens_ = std::make_unique<x11::X11Screens>(c);
  return desktop;
}

Accessibility& X11Desktop::accessibility() {
  return *accessibility_;
}
Workspace& X11Desktop::workspace() {
  return *workspace_;
}
Screens& X11Desktop::screens() {
  return *screens_;
}
bool X11Desktop::alive() const {
  return connection_->alive();
}
x11::WindowCache& X11Desktop::windowCache() {
  return *cache_;
}

}  // namespace tessaloom::platform
