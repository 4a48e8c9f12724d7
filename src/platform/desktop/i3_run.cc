#ifdef TESSALOOM_HAVE_I3IPC
#include "platform/desktop/backend_run.h"

#include "base/language.h"
#include "platform/i3ipc/i3_desktop.h"
#include "platform/i3ipc/i3_hot_keys.h"
#include "platform/i3ipc/i3_socket_path.h"
#ifdef TESSALOOM_HAVE_X11
#include "platform/i3x11/i3_root_socket.h"
#include "platform/i3x11/i3_x11_pids.h"
#endif
namespace tessaloom::platform {
namespace {

class I3Run final : public BackendRun {
 public:
  I3Run(std::unique_ptr<I3Desktop> desktop, std::string socket)
      : desktop_(std::move(desktop)), socket_(std::move(socket)) {}
  WindowSystem& windows() override { return *desktop_; }
  // sway binds chords at run time; i3 only from its configuration file, so there the tray's
  // X11 key grabs serve. Only the tray asks: a command never binds keys.
  HotKeys* hotKeys() override {
    if (!keys_ && desktop_->name() == "sway")
      if (auto keys = I3HotKeys::connect(socket_)) keys_ = std::move(*keys);
    return keys_.get();
  }
  // A socket lost, or a reply refused, during the command makes it fail, whatever it printed
  // it did: a reply that cannot be read is no empty desktop.
  Outcome finish() override {
    const auto trouble = desktop_->trouble();
    if (!trouble) return {};
    if (!desktop_->alive())
      return Failure{language::format(language::tr("デスクトップとの接続が失われました（%s）"),
                                      (*trouble).c_str())};
    return Failure{
        language::format(language::tr("デスクトップの応答を読めません（%s）"), trouble->c_str())};
  }

 private:
  std::unique_ptr<I3Desktop> desktop_;
  std::string socket_;
  std::unique_ptr<I3HotKeys> keys_;
};

}  // namespace

OpenedRun openI3Run(bool sway, const std::string& named) {
  std::optional<std::string> socket;
  if (!named.empty()) socket = named;
  if (!socket) socket = i3ipc::socketPathFromEnvironment();
  I3Desktop::X11Pids pids;
#ifdef TESSALOOM_HAVE_X11
  if (!socket && !sway) socket = i3x11::socketPathFromDisplay();
  pids = [](const std::vector<std::uint32_t>& windows) { return i3x11::x11ProcessIds(windows); };
#endif
  if (!socket && sway) socket = i3ipc::swaySocketInRuntimeDirectory();
  std::string error = sway ? "no sway socket is named or running" : "i3 names no IPC socket";
  if (socket) {
    auto desktop = I3Desktop::connect(*socket, std::move(pids));
    if (desktop)
      return std::unique_ptr<BackendRun>(std::make_unique<I3Run>(std::move(*desktop), *socket));
    error = desktop.error();
  }
  // A named socket is the X11 backend's hand-over, which words its own line.
  if (!named.empty()) return Failure{error};
  return Failure{language::format(
      language::tr(
          "デスクトップに接続できません（%s）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
          "にシーンファイルを指定してください"),
      error.c_str())};
}

}  // namespace tessaloom::platform
#endif
