#ifdef TESSALOOM_HAVE_X11
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
      return Failure{"デスクトップとの接続が失われました（" + *trouble + "）"};
    return {};
  }

 private:
  std::unique_ptr<X11Desktop> x11_;
};

}  // namespace

OpenedRun openX11Run(bool tilingHandOver) {
  auto x11 = X11Desktop::connect();
#ifdef TESSALOOM_HAVE_I3IPC
  if (x11 && tilingHandOver)
    if (const auto socket = (*x11)->i3SocketPath())
      if (auto i3 = openI3Run(false, *socket)) return i3;
#else
  (void)tilingHandOver;
#endif
  if (!x11)
    return Failure{"デスクトップに接続できません（" + x11.error() +
                   "）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
                   "にシーンファイルを指定してください"};
  return std::unique_ptr<BackendRun>(std::make_unique<X11Run>(std::move(*x11)));
}

}  // namespace tessaloom::platform
#endif
