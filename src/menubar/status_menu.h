// The status menu built from one moment's state: permission, target windows, running
// applications and their kinds, settings, undo and saved arrangement, login item, updates.
// Pure: gathering the state is the tray application's work.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/records.h"
#include "base/menu_model.h"
#include "platform/workspace.h"

namespace tessaloom {

/// One running application as the classification submenu offers it.
struct MenuApplication {
  std::string bundleID;  // empty when the application has none
  std::string name;      // the localized name, else the identifier
  Kind current = Kind::ignore;
};

struct StatusMenuState {
  bool trusted = false;
  int browserWindows = 0;  // counted only when trusted
  int aiWindows = 0;
  std::vector<MenuApplication> applications;
  double gap = 0;
  DisplayMode displayMode = DisplayMode::perDisplay;
  double aiRatio = 0;
  bool detectAITabs = false;
  bool loginEnabled = false;
  bool hasUndo = false;
  bool hasSaved = false;
  bool canCheckForUpdates = false;
  std::string version;
};

/// The identifier, name and current kind the menu shows for `app`, against the user's
/// `overrides` (read once for the whole list).
MenuApplication menuApplication(const platform::RunningApplication& app,
                                const std::map<std::string, Kind>& overrides);

/// The whole status menu for `state`, from the status line to the quit item.
MenuModel buildStatusMenu(const StatusMenuState& state);

}  // namespace tessaloom
