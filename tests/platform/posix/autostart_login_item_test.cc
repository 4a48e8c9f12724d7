// The login item as an XDG autostart entry.
#include "platform/posix/autostart_login_item.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;

constexpr const char* kEntry = "config/autostart/tessaloom.desktop";

class AutostartLoginItemTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnvironment config{"XDG_CONFIG_HOME", dir.file("config")};
  AutostartLoginItem item{"/usr/local/bin/tessaloom"};
};

TEST_F(AutostartLoginItemTest, SwitchingOnWritesTheEntryAndOffRemovesIt) {
  EXPECT_FALSE(item.enabled());
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_EQ(dir.read(kEntry),
            "[Desktop Entry]\nType=Application\nName=Tessaloom\nExec=/usr/local/bin/tessaloom\n"
            "Terminal=false\nX-GNOME-Autostart-enabled=true\n");
  EXPECT_TRUE(item.enabled());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "config/autostart"),
                          fs::directory_iterator()),
            1)
      << "nothing but the entry is left in the folder";
  ASSERT_TRUE(item.setEnabled(false));
  EXPECT_FALSE(dir.exists(kEntry));
  EXPECT_TRUE(item.setEnabled(false)) << "an absent entry is no failure";

  // A hidden entry is off, and switching on replaces it.
  dir.write(kEntry, "[Desktop Entry]\nExec=/old/path\nHidden=true\n");
  EXPECT_FALSE(item.enabled());
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_EQ(dir.read(kEntry), AutostartLoginItem::entryText("/usr/local/bin/tessaloom"));
}

TEST_F(AutostartLoginItemTest, OnlyHiddenTrueInTheMainGroupSwitchesTheEntryOff) {
  const std::pair<const char*, bool> cases[] = {
      {"[Desktop Entry]\nType=Application\nExec=x\n", true},
      {"[Desktop Entry]\nHidden = true\n", false},
      {"[Desktop Entry]\nHidden=false\n", true},
      {"[Desktop Entry]\nHidden=True\n", true},  // booleans are lower case
      {"# Hidden=true\n[Desktop Entry]\nExec=x\n", true},
      {"[Desktop Entry]\nExec=x\n[Desktop Action quit]\nHidden=true\n", true},
      {"[Desktop Entry]\nHidden[de]=true\n", true},
      {"", true},
  };
  for (const auto& [text, enabled] : cases) {
    dir.write(kEntry, text);
    EXPECT_EQ(item.enabled(), enabled) << text;
  }
}

TEST(AutostartEntryText, QuotesAndEscapesTheProgramPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/tessaloom", "Exec=/usr/bin/tessaloom\n"},
      {"/opt/my apps/tessaloom", "Exec=\"/opt/my apps/tessaloom\"\n"},
      {"/opt/a$b/tessaloom", "Exec=\"/opt/a\\\\$b/tessaloom\"\n"},
      {"/opt/say \"hi\"/t", "Exec=\"/opt/say \\\\\"hi\\\\\"/t\"\n"},
      {"/opt/back\\slash/t", "Exec=\"/opt/back\\\\\\\\slash/t\"\n"},
      {"/opt/100%/t", "Exec=/opt/100%%/t\n"},
      {"/opt/it's/t", "Exec=\"/opt/it's/t\"\n"},
  };
  for (const auto& [executable, exec] : cases)
    EXPECT_NE(AutostartLoginItem::entryText(executable).find(exec), std::string::npos)
        << executable;
}

TEST_F(AutostartLoginItemTest, FailuresNameTheirPlaceAndChangeNothing) {
  const auto relative = AutostartLoginItem("tessaloom").setEnabled(true);
  EXPECT_FALSE(relative);
  EXPECT_FALSE(dir.exists(kEntry));

  dir.write(std::string(kEntry) + "/inside", "x");  // a folder where the entry goes
  const auto off = item.setEnabled(false);
  EXPECT_NE(off.error().find(dir.file(kEntry)), std::string::npos) << off.error();
  EXPECT_TRUE(dir.exists(std::string(kEntry) + "/inside"));

  fs::remove_all(dir.path() / "config");
  dir.write("config", "a file where the folder goes");
  const auto on = item.setEnabled(true);
  EXPECT_NE(on.error().find(dir.file("config")), std::string::npos) << on.error();
}

TEST_F(AutostartLoginItemTest, ALinkedEntryIsWrittenThroughItsLink) {
  dir.write("dotfiles/tessaloom.desktop", "[Desktop Entry]\nHidden=true\n");
  fs::create_directories(dir.path() / "config/autostart");
  fs::create_symlink(dir.path() / "dotfiles/tessaloom.desktop", dir.path() / kEntry);
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_TRUE(fs::is_symlink(dir.path() / kEntry));
  EXPECT_TRUE(item.enabled());
}

}  // namespace
}  // namespace tessaloom::platform
