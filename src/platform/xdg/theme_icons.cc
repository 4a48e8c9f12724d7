#include "platform/xdg/theme_icons.h"

#include <array>
#include <utility>

namespace tessaloom::platform::xdg {

std::optional<std::string_view> themeIconForSymbol(std::string_view symbol) {
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

}  // namespace tessaloom::platform::xdg
