// Where the IPC socket of the session's sway or i3 is: the variables they set for their
// children, else a live sway's socket in the runtime folder (i3 names its own on the X root
// window: platform/i3x11).
#pragma once

#include <optional>
#include <string>

namespace tessaloom::platform::i3ipc {

/// SWAYSOCK, else I3SOCK; nothing when neither is set.
std::optional<std::string> socketPathFromEnvironment();
/// The socket a running sway made in `runtimeDirectory` (XDG_RUNTIME_DIR when empty):
/// "sway-ipc.<uid>.<pid>.sock" whose process is alive; nothing when there is none.
std::optional<std::string> swaySocketInRuntimeDirectory(const std::string& runtimeDirectory = {});

}  // namespace tessaloom::platform::i3ipc
