// Chooses the desktop for a run of the program (a scene file, or the real X11 desktop), opens
// its services (with the tray application's on top for a tray run), and tears them down at the
// end.
#pragma once

#include <memory>

#include "base/result.h"
#include "platform/defaults_store.h"
#include "platform/main_queue.h"
#include "platform/ui_services.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual WindowSystem& windows() = 0;
  virtual DefaultsStore& defaults() = 0;
  virtual MainQueue& queue() = 0;
  /// The tray application's services; null for a command-line run.
  virtual UiServices* ui() { return nullptr; }
  /// Called once when a command has ended (the simulated desktop writes its scene back).
  virtual Outcome finish() { return {}; }
  /// Tray runs: turns the event loop until the application quits or SIGTERM or SIGINT
  /// arrives. Returns at once for command-line runs.
  virtual void run() {}
};

/// What the program runs as: one command, or the tray application.
enum class RunMode { commandLine, tray };

/// The desktop named by the environment with its services open; one line for the user when no
/// desktop can be reached. A tray run also starts the toolkit and makes the tray services.
Result<std::unique_ptr<Desktop>> openDesktop(RunMode mode = RunMode::commandLine);

}  // namespace tessaloom::platform
