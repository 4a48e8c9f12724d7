#ifdef TESSALOOM_HAVE_GNOME
#include <cstdlib>
#include <filesystem>

#include "platform/desktop/backend_run.h"
#include "platform/gnome/gnome_desktop.h"
#include "platform/gnome/gnome_hot_keys.h"
#include "platform/gnome/gnome_messages.h"
#include "platform/gnome/gnome_overlay.h"
#include "platform/gnome/gnome_status_item.h"

namespace tessaloom::platform {
namespace {

// This program's panel icon beside an installed program; a stock icon in a build tree.
std::string panelIcon() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path icon = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() /
                        "share/icons/hicolor/symbolic/apps/tessaloom-symbolic.svg";
  return !ec && fs::exists(icon, ec) ? icon.string() : "view-grid-symbolic";
}

class GnomeRun final : public BackendRun {
 public:
  explicit GnomeRun(std::unique_ptr<GnomeDesktop> gnome) : gnome_(std::move(gnome)) {}
  // What the tray made goes before the channel it uses.
  ~GnomeRun() override {
    keys_.reset();
    overlay_.reset();
    item_.reset();
  }
  WindowSystem& windows() override { return *gnome_; }
  // Only the tray asks: a command binds no keys and shows nothing.
  HotKeys* hotKeys() override {
    if (!keys_) keys_ = std::make_unique<gnome::GnomeHotKeys>(gnome_->channel());
    return keys_.get();
  }
  Overlay* overlay() override {
    if (!overlay_) overlay_ = std::make_unique<gnome::GnomeOverlay>(gnome_->channel());
    return overlay_.get();
  }
  // The top bar's button only where nothing hosts the module's StatusNotifier item.
  StatusItem* statusItem() override {
    if (!item_ && !gnome_->channel().statusNotifierHost())
      item_ = std::make_unique<gnome::GnomeStatusItem>(gnome_->channel(), panelIcon());
    return item_.get();
  }

 private:
  std::unique_ptr<GnomeDesktop> gnome_;
  std::unique_ptr<gnome::GnomeHotKeys> keys_;
  std::unique_ptr<gnome::GnomeOverlay> overlay_;
  std::unique_ptr<gnome::GnomeStatusItem> item_;
};

bool x11Session() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  const char* display = std::getenv("DISPLAY");
  return type && std::string_view(type) == "x11" && display && *display;
}

}  // namespace

OpenedRun openGnomeRun() {
  auto gnome = GnomeDesktop::connect();
  if (!gnome)
    return Failure{"デスクトップに接続できません（" + gnome.error() +
                   "）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
                   "にシーンファイルを指定してください"};
  // On an X11 session the X11 backend serves while the extension is away.
  if (x11Session() && !(*gnome)->channel().present()) return Failure{gnome::kExtensionMissingLine};
  return std::unique_ptr<BackendRun>(std::make_unique<GnomeRun>(std::move(*gnome)));
}

}  // namespace tessaloom::platform
#endif
