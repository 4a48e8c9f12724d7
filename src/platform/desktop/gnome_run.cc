#ifdef TESSALOOM_HAVE_GNOME
#include <cstdlib>

#include <filesystem>
#include "base/language.h"

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

// The GNOME services, in a base of their own that BackendRun follows: made before the run's
// queue and gone after it, so work still queued at the end (an overlay plate fading out) finds
// the Shell channel it uses.
struct GnomeServices {
  explicit GnomeServices(std::unique_ptr<GnomeDesktop> desktop) : shell(std::move(desktop)) {}
  // What the tray made goes before the channel it uses.
  ~GnomeServices() {
    shellKeys.reset();
    shellOverlay.reset();
    shellItem.reset();
  }
  std::unique_ptr<GnomeDesktop> shell;
  std::unique_ptr<gnome::GnomeHotKeys> shellKeys;
  std::unique_ptr<gnome::GnomeOverlay> shellOverlay;
  std::unique_ptr<gnome::GnomeStatusItem> shellItem;
  bool tray = false;  // only the tray asks for keys, an overlay and a status item
};

class GnomeRun final : private GnomeServices, public BackendRun {
 public:
  explicit GnomeRun(std::unique_ptr<GnomeDesktop> desktop) : GnomeServices(std::move(desktop)) {}
  WindowSystem& windows() override { return *shell; }
  // Only the tray asks: a command binds no keys and shows nothing.
  HotKeys* hotKeys() override {
    tray = true;
    if (!shellKeys) shellKeys = std::make_unique<gnome::GnomeHotKeys>(shell->channel());
    return shellKeys.get();
  }
  Overlay* overlay() override {
    tray = true;
    if (!shellOverlay) shellOverlay = std::make_unique<gnome::GnomeOverlay>(shell->channel());
    return shellOverlay.get();
  }
  // The top bar's button only where nothing hosts the module's StatusNotifier item.
  StatusItem* statusItem() override {
    tray = true;
    if (!shellItem && !shell->channel().statusNotifierHost())
      shellItem = std::make_unique<gnome::GnomeStatusItem>(shell->channel(), panelIcon());
    return shellItem.get();
  }
  // A Shell lost or frozen during a command makes it fail, whatever it printed it did. The
  // tray lives on through a Shell that goes and comes back, and its prompts say so.
  Outcome finish() override {
    const auto& trouble = shell->channel().trouble();
    if (tray || !trouble) return {};
    return Failure{language::format(language::tr("デスクトップとの接続が失われました（%s）"),
                                    (*trouble).c_str())};
  }
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
    return Failure{language::format(
        language::tr(
            "デスクトップに接続できません（%s）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
            "にシーンファイルを指定してください"),
        gnome.error().c_str())};
  // On an X11 session the X11 backend serves while the extension is away; this line shows only
  // when that fails too, so the Shell is not asked why.
  if (x11Session() && !(*gnome)->channel().present())
    return Failure{gnome::extensionDisabledLine()};
  return std::unique_ptr<BackendRun>(std::make_unique<GnomeRun>(std::move(*gnome)));
}

}  // namespace tessaloom::platform
#endif
