// The feedback plate in GTK: an override-redirect popup that never takes focus, never
// activates this program and lets every click through; translucent only where a compositor
// runs. Placement and fading are the core's.
#pragma once

#include <memory>

#include "platform/overlay.h"

typedef struct _GtkWidget GtkWidget;

namespace tessaloom::platform::gtk {

class GtkPlateOverlay : public Overlay {
 public:
  /// The window title of every plate (the way to find one on the screen).
  static constexpr const char* kTitle = "Tessaloom HUD";
  std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) override;

  /// A plate's window, not yet realized: here an override-redirect popup.
  virtual GtkWidget* makeWindow();
  /// Puts a plate's window with its top left at `origin` (the global top-left space).
  virtual void placeWindow(GtkWidget* window, Point origin);
};

}  // namespace tessaloom::platform::gtk
