#include "platform/i3ipc/i3_socket_path.h"

#include <cstdlib>
#include <filesystem>

#include "platform/xdg/process_running.h"

namespace tessaloom::platform::i3ipc {

std::optional<std::string> socketPathFromEnvironment() {
  for (const char* name : {"SWAYSOCK", "I3SOCK"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::string> swaySocketInRuntimeDirectory(const std::string& runtimeDirectory) {
  std::string folder = runtimeDirectory;
  if (folder.empty())
    if (const char* value = std::getenv("XDG_RUNTIME_DIR")) folder = value;
  if (folder.empty()) return std::nullopt;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    // sway-ipc.<uid>.<pid>.sock: left behind by a sway that crashed unless the pid runs.
    const std::string name = entry.path().filename().string();
    if (name.rfind("sway-ipc.", 0) != 0 || !name.ends_with(".sock")) continue;
    const auto dot = name.rfind('.', name.size() - 6);
    const long pid = std::strtol(name.c_str() + dot + 1, nullptr, 10);
    if (xdg::processRunning(pid)) return entry.path().string();
  }
  return std::nullopt;
}

}  // namespace tessaloom::platform::i3ipc
