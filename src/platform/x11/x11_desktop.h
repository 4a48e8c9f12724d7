// The X11 desktop: one connection to an X server run by an EWMH window manager, and the window
// seam over it. X has no permission system, so control is available while the server is.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

namespace x11 {
class Connection;
class WindowCache;
}  // namespace x11

class X11Desktop final : public WindowSystem {
 public:
  /// Connects to `display` (the one DISPLAY names when empty), with a deadline on every step.
  /// Fails, with one line saying why, when no X server answers in time or no EWMH window
  /// manager runs there.
  static Result<std::unique_ptr<X11Desktop>> connect(const std::string& display = {});
  ~X11Desktop() override;

  /// Fetches every window anew, and the screens (less the struts the windows keep); empty when
  /// the server is unreachable. The pointer is a round trip of its own, left to pointer().
  DesktopFacts snapshot() override;
  std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) override;
  /// One _NET_MOVERESIZE_WINDOW per window (after leaving the maximized and full-screen states
  /// where needed), all sent with one flush. Frames X cannot carry are not sent.
  void place(std::span<const Placement> placements) override;
  /// Fetches every window anew as snapshot() does: the struts are read with the windows.
  std::vector<Screen> screens() override;
  /// RandR's notifications on a connection of their own.
  std::shared_ptr<void> watchMonitors(std::function<void()> changed) override;
  /// (0, 0) when the server is unreachable.
  Point pointer() override;
  bool launch(std::string_view id) override;
  bool controlAvailable() override { return alive(); }
  void requestControl() override {}

  /// False once the connection to the server is lost: every later call fails.
  bool alive() const;
  /// What went wrong with the server since connecting, as one line: the connection was lost,
  /// or a reply missed its deadline (a frozen server). Nothing when all went well; a command
  /// that ends with trouble must not report success.
  std::optional<std::string> trouble() const;
  /// The IPC socket an i3 window manager names on the root window; nothing elsewhere (and no
  /// round trip on a server where no client ever used the property's name).
  std::optional<std::string> i3SocketPath();
  /// The _NET_WM_NAME of the window manager's _NET_SUPPORTING_WM_CHECK window ("i3" for i3);
  /// empty when it names none. Any client can set the root window's properties, so this
  /// tells who runs, not the socket property.
  std::string windowManagerName();
  /// The discovery cache behind the seam (for measuring).
  x11::WindowCache& windowCache();
  /// The connection (for measuring and tests: it counts round trips).
  x11::Connection& connection();

 private:
  X11Desktop();

  std::unique_ptr<x11::Connection> connection_;
  std::unique_ptr<x11::WindowCache> cache_;
};

}  // namespace tessaloom::platform
