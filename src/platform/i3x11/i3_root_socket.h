// The IPC socket i3 names on the X root window, for a session that names it nowhere else.
#pragma once

#include <optional>
#include <string>

namespace tessaloom::platform::i3x11 {

/// The I3_SOCKET_PATH property of the root window of `display` (DISPLAY when empty); nothing
/// when no X server answers in time or no i3 runs there.
std::optional<std::string> socketPathFromDisplay(const std::string& display = {});

}  // namespace tessaloom::platform::i3x11
