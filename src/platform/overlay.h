// The overlay seam: a borderless feedback plate with a symbol and one line of text. The
// backend builds and draws it; placement and every change of opacity over time are decided by
// the core, which only sets an origin and an alpha.
#pragma once

#include <memory>
#include <string>

#include "base/geometry.h"

namespace tessaloom::platform {

/// How the plate looks; all lengths in points.
struct OverlayStyle {
  double fontSize = 0;         // system font, semibold, the label text colour
  double symbolPointSize = 0;  // symbol drawn semibold, tinted with the accent colour
  double spacing = 0;          // between symbol and text
  double insetTop = 0;
  double insetLeft = 0;
  double insetBottom = 0;
  double insetRight = 0;
  double cornerRadius = 0;  // of the translucent plate, which clips its content
  friend bool operator==(const OverlayStyle&, const OverlayStyle&) = default;
};

struct OverlayContent {
  std::string text;
  /// A symbol name (for example "checkmark.circle.fill"); an unknown name leaves an empty
  /// image area of the same size.
  std::string symbol;
  OverlayStyle style;
  friend bool operator==(const OverlayContent&, const OverlayContent&) = default;
};

/// One plate. It starts hidden at origin (0, 0); destroying it closes its window.
class OverlayPanel {
 public:
  virtual ~OverlayPanel() = default;

  /// The fitting size of symbol and text with the style's spacing and insets.
  virtual Size size() const = 0;
  /// Top-left corner in the global top-left space of the screens (see window_system.h).
  virtual void setFrameOrigin(Point origin) = 0;
  /// 0 (invisible) to 1 (opaque).
  virtual void setAlpha(double alpha) = 0;
  /// Shows the plate above ordinary windows on every workspace. It never takes the keyboard
  /// focus, never activates this program and lets pointer events through to what is below.
  virtual void orderFront() = 0;
  /// Hides the plate; ordering out a hidden plate does nothing.
  virtual void orderOut() = 0;
};

class Overlay {
 public:
  virtual ~Overlay() = default;

  /// A new hidden plate for `content`; never null.
  virtual std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) = 0;
};

}  // namespace tessaloom::platform
