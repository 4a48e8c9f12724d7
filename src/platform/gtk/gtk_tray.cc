#include "platform/gtk/gtk_tray.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "base/language.h"
#include "platform/gtk/gtk_dialogs.h"
#include "platform/gtk/gtk_layer_overlay.h"
#include "platform/gtk/gtk_overlay.h"
#include "platform/gtk/gtk_status_item.h"
#include "platform/gtk/gtk_toolkit.h"
#include "platform/x11/x11_hot_keys.h"

namespace tessaloom::platform::gtk {
namespace {

// Stands in when the key grabber has no X connection: every combination is refused, and the
// menu stays the way to every operation.
class NoHotKeys final : public HotKeys {
 public:
  void setPressedHandler(std::function<void(HotKeyId)>) override {}
  bool registerHotKey(HotKeyId, Chord) override { return false; }
  void unregisterHotKey(HotKeyId) override {}
};

std::unique_ptr<HotKeys> connectHotKeys() {
  if (auto keys = X11HotKeys::connect()) return std::move(*keys);
  return std::make_unique<NoHotKeys>();
}

// Made on first use: where the desktop draws the plates itself (GNOME Shell, which has no
// layer shell to probe), the toolkit's overlay is never made.
class FirstUseOverlay final : public Overlay {
 public:
  std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) override {
    // Wayland has no override-redirect popups: the plate goes on the layer shell there.
    if (!overlay_) overlay_ = GtkLayerOverlay::ifSupported();
    if (!overlay_) overlay_ = std::make_unique<GtkPlateOverlay>();
    return overlay_->makePanel(content);
  }

 private:
  std::unique_ptr<GtkPlateOverlay> overlay_;
};

gboolean quitApplication(gpointer application) {
  static_cast<GtkApplicationService*>(application)->quit();
  return G_SOURCE_CONTINUE;
}

}  // namespace

Outcome TrayServices::startToolkit() {
  return start();
}

bool TrayServices::tracing() {
  const char* value = std::getenv("TESSALOOM_TRACE");
  return value && *value;
}

void TrayServices::trace(const std::string& line) {
  if (!tracing()) return;
  std::cout << line << std::endl;
}

TrayServices::TrayServices()
    : loop_(g_main_loop_new(nullptr, FALSE)),
      // An open dialog runs a loop of its own: it is closed first, or it would hold the quit.
      application_(std::make_unique<GtkApplicationService>([this] {
        if (alerts_) alerts_->dismiss();
        g_main_loop_quit(loop_);
      })),
      statusItem_(std::make_unique<GtkStatusItem>(&TrayServices::trace)),
      alerts_(std::make_unique<GtkAlerts>(*application_)),
      about_(std::make_unique<GtkAboutPanel>(*application_)),
      overlay_(std::make_unique<FirstUseOverlay>()),
      hotKeys_(connectHotKeys()),
      login_(PosixInstallation::executablePath()) {
  if (auto claimed = SingleInstance::claim([this] { application_->quit(); }))
    instance_ = std::move(*claimed);
  else
    std::cerr << language::format(language::tr("セッションバスに接続できません（%s）。ほかに動いて"
                                               "いるコピーを確かめずに起動します"),
                                  claimed.error().c_str())
              << std::endl;
  quitOlderCopy();
  ui_.reset(new UiServices{*application_, *statusItem_, *alerts_, *about_, *overlay_, *hotKeys_,
                           login_, installation_});
}

void TrayServices::quitOlderCopy() {
  // Only an older copy holds the name: two copies started together must not end each other.
  const auto pid = instance_ ? instance_->ownerPid() : std::nullopt;
  if (!pid || instance_->takeOver(*pid, kQuitWaitSeconds)) return;
  std::cerr << language::format(language::tr("Tessaloom の別のコピー（pid %d）が応答しません。"
                                             "そのコピーを終了してから起動し直してください"),
                                *pid)
            << std::endl;
  application_->quit();
}

TrayServices::~TrayServices() {
  ui_.reset();
  instance_.reset();
  hotKeys_.reset();
  about_.reset();
  statusItem_.reset();
  g_main_loop_unref(loop_);
}

void TrayServices::run() {
  // A copy that ended itself during launch never enters the loop.
  if (application_->quitting()) return;
  const guint term = g_unix_signal_add(SIGTERM, quitApplication, application_.get());
  const guint interrupt = g_unix_signal_add(SIGINT, quitApplication, application_.get());
  trace("ready");
  g_main_loop_run(loop_);
  // Once the loop has ended, a late SIGTERM must not cut short the clean-up that follows
  // (giving the keys and the desktop's script back, writing the scene): removing the sources
  // brings back the default action, so the signals are ignored from here on.
  sigset_t quitting;
  sigemptyset(&quitting);
  sigaddset(&quitting, SIGTERM);
  sigaddset(&quitting, SIGINT);
  pthread_sigmask(SIG_BLOCK, &quitting, nullptr);
  g_source_remove(term);
  g_source_remove(interrupt);
  std::signal(SIGTERM, SIG_IGN);
  std::signal(SIGINT, SIG_IGN);
  pthread_sigmask(SIG_UNBLOCK, &quitting, nullptr);
  trace("quit");
}

}  // namespace tessaloom::platform::gtk
