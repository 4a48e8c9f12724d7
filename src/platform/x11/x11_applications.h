// Groups managed windows into applications: one per (identifier, process), with the pid under
// which the window seam names it. Pure logic over fetched facts; no server access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/x11_window_facts.h"
#include "platform/xdg/desktop_entries.h"
#include "platform/xdg/pid_assigner.h"

namespace tessaloom::platform::x11 {

struct Application {
  std::int32_t pid = 0;  // the handle: the process id, or a negative stand-in (see PidAssigner)
  std::uint32_t processId = 0;  // _NET_WM_PID, 0 when the windows did not say
  std::optional<std::string> identifier;
  std::optional<std::string> name;
  std::vector<xcb_window_t> windows;  // in client-list order
};

/// The applications of `windows` (docks, desktops and unreadable windows left out), in the
/// order of their first window. Windows on other virtual desktops make their application run
/// but are not among its windows: arranging what the user cannot see would leave gaps.
std::vector<Application> groupApplications(const std::vector<WindowFacts>& windows,
                                           const xdg::DesktopEntryIndex& entries,
                                           xdg::PidAssigner& pids,
                                           std::optional<std::uint32_t> currentDesktop = {});

}  // namespace tessaloom::platform::x11
