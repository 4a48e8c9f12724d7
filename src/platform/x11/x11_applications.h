// Groups managed windows into applications: one per (identifier, process), with the pid under
// which the window seam names it. Pure logic over fetched facts; no server access.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/desktop_entries.h"
#include "platform/x11/x11_window_facts.h"

namespace tessaloom::platform::x11 {

struct Application {
  std::int32_t pid = 0;  // the handle: the process id, or a negative stand-in (see PidAssigner)
  std::uint32_t processId = 0;  // _NET_WM_PID, 0 when the windows did not say
  std::optional<std::string> identifier;
  std::optional<std::string> name;
  std::vector<xcb_window_t> windows;  // in client-list order
};

/// Gives every application a pid of its own that stays the same for the life of the process.
/// An application keeps its process id when it is the first seen with it; applications
/// without a process id, and further applications of a process that shows windows of several
/// identifiers, get negative stand-ins, so that one pid never stands for two applications and
/// no window is listed twice.
class PidAssigner {
 public:
  std::int32_t pidFor(const std::optional<std::string>& identifier, std::uint32_t processId);

 private:
  std::map<std::pair<std::optional<std::string>, std::uint32_t>, std::int32_t> assigned_;
  std::set<std::int32_t> claimed_;
  std::int32_t next_ = -1;
};

/// The applications of `windows` (docks, desktops and unreadable windows left out), in the
/// order of their first window. Windows on other virtual desktops make their application run
/// but are not among its windows: arranging what the user cannot see would leave gaps.
std::vector<Application> groupApplications(const std::vector<WindowFacts>& windows,
                                           const DesktopEntryIndex& entries, PidAssigner& pids,
                                           std::optional<std::uint32_t> currentDesktop = {});

}  // namespace tessaloom::platform::x11
