// The command on GNOME Shell while the program's extension is installed but switched off: it says
// what to run, works as soon as the extension is on, and no longer once it is off again.
#include "e2e/gnome_desktop.h"
#include "support/temp_dir.h"

namespace tessaloom::e2e {
namespace {

TEST(GnomeShellWithoutTheExtension, TheCommandSaysWhatToRunUntilItIsSwitchedOn) {
  testing::TempDir dir;
  GnomeDesktop desktop(false);
  if (const auto why = desktop.start(dir.path() / "desktop", 1); !why.empty()) GTEST_SKIP() << why;
  auto env = desktop.environment();
  env.insert(env.end(), {{"TESSALOOM_DEFAULTS", dir.file("defaults.json")},
                         {"XDG_CONFIG_HOME", dir.file("config")},
                         {"XDG_DATA_HOME", dir.file("data")}});
  const auto list = [&] { return testing::runProgram(TESSALOOM_BINARY, {"--list"}, env, 30); };
  const auto r = list();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("gnome-extensions enable tessaloom@tessaloom.github.io"), std::string::npos)
      << r.out;
  ASSERT_TRUE(desktop.switchExtension(true));
  int status = -1;
  for (auto deadline = x11test::after(15); status != 0 && x11test::Clock::now() < deadline;)
    status = list().status;
  EXPECT_EQ(status, 0) << "the command does not work once the extension is on";
  // Switched off, the extension lets go of its name at once.
  ASSERT_TRUE(desktop.switchExtension(false));
  EXPECT_EQ(list().status, 2);
}

}  // namespace
}  // namespace tessaloom::e2e
