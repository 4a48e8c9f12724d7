// The login-item seam: whether this program starts when the user logs in, and switching that
// on or off. How the item is recorded is the backend's (an autostart entry on Linux).
#pragma once

#include "base/result.h"

namespace tessaloom::platform {

class LoginItem {
 public:
  virtual ~LoginItem() = default;

  /// Whether the program starts at login.
  virtual bool enabled() = 0;
  /// Starts the program at login from now on, or stops doing so.
  virtual Outcome setEnabled(bool enabled) = 0;
};

}  // namespace tessaloom::platform
