// The tray application's services as a module that the program loads only when it runs as the
// tray application: a command never loads the toolkit, whose libraries alone would take
// longer to load than the command takes to run. What the module offers, and its entry.
#pragma once

#include "base/result.h"
#include "platform/ui_services.h"

namespace tessaloom::platform {

/// The tray services made by the module, and the event loop they live in.
class TrayServicesHandle {
 public:
  virtual ~TrayServicesHandle() = default;
  /// The services, alive as long as this handle.
  virtual UiServices& ui() = 0;
  /// Turns the event loop until the application quits or SIGTERM or SIGINT arrives.
  virtual void run() = 0;
};

struct TrayModule {
  /// Starts the toolkit; a failure (no display) carries one line for the user.
  Outcome (*startToolkit)();
  /// The services, after startToolkit() succeeded; the caller owns them. They record this
  /// process as a running tray copy, so later copies find it.
  TrayServicesHandle* (*makeServices)();
};

/// The module's file, beside the program in a build tree, or under the library directory
/// named by TESSALOOM_TRAY_MODULE_DIR (relative to the program's prefix) once installed.
inline constexpr const char* kTrayModuleFile = "tessaloom-tray.so";
/// The module's one exported function: `const TrayModule* tessaloom_tray_module()`.
inline constexpr const char* kTrayModuleEntry = "tessaloom_tray_module";
using TrayModuleEntry = const TrayModule* (*)();

}  // namespace tessaloom::platform
