#include "platform/desktop/backend_choice.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <utility>

#include "base/language.h"

namespace tessaloom::platform {
namespace {

constexpr std::array<std::pair<Backend, std::string_view>, 6> kNames = {{
    {Backend::scene, "scene"},
    {Backend::x11, "x11"},
    {Backend::gnome, "gnome"},
    {Backend::kde, "kde"},
    {Backend::sway, "sway"},
    {Backend::i3, "i3"},
}};

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Whether the colon-separated desktop list names `desktop` (case-insensitive).
bool names(std::string_view list, std::string_view desktop) {
  const std::string all = lowered(list);
  std::size_t start = 0;
  while (start <= all.size()) {
    const std::size_t end = std::min(all.find(':', start), all.size());
    if (std::string_view(all).substr(start, end - start) == desktop) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string_view name(Backend backend) {
  for (const auto& [b, n] : kNames)
    if (b == backend) return n;
  return "";
}

std::optional<Backend> backendFromName(std::string_view text) {
  for (const auto& [b, n] : kNames)
    if (n == text) return b;
  return std::nullopt;
}

SessionEnvironment SessionEnvironment::fromProcess() {
  return {variable("TESSALOOM_SCENE"),
          variable("TESSALOOM_BACKEND"),
          variable("XDG_CURRENT_DESKTOP"),
          variable("XDG_SESSION_TYPE"),
          variable("WAYLAND_DISPLAY"),
          variable("DISPLAY"),
          variable("SWAYSOCK"),
          variable("I3SOCK")};
}

bool SessionEnvironment::wayland() const {
  return !waylandDisplay.empty() || lowered(sessionType) == "wayland";
}

Result<std::vector<Backend>> chooseBackends(const SessionEnvironment& env) {
  if (!env.scene.empty()) return std::vector{Backend::scene};
  if (!env.forced.empty()) {
    const auto forced = backendFromName(env.forced);
    if (!forced || *forced == Backend::scene)
      return Failure{
          language::format(language::tr("TESSALOOM_BACKEND の値を使えません（%s）。x11, "
                                        "gnome, kde, sway, i3 のどれかを指定してください"),
                           env.forced.c_str())};
    return std::vector{*forced};
  }
  const bool x11 = !env.display.empty();
  std::vector<Backend> order;
  if (names(env.currentDesktop, "gnome")) {
    order.push_back(Backend::gnome);
    if (!env.wayland() && x11) order.push_back(Backend::x11);
  } else if (names(env.currentDesktop, "kde")) {
    order.push_back(env.wayland() ? Backend::kde : Backend::x11);
  } else if (!env.swaySocket.empty() || names(env.currentDesktop, "sway")) {
    order.push_back(Backend::sway);
  } else if (!env.i3Socket.empty() || names(env.currentDesktop, "i3")) {
    order.push_back(Backend::i3);
    if (x11) order.push_back(Backend::x11);
  } else if (x11) {
    order.push_back(Backend::x11);
  }
  if (order.empty())
    return Failure{language::tr(
        "デスクトップに接続できません（DISPLAY が設定されていません）。X11 "
        "のデスクトップで実行するか、TESSALOOM_SCENE にシーンファイルを指定してください")};
  return order;
}

}  // namespace tessaloom::platform
