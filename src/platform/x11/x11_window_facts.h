// Reads what the backend needs to know about the managed windows, for all of them at once: the
// requests of a step are sent before its first reply is awaited, so a fetch costs three round
// trips (the root's lists; which properties each window has and where it is; the properties it
// has) whatever the number of windows.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_monitors.h"

namespace tessaloom::platform::x11 {

enum class WindowType { none, normal, dialog, utility, toolbar, dock, desktop, other };

/// Decoration around the client window: the manager's frame extents plus the client's border.
struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
  friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

struct WindowFacts {
  enum class Status { ok, gone, unreadable };

  xcb_window_t id = XCB_WINDOW_NONE;
  Status status = Status::unreadable;
  std::string gtkApplicationId;  // empty when absent
  std::string instance;          // WM_CLASS instance, empty when absent
  std::string wmClass;           // WM_CLASS class, empty when absent
  std::optional<std::string> title;
  std::uint32_t pid = 0;                 // 0 when _NET_WM_PID is absent
  std::optional<std::uint32_t> desktop;  // _NET_WM_DESKTOP; kAllDesktops for sticky windows
  WindowType type = WindowType::none;
  bool transient = false;
  bool hidden = false;
  bool fullscreen = false;
  bool maximized = false;  // vertically or horizontally
  FrameExtents extents;
  Rect frame;    // the outer frame in root coordinates
  Size minimum;  // the outer frame's least size from WM_NORMAL_HINTS; zero when none is set
  // _NET_WM_STRUT_PARTIAL's 12 values, else _NET_WM_STRUT's 4; empty when it keeps no space.
  std::vector<std::uint32_t> strut;
};

inline constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;

/// An ordinary application window: of the normal type, or of no type and transient for none.
inline bool isStandard(const WindowFacts& window) {
  return window.type == WindowType::normal ||
         (window.type == WindowType::none && !window.transient);
}
/// Docks and desktops are part of the desktop, not windows of an application.
inline bool isApplicationWindow(const WindowFacts& window) {
  return window.type != WindowType::dock && window.type != WindowType::desktop;
}
/// Whether the window shows on the current virtual desktop (always, when either is unknown).
inline bool onDesktop(const WindowFacts& window, std::optional<std::uint32_t> current) {
  return !current || !window.desktop || *window.desktop == kAllDesktops ||
         *window.desktop == *current;
}

struct RootFacts {
  bool ok = false;                     // the lists could be read
  std::vector<xcb_window_t> clients;   // _NET_CLIENT_LIST, oldest first
  std::vector<xcb_window_t> stacking;  // _NET_CLIENT_LIST_STACKING, bottom to top
  xcb_window_t active = XCB_WINDOW_NONE;
  std::optional<std::uint32_t> currentDesktop;  // _NET_CURRENT_DESKTOP
  std::vector<Monitor> monitors;                // RandR's, primary first; none without RandR 1.5
  Point origin;   // the primary monitor's top-left corner in root coordinates
  Size rootSize;  // the root window's size; zero when unknown
};

/// The root window's client lists, active window, size and monitors.
RootFacts fetchRootFacts(Connection& connection);

/// The facts of `windows`, in the same order; a window that vanished is `gone`, one whose
/// replies did not come in time (or a lost server) `unreadable`. Frame extents beyond a
/// quarter of `screen` (or 256 pixels) are taken as none. `meanwhile` runs once, as soon as the
/// first requests are on their way: work of the caller's that overlaps the server's.
std::vector<WindowFacts> fetchWindowFacts(Connection& connection,
                                          std::span<const xcb_window_t> windows, Size screen,
                                          const std::function<void()>& meanwhile = {});

/// The frame extents a window claims, when believable on a screen of this size: no side over
/// a quarter of the screen's extent across it, nor over kMaxExtent.
std::optional<FrameExtents> plausibleExtents(std::span<const std::uint32_t> values, Size screen);
inline constexpr std::uint32_t kMaxExtent = 256;

}  // namespace tessaloom::platform::x11
