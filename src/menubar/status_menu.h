// The status menu built from one moment's state: permission, target windows, running
// applications and their kinds, settings, undo and saved arrangement, login item. Its texts are in
// the user's language. Pure: gathering the state is the tray application's work.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/menu_model.h"
#include "base/records.h"
#include "menubar/menu_action.h"
#include "platform/window_system.h"

namespace tessaloom {

/// One running application as the classification submenu offers it.
struct MenuApplication {
  std::string appId;
  std::string name;  // the application's name, else its identifier
  Kind current = Kind::ignore;
};

struct StatusMenuState {
  bool trusted = false;
  /// Without control: the step this desktop needs (its prompt's title); empty for none known.
  std::string controlStep;
  int browserWindows = 0;  // counted only when trusted
  int aiWindows = 0;
  std::vector<MenuApplication> applications;
  double gap = 0;
  DisplayMode displayMode = DisplayMode::perDisplay;
  double aiRatio = 0;
  bool detectAITabs = false;
  bool followMonitors = false;
  bool loginEnabled = false;
  bool hasUndo = false;
  bool hasSaved = false;
  /// The names of the named arrangements, oldest first.
  std::vector<std::string> named;
  std::string version;
  /// The hot keys the desktop refused: their items show no chord.
  std::vector<Chord> refusedChords;
};

/// The identifier, name and current kind the menu shows for `app`, against the user's
/// `overrides` (read once for the whole list).
MenuApplication menuApplication(const platform::AppFacts& app,
                                const std::map<std::string, Kind>& overrides);

/// The whole status menu for `state`, from the status line to the quit item.
MenuModel buildStatusMenu(const StatusMenuState& state);

}  // namespace tessaloom
