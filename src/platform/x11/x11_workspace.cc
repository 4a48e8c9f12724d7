#include "platform/x11/x11_workspace.h"

#include <unistd.h>

#include "platform/x11/desktop_entries.h"

namespace tessaloom::platform::x11 {
namespace {

RunningApplication running(const Application& app) {
  RunningApplication r;
  r.pid = app.pid;
  r.activationPolicy = app.regular ? ActivationPolicy::regular : ActivationPolicy::accessory;
  r.bundleIdentifier = app.identifier;
  r.localizedName = app.name;
  r.hidden = false;  // X applications are not hidden as a whole
  return r;
}

}  // namespace

X11Workspace::X11Workspace(Connection& connection, WindowCache& cache)
    : connection_(connection), cache_(cache) {}

std::vector<RunningApplication> X11Workspace::runningApplications() {
  cache_.refresh();
  std::vector<RunningApplication> apps;
  for (const auto& app : cache_.applications()) apps.push_back(running(app));
  return apps;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
  if (const Application* app = cache_.frontmost()) return running(*app);
  return std::nullopt;
}

std::optional<std::string> X11Workspace::urlForApplication(std::string_view bundleIdentifier) {
  return desktopEntryPath(bundleIdentifier);
}

void X11Workspace::openApplication(std::string_view url) {
  launchDesktopEntry(url, connection_.displayName());
}

void X11Workspace::openURL(std::string_view) {}

std::int32_t X11Workspace::currentProcessIdentifier() {
  return static_cast<std::int32_t>(getpid());
}

}  // namespace tessaloom::platform::x11
