// The update seam: an outside update machinery that the status menu can ask to check now.
// Optional: a platform without one leaves Services::updater null and the menu item disabled.
#pragma once

namespace tessaloom::platform {

class Updater {
 public:
  virtual ~Updater() = default;

  /// Whether a check may start now (false while one runs).
  virtual bool canCheckForUpdates() = 0;
  /// Starts a user-initiated check; the updater shows its own windows.
  virtual void checkForUpdates() = 0;
};

}  // namespace tessaloom::platform
