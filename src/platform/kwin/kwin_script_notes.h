// A note for each script this program has loaded into KWin, kept as a file in the user's
// runtime folder until the script is unloaded: a later run unloads the script of a program that
// died before it could. Only files here; no D-Bus.
#pragma once

#include <string>
#include <vector>

namespace tessaloom::platform::kwin {

struct ScriptNote {
  std::string plugin;  // the name KWin loaded the script under
  std::string kwin;    // KWin's unique name on the session bus then
  std::string owner;   // the unique name of the connection the script serves
  friend bool operator==(const ScriptNote&, const ScriptNote&) = default;
};

/// Keeps `note` (replacing one of the same plugin); false when it cannot be written.
bool writeNote(const ScriptNote& note);
/// Forgets the note of `plugin`.
void dropNote(const std::string& plugin);
/// Every note kept; unreadable ones are left out.
std::vector<ScriptNote> readNotes();

}  // namespace tessaloom::platform::kwin
