// What the GTK backend shows for the core's names: menu titles with their indentation, and key
// equivalents as GTK accelerators. Pure: no toolkit calls, so it is usable without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/menu_model.h"
#include "platform/xdg/theme_icons.h"

namespace tessaloom::platform::gtk {

using xdg::kAppIconName;
using xdg::kAppSymbolicIconName;

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
