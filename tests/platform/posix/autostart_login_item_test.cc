#include "platform/posix/autostart_login_item.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "posix_fixtures.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using tessaloom::testing::ScopedEnvironment;
using tessaloom::testing::TempDir;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class AutostartLoginItemTest : public ::testing::Test {
 protected:
  TempDir folder;
  ScopedEnvironment config{"XDG_CONFIG_HOME", (folder.path() / "config").string()};
  fs::path entry = folder.path() / "config" / "autostart" / "tessaloom.desktop";
  AutostartLoginItem item{"/usr/local/bin/tessaloom"};
};

TEST(AutostartEntryPath, FollowsTheConfigFolderRules) {
  TempDir folder;
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(AutostartLoginItem::entryPath(), fs::path("/x/config/autostart/tessaloom.desktop"));
  }
  {
    // A relative XDG_CONFIG_HOME is not valid and falls back to the home folder.
    ScopedEnvironment config("XDG_CONFIG_HOME", "relative/config");
    ScopedEnvironment home("HOME", "/home/someone");
    EXPECT_EQ(AutostartLoginItem::entryPath(),
              fs::path("/home/someone/.config/autostart/tessaloom.desktop"));
  }
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_EQ(AutostartLoginItem::entryPath(), std::nullopt);
    AutostartLoginItem item("/usr/bin/tessaloom");
    EXPECT_EQ(item.status(), LoginItemStatus::notFound);
    std::string error;
    EXPECT_FALSE(item.registerItem(error));
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(AutostartLoginItemTest, RegisterWritesTheEntryAndUnregisterRemovesIt) {
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
  std::string error;
  ASSERT_TRUE(item.registerItem(error)) << error;
  EXPECT_EQ(readFile(entry),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Tessaloom\n"
            "Exec=/usr/local/bin/tessaloom\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(item.status(), LoginItemStatus::enabled);
  // Nothing but the entry is left behind in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), fs::directory_iterator()),
            1);

  ASSERT_TRUE(item.unregisterItem(error)) << error;
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
  // Removing an entry that is not there is no failure.
  EXPECT_TRUE(item.unregisterItem(error));
}

TEST_F(AutostartLoginItemTest, HiddenEntriesCountAsOff) {
  struct Case {
    const char* text;
    LoginItemStatus status;
  };
  const Case cases[] = {
      {"[Desktop Entry]\nType=Application\nExec=x\n", LoginItemStatus::enabled},
      {"[Desktop Entry]\nExec=x\nHidden=true\n", LoginItemStatus::notRegistered},
      {"[Desktop Entry]\nHidden = true\n", LoginItemStatus::notRegistered},
      {"[Desktop Entry]\nHidden=false\n", LoginItemStatus::enabled},
      {"[Desktop Entry]\nHidden=True\n", LoginItemStatus::enabled},  // booleans are lower case
      {"# Hidden=true\n[Desktop Entry]\nExec=x\n", LoginItemStatus::enabled},
      {"[Desktop Entry]\nExec=x\n[Desktop Action quit]\nHidden=true\n", LoginItemStatus::enabled},
      {"[Desktop Entry]\nHidden[de]=true\n", LoginItemStatus::enabled},
      {"", LoginItemStatus::enabled},
  };
  for (const auto& c : cases) {
    writeFile(entry, c.text);
    EXPECT_EQ(item.status(), c.status) << c.text;
  }
}

TEST_F(AutostartLoginItemTest, RegisterReplacesAHiddenEntry) {
  writeFile(entry, "[Desktop Entry]\nExec=/old/path\nHidden=true\n");
  std::string error;
  ASSERT_TRUE(item.registerItem(error)) << error;
  EXPECT_EQ(item.status(), LoginItemStatus::enabled);
  EXPECT_EQ(readFile(entry), AutostartLoginItem::entryText("/usr/local/bin/tessaloom"));
}

TEST(AutostartEntryText, QuotesAndEscapesTheProgramPath) {
  struct Case {
    const char* executable;
    const char* exec;
  };
  const Case cases[] = {
      {"/usr/bin/tessaloom", "Exec=/usr/bin/tessaloom\n"},
      {"/opt/my apps/tessaloom", "Exec=\"/opt/my apps/tessaloom\"\n"},
      {"/opt/a$b/tessaloom", R"(Exec="/opt/a\\$b/tessaloom")"
                             "\n"},
      {"/opt/say \"hi\"/t", R"(Exec="/opt/say \\"hi\\"/t")"
                            "\n"},
      {"/opt/back\\slash/t", R"(Exec="/opt/back\\\\slash/t")"
                             "\n"},
      {"/opt/100%/t", "Exec=/opt/100%%/t\n"},
      {"/opt/it's/t", "Exec=\"/opt/it's/t\"\n"},
  };
  for (const auto& c : cases) {
    const std::string text = AutostartLoginItem::entryText(c.executable);
    EXPECT_NE(text.find(c.exec), std::string::npos) << c.executable << "\n" << text;
  }
}

TEST_F(AutostartLoginItemTest, FailuresAreReportedWithTheirPlace) {
  std::string error;
  AutostartLoginItem relative("tessaloom");
  EXPECT_FALSE(relative.registerItem(error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(entry));

  // The config folder is a file, so the autostart folder cannot be made.
  writeFile(folder.path() / "config", "not a folder");
  error.clear();
  EXPECT_FALSE(item.registerItem(error));
  EXPECT_NE(error.find((folder.path() / "config").string()), std::string::npos) << error;
}

TEST_F(AutostartLoginItemTest, UnregisterFailureKeepsTheEntry) {
  // An entry that cannot be removed: a folder in its place that is not empty.
  writeFile(entry / "inside", "x");
  std::string error;
  EXPECT_FALSE(item.unregisterItem(error));
  EXPECT_NE(error.find(entry.string()), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(entry / "inside"));
}

}  // namespace
}  // namespace tessaloom::platform
