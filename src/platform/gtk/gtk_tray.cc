#include "platform/gtk/gtk_tray.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "platform/gtk/gtk_dialogs.h"
#include "platform/gtk/gtk_overlay.h"
#include "platform/gtk/gtk_status_item.h"
#include "platform/gtk/gtk_toolkit.h"
#include "platform/services.h"
#include "platform/x11/x11_hot_keys.h"

namespace tessaloom::platform::gtk {
namespace {

// Stands in when the key grabber has no X connection: every combination is refused, and the
// menu stays the way to every operation.
class NoHotKeys final : public HotKeys {
 public:
  void setPressedHandler(std::function<void(HotKeyId)>) override {}
  bool registerHotKey(HotKeyId, std::int32_t, std::uint32_t) override { return false; }
  void unregisterHotKey(HotKeyId) override {}
};

std::unique_ptr<HotKeys> connectHotKeys() {
  std::string error;
  if (auto keys = X11HotKeys::connect("", error)) return keys;
  return std::make_unique<NoHotKeys>();
}

std::optional<InstanceRegistry> registry() {
  if (auto directory = InstanceRegistry::defaultDirectory()) return InstanceRegistry(*directory);
  return std::nullopt;
}

gboolean quitLoop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_CONTINUE;
}

}  // namespace

bool TrayServices::startToolkit(std::string& error) {
  return start(error);
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
      application_(std::make_unique<GtkApplicationService>([this] { g_main_loop_quit(loop_); })),
      statusItem_(std::make_unique<GtkStatusItem>(&TrayServices::trace)),
      alerts_(std::make_unique<GtkAlerts>(*application_)),
      about_(std::make_unique<GtkAboutPanel>(*application_)),
      overlay_(std::make_unique<GtkPlateOverlay>()),
      hotKeys_(connectHotKeys()),
      login_(PosixInstallation::executablePath()),
      installation_(registry()) {}

TrayServices::~TrayServices() {
  hotKeys_.reset();
  about_.reset();
  statusItem_.reset();
  g_main_loop_unref(loop_);
}

void TrayServices::installInto(Services& services) {
  services.application = application_.get();
  services.statusItem = statusItem_.get();
  services.alerts = alerts_.get();
  services.aboutPanel = about_.get();
  services.overlay = overlay_.get();
  services.hotKeys = hotKeys_.get();
  services.loginItem = &login_;
  services.installation = &installation_;
  services.updater = nullptr;
}

void TrayServices::run() {
  // A copy that ended itself during launch (it moved itself, say) never enters the loop.
  if (application_->terminated()) return;
  const guint term = g_unix_signal_add(SIGTERM, quitLoop, loop_);
  const guint interrupt = g_unix_signal_add(SIGINT, quitLoop, loop_);
  trace("ready");
  g_main_loop_run(loop_);
  g_source_remove(term);
  g_source_remove(interrupt);
  trace("quit");
}

}  // namespace tessaloom::platform::gtk
