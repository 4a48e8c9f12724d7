// The login item as an autostart entry: its text, and when it counts as on.
#include "platform/posix/autostart_login_item.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

TEST(AutostartLoginItem, OnlyHiddenInTheMainGroupSwitchesItOffAndSwitchingOnReplacesTheEntry) {
  testing::TempDir dir;
  const testing::ScopedEnvironment config("XDG_CONFIG_HOME", dir.file("config"));
  const std::string entry = "config/autostart/tessaloom.desktop";
  AutostartLoginItem item("/usr/bin/tessaloom");
  EXPECT_FALSE(item.enabled());
  EXPECT_FALSE(AutostartLoginItem("tessaloom").setEnabled(true)) << "a relative program";
  for (const auto& [text, enabled] : {std::pair<const char*, bool>{"[Desktop Entry]\n", true},
                                      {"[Desktop Entry]\nHidden = true \n", false},
                                      {"# Hidden=true\n[Desktop Entry]\n", true},
                                      {"[Desktop Entry]\n[Desktop Action q]\nHidden=true\n", true},
                                      {"[Desktop Entry]\nHidden[de]=true\n", true}}) {
    dir.write(entry, text);
    EXPECT_EQ(item.enabled(), enabled) << text;
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.enabled());
    ASSERT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(dir.exists(entry));
    EXPECT_TRUE(item.setEnabled(false)) << "an absent entry is no failure";
  }
}

TEST(AutostartLoginItem, QuotesAndEscapesTheProgramPath) {
  for (const auto& [executable, exec] :
       {std::pair<const char*, const char*>{"/usr/bin/t", "Exec=/usr/bin/t\n"},
        {"/my apps/t", "Exec=\"/my apps/t\"\n"},
        {"/a$b/t", "Exec=\"/a\\\\$b/t\"\n"},
        {"/back\\slash/t", "Exec=\"/back\\\\\\\\slash/t\"\n"},
        {"/100%/t", "Exec=/100%%/t\n"},
        {"/a\"b\nc/t", "Exec=\"/a\\\\\"b\\nc/t\"\n"}})
    EXPECT_NE(AutostartLoginItem::entryText(executable).find(exec), std::string::npos)
        << executable;
}

}  // namespace
}  // namespace tessaloom::platform
