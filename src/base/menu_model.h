// The status menu as a plain value: items with their titles, actions, key equivalents, images,
// states and submenus. The core builds it; a backend only renders it and reports which item
// was chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/chord.h"

namespace tessaloom {

/// What choosing an item does. `none` items do nothing (headings, the status line, items that
/// only open a submenu).
enum class MenuAction {
  none,
  layout,
  undo,
  save,
  restore,
  saveNamed,
  restoreNamed,
  forgetNamed,
  setKind,
  setDisplayMode,
  setGap,
  setAIRatio,
  toggleDetectTabs,
  toggleFollowMonitors,
  toggleLogin,
  help,
  about,
  askForControl,
  checkForUpdates,
  terminate,
};

/// Data an item carries to its action: nothing, a text, a list of texts or a number.
using RepresentedObject =
    std::variant<std::monostate, std::string, std::vector<std::string>, double>;

struct MenuItem {
  bool separator = false;
  std::string title;
  MenuAction action = MenuAction::none;
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
