#include "menubar/menu_model.h"

namespace tessaloom {

std::string_view selector(MenuAction action) {
  switch (action) {
    case MenuAction::none:
      return "";
    case MenuAction::layout:
      return "layoutAction:";
    case MenuAction::undo:
      return "undoAction";
    case MenuAction::save:
      return "saveAction";
    case MenuAction::restore:
      return "restoreAction";
    case MenuAction::setKind:
      return "setKindAction:";
    case MenuAction::setDisplayMode:
      return "setDisplayModeAction:";
    case MenuAction::setGap:
      return "setGapAction:";
    case MenuAction::setAIRatio:
      return "setAIRatioAction:";
    case MenuAction::toggleDetectTabs:
      return "toggleDetectTabsAction";
    case MenuAction::toggleLogin:
      return "toggleLoginAction";
    case MenuAction::help:
      return "helpAction";
    case MenuAction::about:
      return "aboutAction";
    case MenuAction::askForAccessibility:
      return "askForAccessibilityAction";
    case MenuAction::checkForUpdates:
      return "checkForUpdates:";
    case MenuAction::terminate:
      return "terminate:";
  }
  return "";
}

}  // namespace tessaloom
