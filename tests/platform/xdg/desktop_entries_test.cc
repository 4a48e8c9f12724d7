// Which desktop entries count as installed applications, which of two with one id wins, and
// what an entry is found by, and whether a process runs.
#include "platform/xdg/desktop_entries.h"
#include "platform/xdg/process_running.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace tessaloom::platform::xdg {
namespace {

// A process runs while it exists, this user's or another's; an id that is none, or one wider
// than a process id (which would wrap onto another), never does.
TEST(ProcessRunning, OnlyWhileTheProcessExists) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::pair<std::int64_t, bool> rows[] = {
      {::getpid(), true}, {1, true},      {0, false},
      {-1, false},        {child, false}, {(std::int64_t{1} << 32) + ::getpid(), false}};
  for (const auto& [pid, running] : rows) EXPECT_EQ(processRunning(pid), running) << pid;
}

TEST(DesktopEntries, TheFirstFolderWinsAndOnlyEntriesThatCanStartCount) {
  testing::TempDir dir;
  const std::string missing = dir.file("no-such-program");
  const std::string app = "[Desktop Entry]\nType=Application\n";
  // Folder 0 is the user's, 1 and 2 the system's.
  const std::tuple<int, const char*, std::string> files[] = {
      {0, "mail.desktop", app + "Name=Mine\nExec=true\n"},
      {1, "mail.desktop", app + "Name=System\nExec=true\n"},
      // Deleted by the user, or no application at all: each hides the system's file too.
      {0, "gone.desktop", app + "Name=Gone\nHidden=true\n"},
      {1, "gone.desktop", app + "Name=Still here\nExec=true\n"},
      {0, "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org\n"},
      {2, "link.desktop", app + "Name=App\nExec=true\n"},
      {1, "kde4/konsole.desktop", app + "Name=Konsole\nExec=true\n"},
      {1, "notes.txt", app + "Name=Not an entry\nExec=true\n"},
      {1, "broken.desktop", "this is = not [a key file\n\x01"},
      {1, "nogroup.desktop", "Name=No group\nExec=true\n"},
      {0, "missing.desktop", app + "Name=A\nExec=" + missing + " --flag\n"},
      {0, "tried.desktop", app + "Name=B\nTryExec=" + missing + "\nExec=true\n"},
      {0, "unclosed.desktop", app + "Name=C\nExec=\"unclosed\n"},
      {0, "shell.desktop", app + "Name=D\nExec=sh -c 'exit 0' %U\n"},
      {0, "bus.desktop", app + "Name=E\nDBusActivatable=true\n"},
      {0, "unnamed.desktop", app + "Exec=true\n"},
      {0, "old.desktop", app + "Name=Old\nStartupWMClass=Chat\nExec=" + missing + "\n"},
      {1, "new.desktop", app + "Name=New\nStartupWMClass=Chat\nExec=true\n"},
      {2, "other.desktop", app + "Name=Other\nStartupWMClass=Chat\nExec=true\n"},
  };
  for (const auto& [folder, path, body] : files)
    dir.write("data" + std::to_string(folder) + "/applications/" + path, body);
  const auto index = DesktopEntryIndex::read(
      {dir.path() / "data0", dir.path() / "data1", dir.path() / "data2", dir.path() / "none"});
  const std::pair<const char*, const char*> names[] = {
      {"mail", "Mine"},      {"gone", "-"},     {"link", "-"},    {"kde4-konsole", "Konsole"},
      {"notes", "-"},        {"broken", "-"},   {"nogroup", "-"}, {"missing", "-"},
      {"tried", "-"},        {"unclosed", "-"}, {"shell", "D"},   {"bus", "E"},
      {"unnamed", "unnamed"}};
  for (const auto& [id, name] : names) {
    const DesktopEntry* e = index.find(id);
    EXPECT_EQ(e ? e->name : "-", name) << id;
  }
  EXPECT_EQ(index.find("mail")->path, dir.file("data0/applications/mail.desktop"));
  const DesktopEntry* chat = index.findByStartupWMClass("Chat");
  EXPECT_EQ(chat ? chat->id : "-", "new") << "the first that can start";
  EXPECT_EQ(index.findByStartupWMClass("chat"), nullptr) << "exact case only";
  // A window's application: by its GTK id, its StartupWMClass, then an entry named as it.
  const std::tuple<WindowClassHints, const char*, const char*> windows[] = {
      {{"mail", "Chat", "Chat"}, "mail", "Mine"},
      {{"", "x", "Chat"}, "new", "New"},
      {{"", "KDE4 Konsole", "y"}, "kde4-konsole", "Konsole"},
      {{"", "", "Web Browser"}, "web-browser", "Web Browser"},
      {{}, "", ""}};
  for (const auto& [hints, id, name] : windows) {
    const auto found = identifyApplication(index, hints);
    EXPECT_EQ(found.id + " " + found.name, std::string(id) + " " + name);
  }

  // Launching: by path or file: URI; a URI of no local file, or no entry, starts nothing.
  dir.write("touch.desktop", app + "Name=T\nExec=touch " + dir.file("touched") + "\n");
  const std::pair<std::string, bool> launches[] = {{"file:touch.desktop", false},
                                                   {dir.file("none.desktop"), false},
                                                   {"file://" + dir.file("touch.desktop"), true}};
  for (const auto& [path, started] : launches)
    EXPECT_EQ(launchDesktopEntry(path, ""), started) << path;
  EXPECT_TRUE(testing::waitUntil([&] { return std::filesystem::exists(dir.file("touched")); }, 5));
}

}  // namespace
}  // namespace tessaloom::platform::xdg
