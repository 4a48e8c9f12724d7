// What the GTK backend shows for the core's names: icon-theme icons for symbol names, menu
// titles with their indentation, and key equivalents as GTK accelerators. Pure: no toolkit
// calls, so it is usable without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/menu_model.h"

namespace tessaloom::platform::gtk {

/// The name of this program's own icon in the icon theme, and its monochrome variant.
inline constexpr std::string_view kAppIconName = "tessaloom";
inline constexpr std::string_view kAppSymbolicIconName = "tessaloom-symbolic";

/// The icon-theme icon that stands for a symbol name (present in the stock Adwaita theme, or
/// this program's own icon); nothing for a name without one.
std::optional<std::string_view> iconNameForSymbol(std::string_view symbol);

/// The title as the menu shows it: four spaces per indentation level in front.
std::string displayTitle(const MenuItem& item);

/// Whether the item is drawn with a check box (a choice or a switch), and whether as a radio
/// button (one choice of a group).
bool isCheckItem(const MenuItem& item);
bool isRadioItem(const MenuItem& item);

/// A key equivalent in GTK terms: the key value and GdkModifierType bits.
struct Accelerator {
  std::uint32_t key = 0;
  std::uint32_t modifiers = 0;
  friend bool operator==(const Accelerator&, const Accelerator&) = default;
};
/// The accelerator that shows the item's shortcut; nothing when it has none or its key is not
/// a letter.
std::optional<Accelerator> accelerator(const MenuItem& item);

}  // namespace tessaloom::platform::gtk
