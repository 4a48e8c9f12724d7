// The status-item seam: this program's icon in the panel's status area and the menu it opens.
// The core hands over a finished menu model each time the menu is about to open; the backend
// renders it and reports the chosen item.
#pragma once

#include <string_view>

#include "base/menu_model.h"

namespace tessaloom::platform {

/// Receives the menu's events, on the main thread.
class MenuDelegate {
 public:
  virtual ~MenuDelegate() = default;
  /// The menu is about to open; the delegate answers with setMenu() before this returns.
  virtual void menuNeedsUpdate() = 0;
  /// The user chose `item` (a copy of the item of the model last given to setMenu()).
  virtual void menuItemChosen(const MenuItem& item) = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;

  /// Creates the item in the status area, sized to its content; returns whether it has a
  /// button that can show an image and a tool tip. Called once.
  virtual bool create() = 0;
  /// The button's image: a symbol name, drawn as a template (monochrome, following the
  /// panel's colours); a name the backend does not know leaves the button without image.
  virtual void setImage(std::string_view symbol, std::string_view accessibilityDescription) = 0;
  virtual void setToolTip(std::string_view text) = 0;
  /// Attaches the menu: from now on `delegate` is asked for the menu each time it opens.
  /// Null detaches it.
  virtual void setMenuDelegate(MenuDelegate* delegate) = 0;
  /// The items to show; replaces whatever was shown before.
  virtual void setMenu(const MenuModel& menu) = 0;
};

}  // namespace tessaloom::platform
