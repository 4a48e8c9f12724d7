#include "platform/desktop/desktop.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"
#include "platform/services.h"
#include "platform/sim/sim_desktop.h"
#ifdef TESSALOOM_HAVE_X11
#include "platform/x11/x11_desktop.h"
#endif
#ifdef TESSALOOM_HAVE_TRAY
#include "platform/desktop/tray_module.h"
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
  // A run that moved and launched nothing leaves the file as it was, byte for byte.
  bool finish(std::string& error) override {
    return !scene_->changed() || scene_->saveFile(path_, error);
  }
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
  TrayRun(std::unique_ptr<Desktop> desktop, std::unique_ptr<TrayServicesHandle> tray)
      : desktop_(std::move(desktop)), tray_(std::move(tray)) {
    Services s = services();
    tray_->installInto(s);
    install(s);
    tray_->enrollThisProcess();
  }
  ~TrayRun() override {
    // The tray services go before the desktop whose services they were installed with.
    const Services& s = services();
    install({s.accessibility, s.workspace, s.screens, s.defaults, s.mainQueue});
  }
  bool finish(std::string& error) override { return desktop_->finish(error); }
  void run() override { tray_->run(); }

 private:
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<TrayServicesHandle> tray_;
};

// The tray module beside the program (a build tree), else where it is installed; it stays
// loaded for the life of the process. Nothing, with the reason in `error`, when it cannot be
// loaded.
const TrayModule* loadTrayModule(std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    error = "/proc/self/exe: " + ec.message();
    return nullptr;
  }
  const fs::path candidates[] = {
      program.parent_path() / kTrayModuleFile,
      program.parent_path().parent_path() / TESSALOOM_TRAY_MODULE_DIR / kTrayModuleFile};
  error.clear();
  for (const fs::path& path : candidates) {
    if (!fs::exists(path, ec)) continue;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* reason = ::dlerror();
      error = reason ? reason : path.string();
      continue;
    }
    auto entry = reinterpret_cast<TrayModuleEntry>(::dlsym(module, kTrayModuleEntry));
    if (const TrayModule* tray = entry ? entry() : nullptr) return tray;
    error = path.string() + ": " + kTrayModuleEntry;
  }
  if (error.empty()) error = std::string(kTrayModuleFile) + " not found";
  return nullptr;
}
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
  std::string reason;
  const TrayModule* tray = loadTrayModule(reason);
  if (!tray) {
    error = "トレイアプリケーションを読み込めません（" + reason +
            "）。コマンドラインで --list などを指定してください";
    return nullptr;
  }
  // The toolkit first: without a display there is no tray, whatever desktop is chosen.
  if (!tray->startToolkit(error)) return nullptr;
  auto desktop = openBaseDesktop(error);
  if (!desktop) return nullptr;
  return std::make_unique<TrayRun>(std::move(desktop),
                                   std::unique_ptr<TrayServicesHandle>(tray->makeServices()));
#else
  error =
      "トレイアプリケーションはこのビルドに含まれていません。コマンドラインで --list などを"
      "指定してください";
  return nullptr;
#endif
}

}  // namespace tessaloom::platform
