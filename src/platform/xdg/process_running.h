// Whether a process runs, this user's or another's.
#pragma once

#include <cstdint>

namespace tessaloom::platform::xdg {

/// Whether process `pid` exists, this user's or another's; never for 0, a negative id or one
/// wider than a process id.
bool processRunning(std::int64_t pid);

}  // namespace tessaloom::platform::xdg
