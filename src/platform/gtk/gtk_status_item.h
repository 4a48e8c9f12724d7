// The status item on Linux: a StatusNotifierItem (libayatana-appindicator) where a
// StatusNotifier host shows it, else a classic XEmbed tray icon. Renders the core's menu with
// GTK each time it opens. GTK only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/status_item.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkStatusIcon GtkStatusIcon;
typedef struct _AppIndicator AppIndicator;
typedef struct _GObject GObject;

namespace tessaloom::platform::gtk {

/// How the item reaches the panel.
enum class TrayKind { statusNotifier, xembed };

/// Whether a StatusNotifier host will show an item: the watcher exists on the session bus
/// and reports a registered host. A watcher without a host answers registrations but shows
/// nothing, so it counts as absent.
bool statusNotifierHostAvailable();

class GtkStatusItem final : public StatusItem {
 public:
  /// `trace` receives one line per noteworthy event ("status-item xembed", "menu shown").
  explicit GtkStatusItem(std::function<void(const std::string&)> trace = nullptr);
  ~GtkStatusItem() override;
  GtkStatusItem(const GtkStatusItem&) = delete;
  GtkStatusItem& operator=(const GtkStatusItem&) = delete;

  /// Chooses the StatusNotifier item when a host is present, else the tray icon; true.
  bool create() override;
  void setImage(std::string_view symbol, std::string_view accessibilityDescription) override;
  void setToolTip(std::string_view text) override;
  /// With a StatusNotifier item the menu is built at once: the host shows it by itself.
  void setMenuDelegate(MenuDelegate* delegate) override;
  void setMenu(const MenuModel& menu) override;

  TrayKind kind() const { return kind_; }
  /// Asks the delegate for a fresh menu and pops it up at the pointer (the tray icon's
  /// clicks do this); `button` and `time` come from the click, 0 for none.
  void popUpMenu(unsigned button, unsigned time);

 private:
  void chosen(const MenuItem& item);
  void watchIndicatorRoot();

  std::function<void(const std::string&)> trace_;
  TrayKind kind_ = TrayKind::xembed;
  MenuDelegate* delegate_ = nullptr;
  AppIndicator* indicator_ = nullptr;
  GtkStatusIcon* icon_ = nullptr;
  GtkWidget* menu_ = nullptr;  // the menu last rendered (one reference held)
  GObject* indicatorRoot_ = nullptr;
  unsigned long rootHandler_ = 0;
  std::string iconName_;
  std::string description_;
  bool rendering_ = false;
  // Alive while this item exists; queued choices check it.
  std::shared_ptr<GtkStatusItem*> self_;
};

}  // namespace tessaloom::platform::gtk
