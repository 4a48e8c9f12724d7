#include "platform/desktop/desktop.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"
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
  Outcome open() {
    auto scene = SimDesktop::loadFile(path_, queue_);
    if (!scene) return Failure{scene.error()};
    scene_ = std::move(*scene);
    return {};
  }
  WindowSystem& windows() override { return *scene_; }
  DefaultsStore& defaults() override { return defaults_; }
  MainQueue& queue() override { return queue_; }
  // A run that moved and launched nothing leaves the file as it was, byte for byte.
  Outcome finish() override { return scene_->changed() ? scene_->saveFile(path_) : Outcome(); }

 private:
  std::string path_;
  GlibMainQueue queue_;
  FileDefaults defaults_;
  std::unique_ptr<SimDesktop> scene_;
};

#ifdef TESSALOOM_HAVE_X11
class X11Run final : public Desktop {
 public:
  Outcome open() {
    auto x11 = X11Desktop::connect();
    if (!x11) return Failure{x11.error()};
    x11_ = std::move(*x11);
    return {};
  }
  WindowSystem& windows() override { return *x11_; }
  DefaultsStore& defaults() override { return defaults_; }
  MainQueue& queue() override { return queue_; }

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
      : desktop_(std::move(desktop)), tray_(std::move(tray)) {}
  // The tray services go before the desktop they were made beside.
  ~TrayRun() override { tray_.reset(); }
  WindowSystem& windows() override { return desktop_->windows(); }
  DefaultsStore& defaults() override { return desktop_->defaults(); }
  MainQueue& queue() override { return desktop_->queue(); }
  UiServices* ui() override { return &tray_->ui(); }
  Outcome finish() override { return desktop_->finish(); }
  void run() override { tray_->run(); }

 private:
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<TrayServicesHandle> tray_;
};

// The tray module beside the program (a build tree), else where it is installed; it stays
// loaded for the life of the process.
Result<const TrayModule*> loadTrayModule() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return Failure{"/proc/self/exe: " + ec.message()};
  const fs::path candidates[] = {
      program.parent_path() / kTrayModuleFile,
      program.parent_path().parent_path() / TESSALOOM_TRAY_MODULE_DIR / kTrayModuleFile};
  std::string error;
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
  return Failure{error};
}
#endif

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

Result<std::unique_ptr<Desktop>> openBaseDesktop() {
  if (const char* scene = environment("TESSALOOM_SCENE")) {
    auto run = std::make_unique<SceneRun>(scene);
    if (auto opened = run->open(); !opened) return Failure{opened.error()};
    return std::unique_ptr<Desktop>(std::move(run));
  }
  const std::string hint =
      "X11 のデスクトップで実行するか、TESSALOOM_SCENE にシーンファイルを指定してください";
  if (!environment("DISPLAY"))
    return Failure{"デスクトップに接続できません（DISPLAY が設定されていません）。" + hint};
#ifdef TESSALOOM_HAVE_X11
  auto run = std::make_unique<X11Run>();
  if (auto opened = run->open(); !opened)
    return Failure{"デスクトップに接続できません（" + opened.error() + "）。" + hint};
  return std::unique_ptr<Desktop>(std::move(run));
#else
  return Failure{"デスクトップに接続できません（X11 対応なしでビルドされています）。" + hint};
#endif
}

}  // namespace

Result<std::unique_ptr<Desktop>> openDesktop(RunMode mode) {
  if (mode == RunMode::commandLine) return openBaseDesktop();
#ifdef TESSALOOM_HAVE_TRAY
  auto tray = loadTrayModule();
  if (!tray)
    return Failure{"トレイアプリケーションを読み込めません（" + tray.error() +
                   "）。コマンドラインで --list などを指定してください"};
  // The toolkit first: without a display there is no tray, whatever desktop is chosen.
  if (auto started = (*tray)->startToolkit(); !started) return Failure{started.error()};
  auto desktop = openBaseDesktop();
  if (!desktop) return desktop;
  return std::unique_ptr<Desktop>(std::make_unique<TrayRun>(
      std::move(*desktop), std::unique_ptr<TrayServicesHandle>((*tray)->makeServices())));
#else
  return Failure{
      "トレイアプリケーションはこのビルドに含まれていません。コマンドラインで --list などを"
      "指定してください"};
#endif
}

}  // namespace tessaloom::platform
