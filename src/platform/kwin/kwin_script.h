// The script this program loads into KWin: plain JavaScript that reports facts (windows,
// outputs, the current desktop, the cursor) and carries out requests (place windows, bind a
// shortcut) it is handed over D-Bus. Every decision stays in the program.
#pragma once

#include <string>

namespace tessaloom::platform::kwin {

/// Where the script sends its reports (this program's connection on the session bus), and who
/// it is: the name KWin loaded it under and the token it sends with each report, so that the
/// program tells it from any other copy.
struct ScriptBus {
  std::string service;  // the connection's unique name
  std::string path;
  std::string interface;
  std::string plugin;
  std::string token;
};

/// The script text for `bus`; it runs on KWin 5 (clientList) and KWin 6 (windowList).
std::string agentScript(const ScriptBus& bus);

}  // namespace tessaloom::platform::kwin
