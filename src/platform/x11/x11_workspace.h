// The workspace seam over X11: the applications of the managed windows, the frontmost one,
// and installed applications as desktop entries launched through GIO.
#pragma once

#include "platform/workspace.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_cache.h"

namespace tessaloom::platform::x11 {

class X11Workspace final : public Workspace {
 public:
  X11Workspace(Connection& connection, WindowCache& cache);

  /// Fetches the windows anew (a discovery starts here); empty when the server is unreachable.
  std::vector<RunningApplication> runningApplications() override;
  /// The owner of the active window, else of the topmost managed window.
  std::optional<RunningApplication> frontmostApplication() override;
  /// The path of the desktop entry with this id.
  std::optional<std::string> urlForApplication(std::string_view bundleIdentifier) override;
  /// Launches the desktop entry at `url` on this display; failures are not reported.
  void openApplication(std::string_view url) override;
  /// X has no accessibility settings page to open: does nothing.
  void openURL(std::string_view url) override;
  std::int32_t currentProcessIdentifier() override;

 private:
  Connection& connection_;
  WindowCache& cache_;
};

}  // namespace tessaloom::platform::x11
