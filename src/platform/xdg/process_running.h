// Whether a process runs: what tells an application that shows no window from one that is gone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/window_system.h"

namespace tessaloom::platform::xdg {

/// Whether process `pid` exists, this user's or another's; never for 0, a negative id or one
/// wider than a process id.
bool processRunning(std::int64_t pid);

/// The windows of a process the desktop shows none of: none while it runs, and no application
/// at all (nothing) once it is gone.
std::optional<std::vector<WindowFacts>> windowsOfUnshown(std::int64_t pid);

}  // namespace tessaloom::platform::xdg
