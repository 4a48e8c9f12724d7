#include "platform/gtk/gtk_status_item.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/gtk/gtk_menu.h"
#include "platform/gtk/gtk_symbols.h"
#include "platform/gtk/gtk_toolkit.h"

namespace tessaloom::platform::gtk {
namespace {

// Asks the item to open its menu; the tray icon's left and right clicks both land here.
void iconActivated(GtkStatusIcon*, gpointer data) {
  static_cast<GtkStatusItem*>(data)->popUpMenu(1, gtk_get_current_event_time());
}

void iconPopupMenu(GtkStatusIcon*, guint button, guint time, gpointer data) {
  static_cast<GtkStatusItem*>(data)->popUpMenu(button, time);
}

bool sessionBusConfigured() {
  // Without an address GIO would try to start a bus of its own; no host can be on that one.
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
    return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

// A classic tray icon is embedded with XEmbed, which exists on X11 only (on Wayland GTK's icon
// has nowhere to go and complains at every change).
bool xembedPossible() {
  GdkDisplay* display = gdk_display_get_default();
  return display && GDK_IS_X11_DISPLAY(display);
}

// Stand in for the indicator library's own classic icon where none can be embedded.
GtkStatusIcon* noFallback(AppIndicator*) {
  return nullptr;
}
void noUnfallback(AppIndicator*, GtkStatusIcon*) {}

}  // namespace

bool statusNotifierHostAvailable() {
  if (!sessionBusConfigured()) return false;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return false;
  }
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, &error);
  bool registered = false;
  if (reply) {
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
      registered = g_variant_get_boolean(value);
    if (value) g_variant_unref(value);
    g_variant_unref(reply);
  }
  g_clear_error(&error);
  g_object_unref(bus);
  return registered;
}

GtkStatusItem::GtkStatusItem(std::function<void(const std::string&)> trace)
    : trace_(std::move(trace)), self_(std::make_shared<GtkStatusItem*>(this)) {}

GtkStatusItem::~GtkStatusItem() {
  self_.reset();
  if (indicatorRoot_) {
    g_signal_handler_disconnect(indicatorRoot_, rootHandler_);
    g_object_unref(indicatorRoot_);
  }
  if (indicator_) g_object_unref(indicator_);
  if (icon_) g_object_unref(icon_);
  if (menu_) {
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
  }
}

