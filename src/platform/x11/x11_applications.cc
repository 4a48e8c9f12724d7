#include "platform/x11/x11_applications.h"

#include <limits>

namespace tessaloom::platform::x11 {

std::int32_t PidAssigner::pidFor(const std::optional<std::string>& identifier,
                                 std::uint32_t processId) {
  const auto key = std::make_pair(identifier, processId);
  if (auto it = assigned_.find(key); it != assigned_.end()) return it->second;
  std::int32_t pid = 0;
  const bool real = processId > 0 && processId <= std::numeric_limits<std::int32_t>::max();
  if (real && !claimed_.count(static_cast<std::int32_t>(processId))) {
    pid = static_cast<std::int32_t>(processId);
  } else {
    pid = next_;
    if (next_ > std::numeric_limits<std::int32_t>::min()) --next_;
  }
  claimed_.insert(pid);
  assigned_.emplace(key, pid);
  return pid;
}

std::vector<Application> groupApplications(const std::vector<WindowFacts>& windows,
                                           const DesktopEntryIndex& entries, PidAssigner& pids,
                                           std::optional<std::uint32_t> currentDesktop) {
  std::vector<Application> apps;
  std::map<std::int32_t, std::size_t> byPid;
  for (const WindowFacts& w : windows) {
    if (w.status != WindowFacts::Status::ok || !isApplicationWindow(w)) continue;
    const AppIdentity identity =
        identifyApplication(entries, {w.gtkApplicationId, w.instance, w.wmClass});
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
