#include "platform/x11/x11_applications.h"

#include <map>

namespace tessaloom::platform::x11 {

std::vector<Application> groupApplications(const std::vector<WindowFacts>& windows,
                                           const xdg::DesktopEntryIndex& entries,
                                           xdg::PidAssigner& pids,
                                           std::optional<std::uint32_t> currentDesktop) {
  std::vector<Application> apps;
  std::map<std::int32_t, std::size_t> byPid;
  for (const WindowFacts& w : windows) {
    if (w.status != WindowFacts::Status::ok || !isApplicationWindow(w)) continue;
    const xdg::AppIdentity identity =
        xdg::identifyApplication(entries, {w.gtkApplicationId, w.instance, w.wmClass});
    const std::int32_t pid = pids.pidFor(identity.identifier, w.pid);
    auto [it, added] = byPid.emplace(pid, apps.size());
    if (added) {
      Application app;
      app.pid = pid;
      app.processId = w.pid;
      app.identifier = identity.identifier;
      app.name = identity.name;
      apps.push_back(std::move(app));
    }
    Application& app = apps[it->second];
    if (onDesktop(w, currentDesktop)) app.windows.push_back(w.id);
  }
  return apps;
}

}  // namespace tessaloom::platform::x11
