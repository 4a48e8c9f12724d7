// Chooses the desktop for a run of the program (a scene file, or the real X11 desktop), wires
// its services into the platform seam, and tears it down at the end.
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
};

/// The desktop named by the environment, with its services installed; nothing, and one line
/// for the user in `error`, when no desktop can be reached.
std::unique_ptr<Desktop> openDesktop(std::string& error);

}  // namespace tessaloom::platform
