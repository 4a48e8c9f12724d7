#include "platform/gtk/gtk_symbols.h"

#include <algorithm>

namespace tessaloom::platform::gtk {
namespace {

// GdkModifierType bits, spelled out so this file needs no toolkit header.
constexpr std::uint32_t kGdkShift = 1u << 0;
constexpr std::uint32_t kGdkControl = 1u << 2;
constexpr std::uint32_t kGdkAlt = 1u << 3;     // GDK_MOD1_MASK
constexpr std::uint32_t kGdkSuper = 1u << 26;  // GDK_SUPER_MASK

}  // namespace

std::string displayTitle(const MenuItem& item) {
  const int level = item.indentationLevel > 0 ? std::min(item.indentationLevel, 16) : 0;
  return std::string(static_cast<std::size_t>(level) * 4, ' ') + item.title;
}

bool isCheckItem(const MenuItem& item) {
  return item.mark != MenuMark::none || item.on;
}

bool isRadioItem(const MenuItem& item) {
  return item.mark == MenuMark::radio;
}

std::optional<Accelerator> accelerator(const MenuItem& item) {
  if (!item.shortcut) return std::nullopt;
  const char c = item.shortcut->letter;
  if (c < 'a' || c > 'z') return std::nullopt;
  Accelerator a;
  a.key = static_cast<std::uint32_t>(c);  // GDK key values of the letters are their ASCII codes
  const auto m = item.shortcut->modifiers;
  if (m & kControl) a.modifiers |= kGdkControl;
  if (m & kAlt) a.modifiers |= kGdkAlt;
  if (m & kShift) a.modifiers |= kGdkShift;
  if (m & kSuper) a.modifiers |= kGdkSuper;
  return a;
}

}  // namespace tessaloom::platform::gtk
