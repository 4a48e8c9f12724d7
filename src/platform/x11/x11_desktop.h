// The X11 desktop: one connection to an X server run by an EWMH window manager, and the
// accessibility, workspace and screens services over it. Install them into the platform seam;
// they live as long as this object.
#pragma once

#include <memory>
#include <string>

#include "platform/accessibility.h"
#include "platform/screens.h"
#include "platform/workspace.h"

namespace tessaloom::platform {

namespace x11 {
class Connection;
class WindowCache;
class X11Accessibility;
class X11Workspace;
class X11Screens;
}  // namespace x11

class X11Desktop {
 public:
  /// Connects to the display named by DISPLAY. Nothing, with a one-line reason in `error`,
  /// when no X server answers or no EWMH window manager runs there.
  static std::unique_ptr<X11Desktop> connect(std::string& error);
  /// The same for an explicit display name (":1").
  static std::unique_ptr<X11Desktop> connect(const std::string& display, std::string& error);
  ~X11Desktop();

  Accessibility& accessibility();
  Workspace& workspace();
  Screens& screens();

  /// False once the connection to the server is lost; every service then reports failures.
  bool alive() const;
  /// The discovery cache behind the services (for measuring).
  x11::WindowCache& windowCache();

 private:
  X11Desktop();

  std::unique_ptr<x11::Connection> connection_;
  std::unique_ptr<x11::WindowCache> cache_;
  std::unique_ptr<x11::X11Accessibility> accessibility_;
  std::unique_ptr<x11::X11Workspace> workspace_;
  std::unique_ptr<x11::X11Screens> screens_;
};

}  // namespace tessaloom::platform
