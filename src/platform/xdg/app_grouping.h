// Windows gathered into the applications the window seam lists: each window's identity from
// the desktop entries, its application's pid from the assigner, applications in the order of
// their first windows.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/window_system.h"
#include "platform/xdg/desktop_entries.h"
#include "platform/xdg/pid_assigner.h"

namespace tessaloom::platform::xdg {

class AppGrouping {
 public:
  /// Both must outlive the grouping.
  AppGrouping(const DesktopEntryIndex& entries, PidAssigner& pids)
      : entries_(entries), pids_(pids) {}
  /// The application of a window with these hints, shown by process `processId` (0 when the
  /// desktop does not say); listed, with no windows yet, the first time it is asked for.
  AppWindows& of(const WindowClassHints& hints, std::uint32_t processId);
  std::vector<AppWindows> take() { return std::move(apps_); }

 private:
  const DesktopEntryIndex& entries_;
  PidAssigner& pids_;
  std::vector<AppWindows> apps_;
  std::map<std::int32_t, std::size_t> byPid_;
};

}  // namespace tessaloom::platform::xdg