bool GtkStatusItem::create() {
  const std::string icon(kAppSymbolicIconName);
  // Off X11 the item waits for a host that starts later (a bar started after the tray).
  if (statusNotifierHostAvailable() || !xembedPossible()) {
    kind_ = TrayKind::statusNotifier;
    // Deprecated in the newest releases for a library that is not packaged everywhere yet.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    indicator_ =
        app_indicator_new("tessaloom", icon.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (!xembedPossible()) {
      AppIndicatorClass* indicatorClass = APP_INDICATOR_GET_CLASS(indicator_);
      indicatorClass->fallback = noFallback;
      indicatorClass->unfallback = noUnfallback;
    }
    if (const auto path = iconSearchPath())
      app_indicator_set_icon_theme_path(indicator_, path->c_str());
    // The item registers only once it has a menu; the real one follows with the delegate.
    setMenu(MenuModel{});
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
    if (trace_) trace_("status-item status-notifier");
  } else {
    kind_ = TrayKind::xembed;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    icon_ = gtk_status_icon_new();
    gtk_status_icon_set_name(icon_, "tessaloom");
    gtk_status_icon_set_title(icon_, "Tessaloom");
    gtk_status_icon_set_from_icon_name(icon_, icon.c_str());
    gtk_status_icon_set_visible(icon_, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_signal_connect(icon_, "activate", G_CALLBACK(iconActivated), this);
    g_signal_connect(icon_, "popup-menu", G_CALLBACK(iconPopupMenu), this);
    if (trace_) trace_("status-item xembed");
  }
  return true;
}

void GtkStatusItem::setImage(std::string_view symbol, std::string_view accessibilityDescription) {
  const auto name = xdg::themeIconForSymbol(symbol);
  iconName_ = name ? std::string(*name) : std::string();
  description_ = std::string(accessibilityDescription);
  if (indicator_) {
    app_indicator_set_icon_full(indicator_, iconName_.c_str(), description_.c_str());
  } else if (icon_) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (iconName_.empty())
      gtk_status_icon_set_from_pixbuf(icon_, nullptr);
    else
      gtk_status_icon_set_from_icon_name(icon_, iconName_.c_str());
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
}

void GtkStatusItem::setToolTip(std::string_view text) {
  const std::string tip(text);
  if (indicator_) app_indicator_set_title(indicator_, tip.c_str());
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (icon_) gtk_status_icon_set_tooltip_text(icon_, tip.c_str());
  G_GNUC_END_IGNORE_DEPRECATIONS
}

void GtkStatusItem::setMenuDelegate(MenuDelegate* delegate) {
  delegate_ = delegate;
  // The StatusNotifier host shows the menu itself, so it must be there before the first click.
  if (delegate_ && indicator_) delegate_->menuNeedsUpdate();
}

void GtkStatusItem::setMenu(const MenuModel& menu) {
  // Turning a GtkMenu into its D-Bus form may activate its items; those are not choices.
  rendering_ = true;
  std::weak_ptr<GtkStatusItem*> weak = self_;
  GtkWidget* rendered = renderMenu(menu, [weak](const MenuItem& item) {
    if (auto self = weak.lock()) (*self)->chosen(item);
  });
  g_object_ref_sink(rendered);
  GtkWidget* old = std::exchange(menu_, rendered);
  if (indicator_) {
    app_indicator_set_menu(indicator_, GTK_MENU(menu_));
    watchIndicatorRoot();
  }
  if (old) {
    gtk_widget_destroy(old);
    g_object_unref(old);
  }
  rendering_ = false;
}

void GtkStatusItem::watchIndicatorRoot() {
  if (indicatorRoot_) {
    g_signal_handler_disconnect(indicatorRoot_, rootHandler_);
    g_clear_object(&indicatorRoot_);
  }
  GObject* server = nullptr;
  g_object_get(indicator_, "dbus-menu-server", &server, nullptr);
  if (!server) return;
  g_object_get(server, "root-node", &indicatorRoot_, nullptr);
  g_object_unref(server);
  if (!indicatorRoot_) return;
  // The host announces that it opens the menu: it then reads the menu we hand over now.
  rootHandler_ = g_signal_connect(indicatorRoot_, "about-to-show",
                                  G_CALLBACK(+[](GObject*, gpointer data) -> gboolean {
                                    auto* item = static_cast<GtkStatusItem*>(data);
                                    if (item->delegate_ && !item->rendering_)
                                      item->delegate_->menuNeedsUpdate();
                                    return TRUE;
                                  }),
                                  this);
}

void GtkStatusItem::popUpMenu(unsigned button, unsigned time) {
  if (delegate_) delegate_->menuNeedsUpdate();
  if (!menu_) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_menu_popup(GTK_MENU(menu_), nullptr, nullptr, icon_ ? gtk_status_icon_position_menu : nullptr,
                 icon_, button, time);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (trace_) trace_("menu shown");
}

void GtkStatusItem::chosen(const MenuItem& item) {
  if (rendering_) return;
  // After the menu has closed and its signal has returned: the action may rebuild the menu.
  struct Pending {
    std::weak_ptr<GtkStatusItem*> self;
    MenuItem item;
  };
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      +[](gpointer data) -> gboolean {
        const auto* p = static_cast<Pending*>(data);
        auto self = p->self.lock();
        if (!self) return G_SOURCE_REMOVE;
        GtkStatusItem& status = **self;
        if (!status.delegate_) return G_SOURCE_REMOVE;
        status.delegate_->menuItemChosen(p->item);
        // A host reads the menu it shows from us: keep it current after every action.
        if (status.indicator_ && status.delegate_) status.delegate_->menuNeedsUpdate();
        return G_SOURCE_REMOVE;
      },
      new Pending{self_, item}, +[](gpointer data) { delete static_cast<Pending*>(data); });
}

}  // namespace tessaloom::platform::gtk
