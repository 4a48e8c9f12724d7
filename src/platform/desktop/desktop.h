// Chooses the desktop for a run of the program (a scene file, or the real X11 desktop), wires
// its services into the platform seam (with the tray services for a tray run), and tears it
// down at the end.
#pragma once

#include <memory>
#include <string>

namespace tessaloom::platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  /// Called once when a command has ended (the simulated desktop writes its scene back);
  /// false, with one line for the user in `error`, when that fails.
  virtual bool finish(std::string& error) {
    (void)error;
    return true;
  }
  /// Tray runs: turns the event loop until the application terminates or SIGTERM or SIGINT
  /// arrives. Returns at once for command-line runs.
  virtual void run() {}
};

/// What the program runs as: one command, or the tray application.
enum class RunMode { commandLine, tray };

/// The desktop named by the environment, with its services installed; nothing, and one line
/// for the user in `error`, when no desktop can be reached. A tray run also starts the
/// toolkit, installs the tray services and records this process as a running tray copy.
std::unique_ptr<Desktop> openDesktop(std::string& error, RunMode mode = RunMode::commandLine);

}  // namespace tessaloom::platform
