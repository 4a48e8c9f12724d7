// Reading the desktop entries of XDG data directories: which files count as installed
// applications, which of two files with one id wins, and what an entry is found by.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/x11/desktop_entries.h"
#include "support/x11_desktop.h"

namespace tessaloom::platform::x11 {
namespace {

class DesktopEntryReading : public ::testing::Test {
 protected:
  // A desktop file under data directory `dir` (0 = the user's, 1 and 2 = system ones).
  void entry(int dir, const std::string& relative, const std::string& body) {
    dir_.write(folder(dir) + "/applications/" + relative, "[Desktop Entry]\n" + body);
  }
  std::string folder(int dir) const { return "data" + std::to_string(dir); }
  DesktopEntryIndex read() const {
    return DesktopEntryIndex::read(
        {dir_.path() / folder(0), dir_.path() / folder(1), dir_.path() / folder(2)});
  }
  // The name of the entry `id`, or "-" when there is none.
  static std::string nameOf(const DesktopEntryIndex& index, const std::string& id) {
    const DesktopEntry* e = index.find(id);
    return e ? e->name : "-";
  }

  x11test::TempDir dir_;
};

TEST_F(DesktopEntryReading, TheUsersDirectoryHidesTheSystemsFilesOfTheSameId) {
  entry(0, "org.example.Mail.desktop", "Type=Application\nName=Mine\nExec=true\n");
  entry(1, "org.example.Mail.desktop", "Type=Application\nName=System\nExec=true\n");
  entry(1, "org.example.Calc.desktop", "Type=Application\nName=Calculator\nExec=true\n");
  // Hidden (deleted by the user) and no application at all: each hides the system's file too.
  entry(0, "org.example.Gone.desktop", "Type=Application\nName=Gone\nHidden=true\n");
  entry(1, "org.example.Gone.desktop", "Type=Application\nName=Still here\nExec=true\n");
  entry(0, "org.example.Link.desktop", "Type=Link\nName=Link\nURL=https://example.org\n");
  entry(2, "org.example.Link.desktop", "Type=Application\nName=App\nExec=true\n");
  const auto index = read();
  EXPECT_EQ(nameOf(index, "org.example.Mail"), "Mine");
  EXPECT_EQ(nameOf(index, "org.example.Calc"), "Calculator");
  EXPECT_EQ(nameOf(index, "org.example.Gone"), "-");
  EXPECT_EQ(nameOf(index, "org.example.Link"), "-");
  EXPECT_EQ(index.find("org.example.Mail")->path,
            (dir_.path() / folder(0) / "applications/org.example.Mail.desktop").string());
}

TEST_F(DesktopEntryReading, SubfoldersMakeDashedIdsAndOtherFilesAreIgnored) {
  entry(1, "kde4/konsole.desktop", "Type=Application\nName=Konsole\nExec=true\n");
  entry(1, "notes.txt", "Type=Application\nName=Not an entry\nExec=true\n");
  entry(1, "broken.desktop", "this is = not [a key file\n\x01");
  dir_.write(folder(1) + "/applications/nogroup.desktop", "Name=No group\nExec=true\n");
  const auto index = read();
  EXPECT_EQ(nameOf(index, "kde4-konsole"), "Konsole");
  EXPECT_EQ(nameOf(index, "notes"), "-");
  EXPECT_EQ(nameOf(index, "broken"), "-");
  EXPECT_EQ(nameOf(index, "nogroup"), "-");
}

TEST_F(DesktopEntryReading, AnEntryWhoseProgramIsMissingIsNotInstalled) {
  const std::string missing = (dir_.path() / "no-such-program").string();
  entry(0, "a.desktop", "Type=Application\nName=A\nExec=" + missing + " --flag\n");
  entry(0, "b.desktop", "Type=Application\nName=B\nTryExec=" + missing + "\nExec=true\n");
  entry(0, "c.desktop", "Type=Application\nName=C\nExec=\"unclosed\n");
  // Only Exec names a program: present on PATH, found; D-Bus activated, no Exec at all.
  entry(0, "d.desktop", "Type=Application\nName=D\nExec=sh -c 'exit 0' %U\n");
  entry(0, "e.desktop", "Type=Application\nName=E\nDBusActivatable=true\n");
  const auto index = read();
  EXPECT_EQ(nameOf(index, "a"), "-");
  EXPECT_EQ(nameOf(index, "b"), "-");
  EXPECT_EQ(nameOf(index, "c"), "-");
  EXPECT_EQ(nameOf(index, "d"), "D");
  EXPECT_EQ(nameOf(index, "e"), "E");
}

TEST_F(DesktopEntryReading, StartupWMClassFindsTheFirstInstalledEntry) {
  const std::string missing = (dir_.path() / "no-such-program").string();
  entry(0, "old.desktop",
        "Type=Application\nName=Old\nStartupWMClass=Chat\nExec=" + missing + "\n");
  entry(1, "new.desktop", "Type=Application\nName=New\nStartupWMClass=Chat\nExec=true\n");
  entry(2, "other.desktop", "Type=Application\nName=Other\nStartupWMClass=Chat\nExec=true\n");
  const auto index = read();
  const DesktopEntry* chat = index.findByStartupWMClass("Chat");
  ASSERT_NE(chat, nullptr);
  EXPECT_EQ(chat->id, "new");
  EXPECT_EQ(index.findByStartupWMClass("chat"), nullptr);  // exact case only
}

TEST_F(DesktopEntryReading, NamesAreLocalizedAndAnUnnamedEntryGoesByItsId) {
  // The test program runs with LANGUAGE=ja.
  entry(0, "named.desktop", "Type=Application\nName=Notes\nName[ja]=ノート\nExec=true\n");
  entry(0, "unnamed.desktop", "Type=Application\nExec=true\n");
  const auto index = read();
  EXPECT_EQ(nameOf(index, "named"), "ノート");
  EXPECT_EQ(nameOf(index, "unnamed"), "unnamed");
}

TEST_F(DesktopEntryReading, UnreadableFoldersAndFilesAreLeftOut) {
  entry(1, "ok.desktop", "Type=Application\nName=OK\nExec=true\n");
  entry(1, "locked.desktop", "Type=Application\nName=Locked\nExec=true\n");
  ::chmod((dir_.path() / folder(1) / "applications/locked.desktop").c_str(), 0);
  const bool root = ::geteuid() == 0;  // root reads it anyway
  const auto index = read();
  EXPECT_EQ(nameOf(index, "ok"), "OK");
  if (!root) {
    EXPECT_EQ(nameOf(index, "locked"), "-");
  }
  // Directories that do not exist are no error.
  EXPECT_EQ(DesktopEntryIndex::read({dir_.path() / "nothing"}).find("ok"), nullptr);
}

}  // namespace
}  // namespace tessaloom::platform::x11
