// Renders the core's menu model into a GtkMenu: titles, check marks, disabled states,
// separators, submenus, indentation, key-equivalent hints and symbol images. GTK only.
#pragma once

#include <functional>

#include "base/menu_model.h"

typedef struct _GtkWidget GtkWidget;

namespace tessaloom::platform::gtk {

/// A new GtkMenu (with a floating reference) for `menu`. Activating an enabled item calls
/// `chosen` with a copy of its model item; items that only open a submenu call nothing.
GtkWidget* renderMenu(const MenuModel& menu, std::function<void(const MenuItem&)> chosen);

}  // namespace tessaloom::platform::gtk
