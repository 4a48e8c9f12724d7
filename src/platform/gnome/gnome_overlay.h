// The overlay seam on GNOME: plates drawn by the Shell extension (never reactive, never
// focused). The look is decided here and sent as St styles; the core moves and fades them.
#pragma once

#include <string>

#include "platform/gnome/shell_channel.h"
#include "platform/overlay.h"

namespace tessaloom::platform::gnome {

/// What PlateCreate takes for `content`: the text, the icon and its size, the extension's look
/// by name and its sizes (pixels, one per point); never styles of its own.
std::string plateJson(const OverlayContent& content);

class GnomeOverlay final : public Overlay {
 public:
  explicit GnomeOverlay(ShellChannel& channel) : channel_(channel) {}
  std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) override;

 private:
  ShellChannel& channel_;
};

}  // namespace tessaloom::platform::gnome
