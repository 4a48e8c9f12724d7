#ifdef TESSALOOM_HAVE_X11
#include <iostream>

#include "base/language.h"

#include "platform/desktop/backend_run.h"
#include "platform/x11/x11_desktop.h"

namespace tessaloom::platform {
namespace {

class X11Run final : public BackendRun {
 public:
  explicit X11Run(std::unique_ptr<X11Desktop> x11) : x11_(std::move(x11)) {}
  WindowSystem& windows() override { return *x11_; }
  // A server lost or stuck during the command makes it fail, whatever it printed it did.
  Outcome finish() override {
    if (auto trouble = x11_->trouble())
      return Failure{language::format(language::tr("デスクトップとの接続が失われました（%s）"),
                                      (*trouble).c_str())};
    return {};
  }

 private:
  std::unique_ptr<X11Desktop> x11_;
};

}  // namespace

OpenedRun openX11Run(bool tilingHandOver) {
  auto x11 = X11Desktop::connect();
#ifdef TESSALOOM_HAVE_I3IPC
  // Any client can set the property: hand over only to the i3 that runs, on a socket of ours.
  if (x11 && tilingHandOver)
    if (const auto socket = (*x11)->i3SocketPath()) {
      const std::string manager = (*x11)->windowManagerName();
      std::string why = "the window manager is " + (manager.empty() ? "unnamed" : manager);
      if (manager == "i3") {
        auto i3 = openI3Run(false, *socket);
        if (i3) return i3;
        why = i3.error();
      }
      std::cerr << language::format(
                       language::tr("I3_SOCKET_PATH（%s）を無視して X11 で続けます（%s）"),
                       socket->c_str(), std::string(why).c_str())
                << "\n";
    }
#else
  (void)tilingHandOver;
#endif
  if (!x11)
    return Failure{language::format(
        language::tr(
            "デスクトップに接続できません（%s）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
            "にシーンファイルを指定してください"),
        x11.error().c_str())};
  return std::unique_ptr<BackendRun>(std::make_unique<X11Run>(std::move(*x11)));
}

}  // namespace tessaloom::platform
#endif
