// The services of the tray application on Linux, made and owned together: GTK for the status
// item, dialogs and overlay, X11 key grabs for the hot keys, an XDG autostart entry for the
// login item and a well-known name on the session bus for the other running copies; and the
// event loop that runs until the application quits or SIGTERM or SIGINT arrives.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "platform/glib/single_instance.h"
#include "platform/posix/autostart_login_item.h"
#include "platform/posix/posix_installation.h"
#include "platform/ui_services.h"

typedef struct _GMainLoop GMainLoop;

namespace tessaloom::platform::gtk {

class GtkApplicationService;
class GtkStatusItem;
class GtkAlerts;
class GtkAboutPanel;

class TrayServices {
 public:
  /// Starts GTK; a failure (no display) carries one line for the user.
  static Outcome startToolkit();
  /// Whether TESSALOOM_TRACE asks for status lines on standard output.
  static bool tracing();
  /// Writes `line` to standard output when tracing.
  static void trace(const std::string& line);

  /// The services, after startToolkit() succeeded. Hot keys grab on the display named by
  /// DISPLAY; without an X connection every registration is refused. Claims the tray's name on
  /// the session bus, so later copies find this one; without a bus says so on standard error
  /// and runs anyway.
  TrayServices();
  ~TrayServices();
  TrayServices(const TrayServices&) = delete;
  TrayServices& operator=(const TrayServices&) = delete;

  /// The services.
  UiServices& ui() { return *ui_; }
  /// How long a starting copy waits for the older one to let go of its hot keys and icon.
  static constexpr double kQuitWaitSeconds = 3.0;
  /// Turns the main loop until the application terminates or SIGTERM or SIGINT arrives.
  void run();

 private:
  // Asks the copy that holds the tray's name to quit; a copy that does not let go within
  // kQuitWaitSeconds keeps what it holds, so this one says so and ends rather than run beside
  // it.
  void quitOlderCopy();

  GMainLoop* loop_;
  std::unique_ptr<GtkApplicationService> application_;
  std::unique_ptr<GtkStatusItem> statusItem_;
  std::unique_ptr<GtkAlerts> alerts_;
  std::unique_ptr<GtkAboutPanel> about_;
  std::unique_ptr<Overlay> overlay_;
  std::unique_ptr<HotKeys> hotKeys_;
  AutostartLoginItem login_;
  std::unique_ptr<SingleInstance> instance_;
  PosixInstallation installation_;
  std::unique_ptr<UiServices> ui_;
};

}  // namespace tessaloom::platform::gtk
