// Starting GTK for the tray application, and where this program's own icons are found.
#pragma once

#include <optional>
#include <string>

namespace tessaloom::platform::gtk {

/// Initialises GTK on the display named by DISPLAY and makes this program's icons findable.
/// False, with one line for the user in `error`, when no display can be opened.
bool start(std::string& error);

/// The folder with this program's icon theme files (hicolor/...) when the icons are not
/// installed in a theme GTK searches anyway: the build's source tree. Nothing otherwise.
std::optional<std::string> iconSearchPath();

}  // namespace tessaloom::platform::gtk
