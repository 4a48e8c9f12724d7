// The workspace seam: running applications, the frontmost one, installed applications and
// opening things. Mirrors the platform's workspace calls; no policy lives here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::platform {

enum class ActivationPolicy { regular = 0, accessory = 1, prohibited = 2 };

struct RunningApplication {
  std::int32_t pid = 0;
  ActivationPolicy activationPolicy = ActivationPolicy::regular;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> localizedName;
  bool hidden = false;
};

class Workspace {
 public:
  virtual ~Workspace() = default;

  /// Every running application, in the workspace's own order.
  virtual std::vector<RunningApplication> runningApplications() = 0;
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  /// Where the installed application with this identifier lives; nothing when not installed.
  virtual std::optional<std::string> urlForApplication(std::string_view bundleIdentifier) = 0;
  /// Starts opening the application at `url`; returns at once, the outcome is not reported.
  virtual void openApplication(std::string_view url) = 0;
  /// Opens a link (the accessibility settings page); the outcome is not reported.
  virtual void openURL(std::string_view url) = 0;
  /// This process's own identifier.
  virtual std::int32_t currentProcessIdentifier() = 0;
};

}  // namespace tessaloom::platform
