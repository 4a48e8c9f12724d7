// The tray application's services as a module that the program loads only when it runs as the
// tray application: a command never loads the toolkit, whose libraries alone would take
// longer to load than the command takes to run. What the module offers, and its entry.
#pragma once

#include <string>

namespace tessaloom::platform {

struct Services;

/// The tray services made by the module, with the event loop.
class TrayServicesHandle {
 public:
  virtual ~TrayServicesHandle() = default;
  /// Sets the tray members of `services`.
  virtual void installInto(Services& services) = 0;
  /// Records this process as a running tray copy, so later copies find it.
  virtual bool enrollThisProcess() = 0;
  /// Turns the event loop until the application terminates or SIGTERM or SIGINT arrives.
  virtual void run() = 0;
};

struct TrayModule {
  /// Starts the toolkit; false, with one line for the user in `error`, without a display.
  bool (*startToolkit)(std::string& error);
  /// The services, after startToolkit() succeeded; the caller owns them.
  TrayServicesHandle* (*makeServices)();
};

/// The module's file, beside the program in a build tree, or under the library directory
/// named by TESSALOOM_TRAY_MODULE_DIR (relative to the program's prefix) once installed.
inline constexpr const char* kTrayModuleFile = "tessaloom-tray.so";
/// The module's one exported function: `const TrayModule* tessaloom_tray_module()`.
inline constexpr const char* kTrayModuleEntry = "tessaloom_tray_module";
using TrayModuleEntry = const TrayModule* (*)();

}  // namespace tessaloom::platform
