#include "platform/gtk/gtk_symbols.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tessaloom::platform::gtk {
namespace {

// GdkModifierType bits, spelled out so this file needs no toolkit header.
constexpr std::uint32_t kGdkShift = 1u << 0;
constexpr std::uint32_t kGdkControl = 1u << 2;
constexpr std::uint32_t kGdkAlt = 1u << 3;     // GDK_MOD1_MASK
constexpr std::uint32_t kGdkSuper = 1u << 26;  // GDK_SUPER_MASK

}  // namespace

std::optional<std::string_view> iconNameForSymbol(std::string_view symbol) {
  // Icons of the stock Adwaita theme that are closest in meaning.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kIcons = {{
      {"rectangle.split.2x2", kAppSymbolicIconName},
      {"square.grid.2x2", "view-grid-symbolic"},
      {"rectangle.split.3x1", "view-paged-symbolic"},
      {"rectangle.lefthalf.inset.filled", "view-dual-symbolic"},
      {"square.stack", "edit-copy-symbolic"},
      {"arrow.up.left.and.arrow.down.right", "zoom-fit-best-symbolic"},
      {"arrow.uturn.backward", "edit-undo-symbolic"},
      {"square.and.arrow.down", "document-save-symbolic"},
      {"clock.arrow.circlepath", "document-open-recent-symbolic"},
      {"app.badge.checkmark", "application-x-executable-symbolic"},
      {"gearshape", "emblem-system-symbolic"},
      {"exclamationmark.triangle", "dialog-warning-symbolic"},
      {"checkmark.circle.fill", "emblem-ok-symbolic"},
      {"trash", "user-trash-symbolic"},
  }};
  for (const auto& [name, icon] : kIcons)
    if (name == symbol) return icon;
  return std::nullopt;
}

std::string displayTitle(const MenuItem& item) {
  const int level = item.indentationLevel > 0 ? std::min(item.indentationLevel, 16) : 0;
  return std::string(static_cast<std::size_t>(level) * 4, ' ') + item.title;
}

bool isCheckItem(const MenuItem& item) {
  return isRadioItem(item) || item.action == MenuAction::toggleDetectTabs ||
         item.action == MenuAction::toggleLogin || item.on;
}

bool isRadioItem(const MenuItem& item) {
  return item.action == MenuAction::setKind || item.action == MenuAction::setDisplayMode ||
         item.action == MenuAction::setGap || item.action == MenuAction::setAIRatio;
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
