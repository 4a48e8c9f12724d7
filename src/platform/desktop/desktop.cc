#include "platform/desktop/desktop.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include <optional>

#include "base/language.h"
#include "platform/desktop/backend_choice.h"
#include "platform/desktop/backend_run.h"
#ifdef TESSALOOM_HAVE_TRAY
#include "platform/desktop/tray_module.h"
#endif
#ifdef TESSALOOM_HAVE_I3IPC
#include "platform/i3ipc/i3_socket.h"
#endif

namespace tessaloom::platform {
namespace {

#ifdef TESSALOOM_HAVE_TRAY
// A desktop with the tray application's services on top, and its event loop.
class TrayRun final : public Desktop {
 public:
  TrayRun(std::unique_ptr<BackendRun> desktop, std::unique_ptr<TrayServicesHandle> tray)
      : desktop_(std::move(desktop)), tray_(std::move(tray)) {
    // What the desktop offers itself replaces the module's own.
    UiServices& own = tray_->ui();
    BackendRun& d = *desktop_;
    ui_.emplace(UiServices{own.application, d.statusItem() ? *d.statusItem() : own.statusItem,
                           own.alerts, own.aboutPanel, d.overlay() ? *d.overlay() : own.overlay,
                           d.hotKeys() ? *d.hotKeys() : own.hotKeys, own.loginItem,
                           own.installation});
  }
  // The tray services go before the desktop they were made beside.
  ~TrayRun() override {
    ui_.reset();
    tray_.reset();
  }
  WindowSystem& windows() override { return desktop_->windows(); }
  DefaultsStore& defaults() override { return desktop_->defaults(); }
  MainQueue& queue() override { return desktop_->queue(); }
  UiServices* ui() override { return &*ui_; }
  Outcome finish() override { return desktop_->finish(); }
  void run() override { tray_->run(); }

 private:
  std::unique_ptr<BackendRun> desktop_;
  std::unique_ptr<TrayServicesHandle> tray_;
  std::optional<UiServices> ui_;
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

// Opens one backend; a failure line when it cannot be reached or is not in this build.
OpenedRun openRun(Backend backend, const SessionEnvironment& environment) {
  switch (backend) {
    case Backend::scene:
      return openSceneRun(environment.scene);
    case Backend::x11:
#ifdef TESSALOOM_HAVE_X11
      return openX11Run(environment.forced.empty());
#else
      break;
#endif
    case Backend::kde:
#ifdef TESSALOOM_HAVE_KWIN
      return openKWinRun();
#else
      break;
#endif
    case Backend::gnome:
#ifdef TESSALOOM_HAVE_GNOME
      return openGnomeRun();
#else
      break;
#endif
    case Backend::sway:
    case Backend::i3:
#ifdef TESSALOOM_HAVE_I3IPC
      return openI3Run(backend == Backend::sway);
#else
      break;
#endif
  }
  return Failure{language::format(
      language::tr(
          "デスクトップに接続できません（%s 対応なしでビルドされています）。X11 "
          "のデスクトップで実行するか、TESSALOOM_SCENE にシーンファイルを指定してください"),
      std::string(name(backend)).c_str())};
}

// The first of the chosen backends that opens; the first one's failure when none does, as
// that is the desktop the session is. A socket served by another user ends the search.
OpenedRun openBaseDesktop() {
  const auto environment = SessionEnvironment::fromProcess();
  const auto order = chooseBackends(environment);
  if (!order) return Failure{order.error()};
  std::optional<std::string> firstFailure;
  for (const Backend backend : *order) {
    auto run = openRun(backend, environment);
    if (run) return run;
#ifdef TESSALOOM_HAVE_I3IPC
    if (i3ipc::refusedForItsPeer(run.error())) return run;
#endif
    if (!firstFailure) firstFailure = run.error();
  }
  return Failure{*firstFailure};
}

}  // namespace

Result<std::unique_ptr<Desktop>> openDesktop(RunMode mode) {
  if (mode == RunMode::commandLine) {
    auto run = openBaseDesktop();
    if (!run) return Failure{run.error()};
    return std::unique_ptr<Desktop>(std::move(*run));
  }
#ifdef TESSALOOM_HAVE_TRAY
  auto tray = loadTrayModule();
  if (!tray)
    return Failure{language::format(language::tr("トレイアプリケーションを読み込めません（%s）。"
                                                 "コマンドラインで --list などを指定してください"),
                                    tray.error().c_str())};
  // The toolkit first: without a display there is no tray, whatever desktop is chosen.
  if (auto started = (*tray)->startToolkit(); !started) return Failure{started.error()};
  auto desktop = openBaseDesktop();
  if (!desktop) return Failure{desktop.error()};
  return std::unique_ptr<Desktop>(std::make_unique<TrayRun>(
      std::move(*desktop), std::unique_ptr<TrayServicesHandle>((*tray)->makeServices())));
#else
  return Failure{
      language::tr("トレイアプリケーションはこのビルドに含まれていません。コマンドラインで --list "
                   "などを指定してください")};
#endif
}

}  // namespace tessaloom::platform
