// One open desktop backend with the settings store and main queue every run has. Each backend
// opens in a file of its own (scene_run.cc, x11_run.cc, …); desktop.cc picks the first that
// opens among the ones backend_choice.h names.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "platform/desktop/desktop.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"

namespace tessaloom::platform {

class BackendRun : public Desktop {
 public:
  DefaultsStore& defaults() override { return defaults_; }
  MainQueue& queue() override { return queue_; }

  // What the desktop offers the tray application itself; where given, these replace the tray
  // module's own (X11 key grabs, a GTK overlay, a status-notifier item).
  virtual HotKeys* hotKeys() { return nullptr; }
  virtual Overlay* overlay() { return nullptr; }
  virtual StatusItem* statusItem() { return nullptr; }

 protected:
  GlibMainQueue queue_;
  FileDefaults defaults_;
};

using OpenedRun = Result<std::unique_ptr<BackendRun>>;

/// A scene file played by the simulated desktop, written back when the command ends.
OpenedRun openSceneRun(const std::string& path);
#ifdef TESSALOOM_HAVE_X11
/// The X11 desktop named by DISPLAY; with `tilingHandOver`, the i3 that names its socket on
/// that display's root window instead, as plain X11 cannot move its tiled windows.
OpenedRun openX11Run(bool tilingHandOver = false);
#endif
#ifdef TESSALOOM_HAVE_GNOME
/// GNOME: the Tessaloom Shell extension on the session bus (on an X11 session only while it
/// is there).
OpenedRun openGnomeRun();
#endif
#ifdef TESSALOOM_HAVE_KWIN
/// KDE Plasma: our script in the KWin of the session bus.
OpenedRun openKWinRun();
#endif
#ifdef TESSALOOM_HAVE_I3IPC
/// sway, or i3, over the IPC socket at `socket` (found from the session when empty).
OpenedRun openI3Run(bool sway, const std::string& socket = {});
#endif

}  // namespace tessaloom::platform
