#include "platform/desktop/desktop.h"

#include <cstdlib>
#include <iostream>

#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"
#include "platform/services.h"
#include "platform/sim/sim_desktop.h"
#ifdef TESSALOOM_HAVE_X11
#include "platform/x11/x11_desktop.h"
#endif
#ifdef TESSALOOM_HAVE_TRAY
#include "platform/gtk/gtk_tray.h"
#endif

namespace tessaloom::platform {
namespace {

// A scene file played by the simulated desktop, written back when the command ends.
class SceneRun final : public Desktop {
 public:
  explicit SceneRun(std::string path) : path_(std::move(path)) {}
  bool open(std::string& error) {
    scene_ = SimDesktop::loadFile(path_, queue_, error);
    if (!scene_) return false;
    install({scene_.get(), scene_.get(), scene_.get(), &defaults_, &queue_});
    return true;
  }
  bool finish(std::string& error) override { return scene_->saveFile(path_, error); }
  ~SceneRun() override { install({}); }

 private:
  std::string path_;
  GlibMainQueue queue_;
  FileDefaults defaults_;
  std::unique_ptr<SimDesktop> scene_;
};

#ifdef TESSALOOM_HAVE_X11
class X11Run final : public Desktop {
 public:
  bool open(std::string& error) {
    x11_ = X11Desktop::connect(error);
    if (!x11_) return false;
    install({&x11_->accessibility(), &x11_->workspace(), &x11_->screens(), &defaults_, &queue_});
    return true;
  }
  ~X11Run() override { install({}); }

 private:
  GlibMainQueue queue_;
  FileDefaults defaults_;
  std::unique_ptr<X11Desktop> x11_;
};
#endif

#ifdef TESSALOOM_HAVE_TRAY
// A desktop with the tray application's services on top, and its event loop.
class TrayRun final : public Desktop {
 public:
  explicit TrayRun(std::unique_ptr<Desktop> desktop) : desktop_(std::move(desktop)) {
    Services s = services();
    tray_.installInto(s);
    install(s);
    tray_.enrollThisProcess();
  }
  ~TrayRun() override {
    // The tray services go before the desktop whose services they were installed with.
    Services s = services();
    s.application = nullptr;
    s.statusItem = nullptr;
    s.alerts = nullptr;
    s.aboutPanel = nullptr;
    s.overlay = nullptr;
    s.hotKeys = nullptr;
    s.loginItem = nullptr;
    s.installation = nullptr;
    install(s);
  }
  bool finish(std::string& error) override { return desktop_->finish(error); }
  void run() override { tray_.run(); }

 private:
  std::unique_ptr<Desktop> desktop_;
  gtk::TrayServices tray_;
};
#endif

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

std::unique_ptr<Desktop> openBaseDesktop(std::string& error) {
  if (const char* scene = environment("TESSALOOM_SCENE")) {
    auto run = std::make_unique<SceneRun>(scene);
    if (!run->open(error)) return nullptr;
    return run;
  }
  const char* hint =
      "X11 のデスクトップで実行するか、TESSALOOM_SCENE にシーンファイルを指定してください";
  if (!environment("DISPLAY")) {
    error = std::string("デスクトップに接続できません（DISPLAY が設定されていません）。") + hint;
    return nullptr;
  }
#ifdef TESSALOOM_HAVE_X11
  auto run = std::make_unique<X11Run>();
  std::string reason;
  if (run->open(reason)) return run;
  error = "デスクトップに接続できません（" + reason + "）。" + hint;
  return nullptr;
#else
  error = std::string("デスクトップに接続できません（X11 対応なしでビルドされています）。") + hint;
  return nullptr;
#endif
}

}  // namespace

std::unique_ptr<Desktop> openDesktop(std::string& error, RunMode mode) {
  if (mode == RunMode::commandLine) return openBaseDesktop(error);
#ifdef TESSALOOM_HAVE_TRAY
  // The toolkit first: without a display there is no tray, whatever desktop is chosen.
  if (!gtk::TrayServices::startToolkit(error)) return nullptr;
  auto desktop = openBaseDesktop(error);
  if (!desktop) return nullptr;
  return std::make_unique<TrayRun>(std::move(desktop));
#else
  error =
      "トレイアプリケーションはこのビルドに含まれていません。コマンドラインで --list などを"
      "指定してください";
  return nullptr;
#endif
}

}  // namespace tessaloom::platform
