#include "platform/gtk/gtk_menu.h"

#include <gio/gdesktopappinfo.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/gtk/gtk_symbols.h"

namespace tessaloom::platform::gtk {
namespace {

using Chosen = std::function<void(const MenuItem&)>;

// What an item's "activate" handler needs; owned by the item widget.
struct Activation {
  MenuItem item;
  std::shared_ptr<Chosen> chosen;
};

void activated(GtkMenuItem*, gpointer data) {
  const auto* a = static_cast<Activation*>(data);
  (*a->chosen)(a->item);
}

void freeActivation(gpointer data, GClosure*) {
  delete static_cast<Activation*>(data);
}

// The icon for the item: its symbol from the theme, else the application's own icon.
GtkWidget* imageFor(const MenuItem& item) {
  if (const auto name = xdg::themeIconForSymbol(item.image)) {
    GtkIconTheme* theme = gtk_icon_theme_get_default();
    const std::string icon(*name);
    if (gtk_icon_theme_has_icon(theme, icon.c_str()))
      return gtk_image_new_from_icon_name(icon.c_str(), GTK_ICON_SIZE_MENU);
  }
  if (!item.applicationIcon.empty()) {
    std::string id = item.applicationIcon;
    GDesktopAppInfo* info = g_desktop_app_info_new(id.c_str());
    if (!info && !id.ends_with(".desktop"))
      info = g_desktop_app_info_new((id + ".desktop").c_str());
    if (info) {
      GtkWidget* image = nullptr;
      if (GIcon* gicon = g_app_info_get_icon(G_APP_INFO(info)))
        image = gtk_image_new_from_gicon(gicon, GTK_ICON_SIZE_MENU);
      g_object_unref(info);
      if (image) return image;
    }
  }
  return nullptr;
}

GtkWidget* renderItem(const MenuItem& item, const std::shared_ptr<Chosen>& chosen) {
  if (item.separator) return gtk_separator_menu_item_new();
  const std::string title = displayTitle(item);
  GtkWidget* widget = nullptr;
  if (isCheckItem(item)) {
    widget = gtk_check_menu_item_new_with_label(title.c_str());
    gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(widget), isRadioItem(item));
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), item.on);
  } else if (GtkWidget* image = imageFor(item)) {
    // The image menu item is the one kind whose icon also reaches a StatusNotifier host.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    widget = gtk_image_menu_item_new_with_label(title.c_str());
    gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(widget), image);
    gtk_image_menu_item_set_always_show_image(GTK_IMAGE_MENU_ITEM(widget), TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  } else {
    widget = gtk_menu_item_new_with_label(title.c_str());
  }
  if (const auto a = accelerator(item)) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
    if (GTK_IS_ACCEL_LABEL(label))
      gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), a->key,
                                static_cast<GdkModifierType>(a->modifiers));
  }
  gtk_widget_set_sensitive(widget, item.enabled);
  if (!item.submenu.empty()) {
    GtkWidget* submenu = gtk_menu_new();
    for (const auto& child : item.submenu)
      gtk_menu_shell_append(GTK_MENU_SHELL(submenu), renderItem(child, chosen));
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), submenu);
  } else if (item.action != 0) {
    g_signal_connect_data(widget, "activate", G_CALLBACK(activated), new Activation{item, chosen},
                          freeActivation, GConnectFlags{});
  }
  return widget;
}

}  // namespace

GtkWidget* renderMenu(const MenuModel& menu, std::function<void(const MenuItem&)> chosen) {
  auto shared = std::make_shared<Chosen>(std::move(chosen));
  GtkWidget* widget = gtk_menu_new();
  for (const auto& item : menu.items)
    gtk_menu_shell_append(GTK_MENU_SHELL(widget), renderItem(item, shared));
  gtk_widget_show_all(widget);
  return widget;
}

}  // namespace tessaloom::platform::gtk
