// The feedback plate in GTK: an override-redirect popup that never takes focus, never
// activates this program and lets every click through; translucent only where a compositor
// runs. Placement and fading are the core's.
#pragma once

#include <memory>

#include "platform/overlay.h"

namespace tessaloom::platform::gtk {

class GtkPlateOverlay final : public Overlay {
 public:
  /// The window title of every plate (the way to find one on the screen).
  static constexpr const char* kTitle = "Tessaloom HUD";
  std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) override;
};

}  // namespace tessaloom::platform::gtk
