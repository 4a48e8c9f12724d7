// The status menu as a plain value: items with their titles, key equivalents, images, states,
// submenus and the opaque code of their action. The core builds it; a backend only renders it
// and reports which item was chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/chord.h"

namespace tessaloom {

/// How an item shows its state: no mark, a check box (a switch) or a radio button (one choice of
/// a group).
enum class MenuMark { none, check, radio };

/// Data an item carries to its action: nothing, a text, a list of texts or a number.
using RepresentedObject =
    std::variant<std::monostate, std::string, std::vector<std::string>, double>;

struct MenuItem {
  bool separator = false;
  std::string title;
  /// What choosing the item does, in the tray's own numbering; 0 does nothing (headings, the
  /// status line, items that only open a submenu). A backend only hands it back.
  int action = 0;
  MenuMark mark = MenuMark::none;
  /// The chord shown beside the item (and accepted while the menu is open); none when unset.
  std::optional<Chord> shortcut;
  /// A symbol name, or empty for none.
  std::string image;
  /// When not empty: show the icon of the application with this identifier at 16 by 16
  /// points, if it has one.
  std::string applicationIcon;
  bool enabled = true;
  /// Shows a check mark.
  bool on = false;
  int indentationLevel = 0;
  RepresentedObject representedObject;
  std::vector<MenuItem> submenu;

  static MenuItem makeSeparator() {
    MenuItem item;
    item.separator = true;
    return item;
  }
  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

/// A menu: its items in order. The enabled flags are final; nothing is enabled automatically.
struct MenuModel {
  std::vector<MenuItem> items;
  friend bool operator==(const MenuModel&, const MenuModel&) = default;
};

}  // namespace tessaloom
