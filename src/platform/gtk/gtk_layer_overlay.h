// The feedback plate on Wayland compositors that offer the layer shell (KWin, wlroots): a
// surface on the overlay layer of the output under the plate, which never takes the keyboard
// and lets every click through. Looks and fades as the X11 plate does.
#pragma once

#include <memory>

#include "platform/gtk/gtk_overlay.h"

namespace tessaloom::platform::gtk {

class GtkLayerOverlay final : public GtkPlateOverlay {
 public:
  /// The layer-shell plate when this is a Wayland session whose compositor offers the layer
  /// shell; nothing otherwise.
  static std::unique_ptr<GtkLayerOverlay> ifSupported();

  GtkWidget* makeWindow() override;
  void placeWindow(GtkWidget* window, Point origin) override;

 private:
  GtkLayerOverlay() = default;
};

}  // namespace tessaloom::platform::gtk
