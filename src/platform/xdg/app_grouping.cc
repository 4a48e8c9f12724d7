#include "platform/xdg/app_grouping.h"

namespace tessaloom::platform::xdg {

AppWindows& AppGrouping::of(const WindowClassHints& hints, std::uint32_t processId) {
  const auto identity = identifyApplication(entries_, hints);
  const std::int32_t pid = pids_.pidFor(identity.identifier, processId);
  const auto [it, added] = byPid_.emplace(pid, apps_.size());
  if (added)
    apps_.push_back({{identity.identifier.value_or(""), identity.name.value_or(""), pid, false},
                     std::vector<WindowFacts>{}});
  return apps_[it->second];
}

}  // namespace tessaloom::platform::xdg
