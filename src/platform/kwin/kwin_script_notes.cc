#include "platform/kwin/kwin_script_notes.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <sstream>

namespace tessaloom::platform::kwin {
namespace {

std::string folder() {
  return std::string(g_get_user_runtime_dir()) + "/tessaloom-kwin";
}

// Our plugin names only: a note never names a script of another program, nor a path.
bool ours(const std::string& plugin) {
  return plugin.starts_with("tessaloom-") &&
         plugin.find_first_not_of("tessaloom-0123456789") == std::string::npos;
}

}  // namespace

bool writeNote(const ScriptNote& note) {
  if (!ours(note.plugin) || g_mkdir_with_parents(folder().c_str(), 0700) != 0) return false;
  const std::string text = note.kwin + "\n" + note.owner + "\n";
  return g_file_set_contents((folder() + "/" + note.plugin).c_str(), text.data(),
                             static_cast<gssize>(text.size()), nullptr);
}

void dropNote(const std::string& plugin) {
  if (ours(plugin)) g_remove((folder() + "/" + plugin).c_str());
}

std::vector<ScriptNote> readNotes() {
  std::vector<ScriptNote> notes;
  GDir* dir = g_dir_open(folder().c_str(), 0, nullptr);
  if (!dir) return notes;
  while (const gchar* name = g_dir_read_name(dir)) {
    gchar* contents = nullptr;
    if (!ours(name) ||
        !g_file_get_contents((folder() + "/" + name).c_str(), &contents, nullptr, nullptr))
      continue;
    std::istringstream lines(contents);
    g_free(contents);
    ScriptNote note{name, {}, {}};
    if (std::getline(lines, note.kwin) && std::getline(lines, note.owner) && !note.kwin.empty() &&
        !note.owner.empty())
      notes.push_back(std::move(note));
  }
  g_dir_close(dir);
  return notes;
}

}  // namespace tessaloom::platform::kwin
