// The desktops the end-to-end scenarios run on. Each says only how to start it, how to open a
// client window and how to read windows back without the program; the steps are the scenario's.
#pragma once

#include <gtest/gtest.h>

#include <strings.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/geometry.h"

namespace tessaloom::e2e {

/// An application as the test clients play it and as the program names it.
struct App {
  std::string identifier;  // desktop-entry id, X11 class and Wayland app id alike
  std::string name;        // its desktop entry's Name
};
inline const App kChrome{"google-chrome", "Google Chrome"};
inline const App kFirefox{"firefox", "Firefox"};
inline const App kChat{"org.example.ChatApp", "ChatGPT"};
// No desktop entry, neither browser nor AI: never arranged.
inline const App kTerminal{"xterm", "XTerm"};
// Debian's browsers, run for real.
inline const App kFirefoxEsr{"firefox-esr", "Firefox ESR"};
inline const App kChromium{"chromium", "Chromium"};

/// The application a window class or app id names, in any case; null for none of the above.
inline const App* appNamed(const std::string& name) {
  for (const App* app : {&kChrome, &kFirefox, &kChat, &kTerminal, &kFirefoxEsr, &kChromium})
    if (::strcasecmp(app->identifier.c_str(), name.c_str()) == 0) return app;
  return nullptr;
}

struct WindowSpec {
  std::string title;
  Rect frame;              // where the client asks to be; the desktop may put it elsewhere
  bool maximized = false;  // maps maximized
  bool vanishes = false;   // its client exits when the desktop first resizes it
};

/// A test window as the desktop reports it, read without the program.
struct SeenWindow {
  std::string app;  // App::identifier
  std::string title;
  Rect frame;  // outer frame, in the top-left space of the primary monitor
  bool maximized = false;
};

/// A monitor as the program should list it.
struct Monitor {
  std::string name;
  Rect frame;
  Rect usable;
};

/// Variables to set for the program; a name with a leading '-' is removed instead.
using Environment = std::vector<std::pair<std::string, std::string>>;

class Desktop {
 public:
  virtual ~Desktop() = default;
  /// Starts the desktop with `monitors` (1 or 2) side by side, writing only under `folder`.
  /// Empty when it runs; otherwise why it cannot run here, and the test is skipped.
  virtual std::string start(const std::filesystem::path& folder, int monitors) = 0;
  /// What the program needs to reach this desktop.
  virtual Environment environment() const = 0;
  /// Opens `windows` as one client of `app`; waits (bounded) until the desktop shows them all.
  virtual ::testing::AssertionResult open(const App& app,
                                          const std::vector<WindowSpec>& windows) = 0;
  /// Quits the clients of `app`; waits (bounded) until their windows are gone.
  virtual ::testing::AssertionResult quit(const App& app) = 0;
  /// The test windows in the order the desktop lists them.
  virtual std::vector<SeenWindow> windows() = 0;
  /// The monitors, primary first.
  virtual std::vector<Monitor> monitors() = 0;
  /// Puts the pointer (or, where the focus chooses the monitor, the focus) on `monitor`.
  virtual ::testing::AssertionResult pointAt(int monitor) = 0;
  /// The monitor the pointer is on, where pointAt cannot move it; -1 when unknown.
  virtual int pointerMonitor() { return -1; }
  /// Starts a program of the user's own (`argv`, as `app`) on the desktop, as its user, and
  /// returns at once; quit(app) or the desktop's end stops it. False where it cannot run one.
  virtual bool launch(const App& /*app*/, const std::vector<std::string>& /*argv*/) {
    return false;
  }
  /// The Exec line of a desktop entry that runs `argv` as launch does.
  virtual std::string execLine(const std::vector<std::string>& argv) const {
    std::string line;
    for (const auto& arg : argv) line += " \"" + arg + "\"";
    return line.substr(1);
  }
  /// Lets the programs launched on the desktop write under `folder`.
  virtual void handOver(const std::filesystem::path& /*folder*/) {}
  /// Presses Control+Alt+`letter` as a user would; false where this desktop cannot.
  virtual bool press(char /*letter*/) { return false; }
  /// Leaves only the first `count` of the monitors it started with lit, as unplugging the others
  /// would (or, where it cannot, changes their sizes); waits (bounded) until it lists them so.
  /// False where it cannot change them.
  virtual bool showMonitors(int /*count*/) { return false; }
  /// Takes the program's channel into the desktop away and brings it back, as switching the
  /// GNOME extension off and on does; false where there is none to switch.
  virtual bool switchChannel() { return false; }
};

}  // namespace tessaloom::e2e
