// The login-item seam: whether this program starts when the user logs in, and switching that
// on or off. How the item is recorded is the backend's (an autostart entry on Linux).
#pragma once

#include <string>

namespace tessaloom::platform {

/// Status values, numbered as the platform reports them; only `enabled` shows as on.
enum class LoginItemStatus { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

class LoginItem {
 public:
  virtual ~LoginItem() = default;

  virtual LoginItemStatus status() = 0;
  /// Starts this program at login from now on; false, with a one-line reason in `error`, on
  /// failure.
  virtual bool registerItem(std::string& error) = 0;
  /// Stops starting it at login; false, with a one-line reason in `error`, on failure.
  virtual bool unregisterItem(std::string& error) = 0;
};

}  // namespace tessaloom::platform
