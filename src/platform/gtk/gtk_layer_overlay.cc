#include "platform/gtk/gtk_layer_overlay.h"

#include <gtk/gtk.h>

#include <cmath>

#ifdef TESSALOOM_HAVE_GTK_LAYER_SHELL
#include <gtk-layer-shell.h>
#endif

namespace tessaloom::platform::gtk {

std::unique_ptr<GtkLayerOverlay> GtkLayerOverlay::ifSupported() {
#ifdef TESSALOOM_HAVE_GTK_LAYER_SHELL
  if (gtk_layer_is_supported()) return std::unique_ptr<GtkLayerOverlay>(new GtkLayerOverlay());
#endif
  return nullptr;
}

GtkWidget* GtkLayerOverlay::makeWindow() {
  // A layer surface is made from a toplevel, set up before it is realized.
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
#ifdef TESSALOOM_HAVE_GTK_LAYER_SHELL
  GtkWindow* w = GTK_WINDOW(window);
  gtk_layer_init_for_window(w);
  gtk_layer_set_namespace(w, "tessaloom-hud");
  gtk_layer_set_layer(w, GTK_LAYER_SHELL_LAYER_OVERLAY);
  gtk_layer_set_keyboard_interactivity(w, FALSE);
  // Takes no room from other surfaces: panels and windows stay where they are.
  gtk_layer_set_exclusive_zone(w, -1);
  gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
  gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
#endif
  return window;
}

void GtkLayerOverlay::placeWindow(GtkWidget* window, Point origin) {
#ifdef TESSALOOM_HAVE_GTK_LAYER_SHELL
  // The global space starts at the primary output's top left; a layer surface is placed by
  // its margins from the top left of the output it is on.
  GdkDisplay* display = gtk_widget_get_display(window);
  GdkMonitor* primary = gdk_display_get_primary_monitor(display);
  if (!primary) primary = gdk_display_get_monitor(display, 0);
  GdkRectangle p{0, 0, 0, 0};
  if (primary) gdk_monitor_get_geometry(primary, &p);
  const int x = p.x + static_cast<int>(std::lround(origin.x));
  const int y = p.y + static_cast<int>(std::lround(origin.y));
  GdkMonitor* monitor = gdk_display_get_monitor_at_point(display, x, y);
  GdkRectangle m{0, 0, 0, 0};
  if (monitor) gdk_monitor_get_geometry(monitor, &m);
  GtkWindow* w = GTK_WINDOW(window);
  gtk_layer_set_monitor(w, monitor);
  gtk_layer_set_margin(w, GTK_LAYER_SHELL_EDGE_LEFT, x - m.x);
  gtk_layer_set_margin(w, GTK_LAYER_SHELL_EDGE_TOP, y - m.y);
#else
  GtkPlateOverlay::placeWindow(window, origin);
#endif
}

}  // namespace tessaloom::platform::gtk
