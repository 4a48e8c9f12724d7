// What each item of the tray's menu does: the tray's own numbering of the code a menu item
// carries, and how an item of each action shows its state.
#pragma once

#include "base/menu_model.h"

namespace tessaloom {

/// `none` items do nothing (headings, the status line, items that only open a submenu).
enum class MenuAction : int {
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
  terminate,
};

/// The action of `item`; none for a code the tray never gives.
constexpr MenuAction actionOf(const MenuItem& item) {
  return item.action > 0 && item.action <= static_cast<int>(MenuAction::terminate)
             ? static_cast<MenuAction>(item.action)
             : MenuAction::none;
}

/// The mark an item of `action` shows: the switches a check box, the choices a radio button.
constexpr MenuMark markOf(MenuAction action) {
  switch (action) {
    case MenuAction::toggleDetectTabs:
    case MenuAction::toggleFollowMonitors:
    case MenuAction::toggleLogin:
      return MenuMark::check;
    case MenuAction::setKind:
    case MenuAction::setDisplayMode:
    case MenuAction::setGap:
    case MenuAction::setAIRatio:
      return MenuMark::radio;
    default:
      return MenuMark::none;
  }
}

}  // namespace tessaloom
