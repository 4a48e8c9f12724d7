// What the GNOME Shell extension reports, read from its JSON, and the decisions taken on it:
// which windows count on the current workspace, the screens in the seam's top-left space, and
// what each move needs (leave full screen, un-maximize, keep the size). Pure logic, no bus.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.h"
#include "platform/window_system.h"
#include "platform/xdg/desktop_entries.h"

namespace tessaloom::platform::gnome {

/// Mutter's window types that matter here (MetaWindowType).
enum ShellWindowType : int { kNormal = 0, kDesktop = 1, kDock = 2 };

struct ShellWindow {
  WindowHandle id = 0;
  std::uint64_t sequence = 0;  // creation order
  std::string sandboxedAppId, gtkApplicationId, wmClass, wmInstance;
  std::int32_t processId = 0;
  std::string title;
  Rect frame;  // the Shell's stage space
  int type = kNormal;
  bool minimized = false, fullScreen = false, maximized = false, resizable = true;
  int monitor = -1;
  /// -1 on every workspace; -2 on none.
  int workspace = 0;
};

struct ShellMonitor {
  Rect frame, workArea;  // stage space
};

struct ShellFacts {
  std::vector<ShellWindow> windows;  // in creation order
  std::vector<ShellMonitor> monitors;
  int primary = 0;
  Point pointer;
  WindowHandle focus = 0;
  int workspace = 0;

  /// The primary monitor's top left, the origin of the seam's space.
  Point origin() const;
  const ShellWindow* find(WindowHandle id) const;
};

/// The facts in `json`; nothing when it is not what the extension sends.
std::optional<ShellFacts> parseFacts(std::string_view json);

/// The hints a window gives about its application: a sandboxed app id or a GTK application id
/// names the desktop entry outright; a native Wayland window's app id is its WM class.
xdg::WindowClassHints hintsOf(const ShellWindow& window);

/// Whether the window is among its application's windows: on the current workspace or on
/// every one, and not a dock or the desktop.
bool counts(const ShellWindow& window, int currentWorkspace);

/// The window's facts in the seam's space.
WindowFacts factsOf(const ShellWindow& window, Point origin);

/// The screens, primary first, in the seam's space; named by their place in the Shell's list.
std::vector<Screen> screensOf(const ShellFacts& facts);

/// The moves for the extension (a JSON array): for each placement of a window the Shell still
/// has, where it goes in stage space and what must happen first. A window that cannot be
/// resized is only moved (a size it cannot take would drop the move too).
std::string movesFor(const ShellFacts& facts, std::span<const Placement> placements);

/// Frames the Shell reports for windows it moved, by id, in stage space; nothing for a window
/// that is gone.
using ReportedFrames = std::map<WindowHandle, std::optional<Rect>>;
/// Merges a report (`{"<id>": [x, y, width, height] or null, ...}`) into `into`; false, and
/// nothing merged, when the report is not that.
bool mergeFrames(std::string_view json, ReportedFrames& into);
/// The frames of `windows` in the seam's space when the Shell has reported each one at the
/// frame it was sent to (`sent`, seam space); nothing when any is elsewhere, gone or unreported.
std::optional<std::vector<std::optional<Rect>>> framesAtTargets(
    const std::map<WindowHandle, Rect>& sent, const ReportedFrames& reported,
    std::span<const WindowHandle> windows, Point origin);

}  // namespace tessaloom::platform::gnome
