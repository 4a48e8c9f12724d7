// Which desktop backend a run uses: a pure choice from the process environment, so that it can
// be tested without any desktop. Opening the backends is backend_run.h's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tessaloom::platform {

enum class Backend { scene, x11, gnome, kde, sway, i3 };

/// The name TESSALOOM_BACKEND uses for a backend ("x11", "gnome", "kde", "sway", "i3"; "scene").
std::string_view name(Backend backend);
std::optional<Backend> backendFromName(std::string_view name);

/// The variables the choice reads; empty when unset.
struct SessionEnvironment {
  std::string scene;           // TESSALOOM_SCENE
  std::string forced;          // TESSALOOM_BACKEND
  std::string currentDesktop;  // XDG_CURRENT_DESKTOP, a colon-separated list
  std::string sessionType;     // XDG_SESSION_TYPE
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string display;         // DISPLAY
  std::string swaySocket;      // SWAYSOCK
  std::string i3Socket;        // I3SOCK

  static SessionEnvironment fromProcess();
  bool wayland() const;
};

/// The backends to try, in order: a scene file; else the one TESSALOOM_BACKEND forces; else
/// the session's own desktop (GNOME with its extension, and X11 after it on a GNOME X11
/// session; KDE Plasma on Wayland, X11 on Plasma's X11 session, where its window manager takes
/// moves directly and no script round trip is needed; sway; i3, X11 after it); else X11 when
/// DISPLAY is set. A failure line when TESSALOOM_BACKEND names no backend or nothing is
/// reachable at all.
Result<std::vector<Backend>> chooseBackends(const SessionEnvironment& environment);

}  // namespace tessaloom::platform
