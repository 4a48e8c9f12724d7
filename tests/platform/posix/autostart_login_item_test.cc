// The login item as an autostart entry: its text, when it counts as switched on, and failures
// that leave everything as it was.
#include "platform/posix/autostart_login_item.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEntry = "config/autostart/tessaloom.desktop";

TEST(AutostartLoginItem, SwitchesByWritingOrRemovingTheEntryThroughALink) {
  testing::TempDir dir;
  testing::ScopedEnvironment config("XDG_CONFIG_HOME", dir.file("config"));
  AutostartLoginItem item("/usr/bin/tessaloom");
  EXPECT_FALSE(item.enabled());
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_EQ(dir.read(kEntry),
            "[Desktop Entry]\nType=Application\nName=Tessaloom\n"
            "Exec=/usr/bin/tessaloom\nTerminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_TRUE(item.enabled());
  ASSERT_TRUE(item.setEnabled(false));
  EXPECT_FALSE(dir.exists(kEntry));
  EXPECT_TRUE(item.setEnabled(false)) << "an absent entry is no failure";
  // Only Hidden=true in the main group switches an entry off; switching on replaces it.
  const std::pair<const char*, bool> texts[] = {
      {"[Desktop Entry]\nHidden = true \n", false},
      {"[Desktop Entry]\nHidden=false\n", true},
      {"[Desktop Entry]\nHidden=True\n", true},
      {"# Hidden=true\n[Desktop Entry]\n", true},
      {"[Desktop Entry]\n[Desktop Action quit]\nHidden=true\n", true},
      {"[Desktop Entry]\nHidden[de]=true\n", true},
  };
  for (const auto& [text, enabled] : texts) {
    dir.write("dotfiles/tessaloom.desktop", text);
    fs::create_symlink(dir.path() / "dotfiles/tessaloom.desktop", dir.path() / kEntry);
    EXPECT_EQ(item.enabled(), enabled) << text;
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(fs::is_symlink(dir.path() / kEntry));
    EXPECT_EQ(dir.read("dotfiles/tessaloom.desktop"),
              AutostartLoginItem::entryText("/usr/bin/tessaloom"));
    EXPECT_TRUE(item.enabled());
    ASSERT_TRUE(item.setEnabled(false));
  }
}

TEST(AutostartLoginItem, QuotesAndEscapesTheProgramPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/my apps/t", "Exec=\"/opt/my apps/t\"\n"},
      {"/opt/a$b/t", "Exec=\"/opt/a\\\\$b/t\"\n"},
      {"/opt/say \"hi\"/t", "Exec=\"/opt/say \\\\\"hi\\\\\"/t\"\n"},
      {"/opt/back\\slash/t", "Exec=\"/opt/back\\\\\\\\slash/t\"\n"},
      {"/opt/100%/t", "Exec=/opt/100%%/t\n"},
      {"/opt/it's/t", "Exec=\"/opt/it's/t\"\n"},
  };
  for (const auto& [executable, exec] : cases)
    EXPECT_NE(AutostartLoginItem::entryText(executable).find(exec), std::string::npos)
        << executable;
}

TEST(AutostartLoginItem, FailuresNameTheirPlaceAndChangeNothing) {
  testing::TempDir dir;
  testing::ScopedEnvironment config("XDG_CONFIG_HOME", dir.file("config"));
  EXPECT_FALSE(AutostartLoginItem("tessaloom").setEnabled(true)) << "a relative program";
  EXPECT_FALSE(dir.exists(kEntry));
  AutostartLoginItem item("/usr/bin/tessaloom");
  dir.write(std::string(kEntry) + "/inside", "x");  // a folder where the entry goes
  EXPECT_NE(item.setEnabled(false).error().find(dir.file(kEntry)), std::string::npos);
  EXPECT_TRUE(dir.exists(std::string(kEntry) + "/inside"));
  fs::remove_all(dir.path() / "config");
  dir.write("config", "a file where the folder goes");
  EXPECT_NE(item.setEnabled(true).error().find(dir.file("config")), std::string::npos);
  EXPECT_EQ(dir.read("config"), "a file where the folder goes");
}

}  // namespace
}  // namespace tessaloom::platform
