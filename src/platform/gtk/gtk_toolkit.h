// Starting GTK for the tray application, and where this program's own icons are found.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"

namespace tessaloom::platform::gtk {

/// Initialises GTK on the display named by DISPLAY and makes this program's icons findable.
/// A failure, with one line for the user, when no display can be opened.
Outcome start();

/// The folder with this program's icon theme files (hicolor/...) when the icons are not
/// installed in a theme GTK searches anyway: the build's source tree. Nothing otherwise.
std::optional<std::string> iconSearchPath();

}  // namespace tessaloom::platform::gtk
