// Where the IPC socket of the session's sway or i3 is: the variables they set for their
// children, else the property i3 puts on the X root window.
#pragma once

#include <optional>
#include <string>

namespace tessaloom::platform::i3ipc {

/// SWAYSOCK, else I3SOCK; nothing when neither is set.
std::optional<std::string> socketPathFromEnvironment();
/// The socket a running sway made in `runtimeDirectory` (XDG_RUNTIME_DIR when empty):
/// "sway-ipc.<uid>.<pid>.sock" whose process is alive; nothing when there is none.
std::optional<std::string> swaySocketInRuntimeDirectory(const std::string& runtimeDirectory = {});
/// The I3_SOCKET_PATH property of the root window of `display` (DISPLAY when empty); nothing
/// when no X server answers in time or no i3 runs there.
std::optional<std::string> socketPathFromDisplay(const std::string& display = {});

}  // namespace tessaloom::platform::i3ipc
