// The window seam: the user's running applications and their windows as plain facts, putting
// windows at frames, the screens and the pointer, launching applications, and whether this
// program may move windows at all. Every rectangle is in one global space: origin at the top
// left of the primary screen, y growing downwards, outer frames (decorations included). No
// policy lives here: which windows count, and where they go, is the core's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom::platform {

/// The application that shows a window, as the desktop tells it.
struct AppIdentity {
  /// Its desktop-entry id ("firefox-esr", "org.gnome.Epiphany"); empty when it has none.
  std::string id;
  /// The name people know it by; empty when it has none.
  std::string name;
  /// The process that shows the window; 0 when the desktop does not say.
  std::uint32_t processId = 0;
  friend bool operator==(const AppIdentity&, const AppIdentity&) = default;
};

/// One top-level window of the user's applications (this program's left out).
struct WindowFacts {
  WindowHandle handle = 0;
  /// Empty when the window has none.
  std::string title;
  Rect frame;
  /// An ordinary application window: not a dialog, panel, dock, menu or splash screen.
  bool standard = true;
  bool minimized = false;
  bool fullScreen = false;
  /// Held by a tiling layout (sway, i3) rather than floating at a frame of its own.
  bool tiled = false;
  /// The smallest frame the window takes, decorations included; zero where the desktop does
  /// not tell.
  Size minimum;
  AppIdentity app{};
  /// It has the focus (on X11 without an active window: the topmost one).
  bool focused = false;
  /// Only on another workspace: its application runs, but it is not to be arranged.
  bool elsewhere = false;
  friend bool operator==(const WindowFacts&, const WindowFacts&) = default;
};

/// One running application of the user's (this program left out), as the core names it.
struct AppFacts {
  /// Its desktop-entry id; empty when it has none.
  std::string id;
  /// The name people know it by; empty when it has none.
  std::string name;
  /// The process id, or a negative number standing in for it; unique among the applications.
  std::int32_t pid = 0;
  /// It owns the focused window.
  bool frontmost = false;
  friend bool operator==(const AppFacts&, const AppFacts&) = default;
};

/// One screen: its whole frame, and the part not taken by panels and docks.
struct Screen {
  Rect frame;
  Rect usable;
  std::string name;
  friend bool operator==(const Screen&, const Screen&) = default;
};

/// What to tell a person who must let this program move windows on a desktop where that takes
/// a step of theirs (enabling an extension, allowing scripts).
struct ControlPrompt {
  /// The command line's one line.
  std::string line;
  /// The tray's alert: its title, its text and its buttons, the first of which asks the
  /// desktop for control through requestControl().
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
};

/// A window and the frame it is to take (whole numbers).
struct Placement {
  WindowHandle window = 0;
  Rect frame;
  /// Put the window back into the tiling layout instead (sway, i3), where it takes the frame
  /// the layout gives it; desktops without tiling place it at `frame`.
  bool tile = false;
};

/// The desktop as one look finds it.
struct DesktopFacts {
  /// In the desktop's own order.
  std::vector<WindowFacts> windows;
  /// Running applications whose windows are not listed (none, or they cannot be read); where
  /// the desktop tells of such.
  std::vector<AppIdentity> windowless;
  /// Primary first; empty when there is none.
  std::vector<Screen> screens;
  /// The pointer, where the same look tells it; nothing where it takes a request of its own
  /// (pointer() then reads it).
  std::optional<Point> pointer;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  /// The windows and the screens, read anew, with as few round trips to the desktop as it
  /// allows; empty when the desktop cannot be read.
  virtual DesktopFacts snapshot() = 0;
  /// The current frames of these windows, in the same order; nothing for a window that is gone
  /// or cannot be read.
  virtual std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) = 0;
  /// Puts each window at its frame, doing whatever the desktop needs for that (leaving full
  /// screen, un-maximizing, floating on a tiling desktop) with one request per window where
  /// the desktop allows. Returns once the requests are sent; windows that are gone or refuse
  /// are skipped. The caller checks the outcome with frames().
  virtual void place(std::span<const Placement> placements) = 0;
  /// For how many seconds from now the windows the last placements changed may still resize
  /// themselves: a client floated out of a tiling layout answers with a size of its own some
  /// time after the command. Zero where a placement read back is final.
  virtual double unsettledFor() { return 0; }

  /// The screens, primary first; empty when there is none.
  virtual std::vector<Screen> screens() = 0;
  /// Calls `changed` on the main loop each time a monitor may have come, gone or changed size,
  /// as the desktop reports it (never by polling), until the returned token is dropped. Where
  /// the desktop reports no such events, `changed` is never called.
  virtual std::shared_ptr<void> watchMonitors(std::function<void()> changed) {
    (void)changed;
    return nullptr;
  }
  /// The pointer's position.
  virtual Point pointer() = 0;

  /// Starts the installed application with this desktop-entry id; false, with nothing
  /// started, when no such application is installed.
  virtual bool launch(std::string_view id) = 0;

  /// Whether this program may read and move other applications' windows now.
  virtual bool controlAvailable() = 0;
  /// Asks the desktop to let the user grant that control (shows its own request, or opens the
  /// place where it is granted); does nothing where control is always available.
  virtual void requestControl() = 0;
  /// The words this desktop needs for that request; nothing where the program's own serve.
  virtual std::optional<ControlPrompt> controlPrompt() { return std::nullopt; }
};

}  // namespace tessaloom::platform
