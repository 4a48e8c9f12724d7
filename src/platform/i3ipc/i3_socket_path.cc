#include "platform/i3ipc/i3_socket_path.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_properties.h"
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

std::optional<std::string> socketPathFromDisplay(const std::string& display) {
  std::string error;
  auto c = x11::Connection::open(display, error);
  if (!c) return std::nullopt;
  constexpr const char* kName = "I3_SOCKET_PATH";
  auto atomCookie =
      xcb_intern_atom(c->raw(), 1, static_cast<std::uint16_t>(std::strlen(kName)), kName);
  xcb_atom_t atom = XCB_ATOM_NONE;
  {
    x11::ReplyBatch batch(*c);
    if (auto reply = batch.take<xcb_intern_atom_reply_t>(atomCookie)) atom = reply->atom;
  }
  if (atom == XCB_ATOM_NONE) return std::nullopt;
  auto cookie = xcb_get_property(c->raw(), 0, c->root(), atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
  x11::ReplyBatch batch(*c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  std::string path(x11::bytesOf(reply.get()));
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace tessaloom::platform::i3ipc
