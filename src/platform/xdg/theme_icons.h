// The icon-theme names that stand for the core's symbol names, for every desktop that draws
// them (the tray's toolkit, GNOME Shell's plates). Pure: no toolkit calls.
#pragma once

#include <optional>
#include <string_view>

namespace tessaloom::platform::xdg {

/// The name of this program's own icon in the icon theme, and its monochrome variant.
inline constexpr std::string_view kAppIconName = "tessaloom";
inline constexpr std::string_view kAppSymbolicIconName = "tessaloom-symbolic";

/// The icon-theme icon that stands for a symbol name (present in the stock Adwaita theme, or
/// this program's own icon); nothing for a name without one.
std::optional<std::string_view> themeIconForSymbol(std::string_view symbol);

}  // namespace tessaloom::platform::xdg
