// A tiling desktop that dies in the middle of an arrangement, or freezes, fails the command
// within seconds with status 2 and one line saying why.
#include <signal.h>

#include "e2e/tiling_desktops.h"
#include "support/temp_dir.h"

namespace tessaloom::e2e {
namespace {

class TilingFailures : public ::testing::TestWithParam<std::string> {};

TEST_P(TilingFailures, FailTheCommandWithinSecondsInOneLine) {
  const bool freezes = GetParam().ends_with("Freezing");  // else it dies
  testing::TempDir dir;
  TilingDesktop desktop(GetParam().starts_with("sway") ? "sway" : "i3");
  if (const std::string why = desktop.start(dir.path(), 1); !why.empty()) GTEST_SKIP() << why;
  const pid_t compositor = desktop.compositorPid();
  // Killed by the client of a window as soon as the arrangement resizes it.
  if (!freezes) desktop.clientOptions = {"--kill-on-resize", std::to_string(compositor)};
  ASSERT_TRUE(desktop.open(kFirefox, {{"Notes", {100, 100, 600, 400}, false, !freezes}}));
  if (freezes) ::kill(compositor, SIGSTOP);
  auto env = desktop.environment();
  env.insert(env.end(), {{"-TESSALOOM_SCENE", ""},
                         {"TESSALOOM_DEFAULTS", dir.file("defaults.json")},
                         {"XDG_CONFIG_HOME", dir.file("config")},
                         {"XDG_DATA_HOME", dir.file("data")}});
  const auto r = testing::runProgram(TESSALOOM_BINARY, {"--apply", "grid"}, env, 6);
  ::kill(compositor, SIGCONT);
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_NE(r.out.find("lost the connection to the window manager"), std::string::npos) << r.out;
}

// A frozen i3 leaves the X server answering: the program goes on with plain X11 there.
INSTANTIATE_TEST_SUITE_P(Desktops, TilingFailures,
                         ::testing::Values("swayDying", "i3Dying", "swayFreezing"),
                         [](const auto& p) { return p.param; });

}  // namespace
}  // namespace tessaloom::e2e
