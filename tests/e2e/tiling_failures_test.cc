// A tiling desktop that dies in the middle of an arrangement, freezes or sends a reply it
// should not fails the command within seconds with status 2 and one line saying why; the
// tray's hot keys leave the user's own bindings alone; a socket another user serves is not used.
#include <signal.h>

#include "e2e/tiling_desktops.h"
#include "platform/i3ipc/fake_ipc_peer.h"
#include "support/private_bus.h"
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
  EXPECT_TRUE(testing::failedInOneLine(r, "lost the connection to the window manager"));
}

// A peer that speaks as sway does but sends a reply no desktop sends (one deep enough to crash
// a recursive walk, one too large to parse in reasonable memory, malformed ones) fails the
// command in one line; it is never read as an empty desktop.
TEST(TilingReplies, AHostileOrMalformedReplyFailsTheCommandInOneLine) {
  std::string deep = R"({"nodes": [{"type": "workspace", "id": 1, "nodes": [)";
  for (int i = 0; i < 600000; ++i) deep += R"({"nodes": [)";
  for (int i = 0; i < 600000; ++i) deep += "]}";
  const std::string output =
      R"([{"name": "A", "active": true, "rect": {"width": 800, "height": 600}}])";
  const std::string visible = R"([{"id": 1, "visible": true, "output": "A"}])";
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {deep + "]}]}", visible, "nests deeper than"},
      {R"({"nodes": [)" + std::string(12 << 20, ' ') + "]}", visible, "larger than 8 MiB"},
      {R"({"nodes": [{"type": "workspace", "id": 1, "nodes": [)", visible, "is not JSON"},
      {R"({"nodes": [{"type": "output", "nodes": {"type": "workspace"}}]})", visible, "malformed"},
      {R"({"nodes": []})", R"({"id": 1})", "wrong shape"},
      // Run as nobody: a socket root serves is not this user's.
      {R"({"nodes": []})", visible, "refused the window manager"}};
  for (const auto& [tree, workspaces, why] : cases) {
    testing::TempDir dir;
    std::map<std::uint32_t, std::string> replies = {
        {7, R"({"variant": "sway"})"}, {4, tree}, {1, workspaces}, {3, output}};
    for (auto& [type, reply] : replies) reply = testing::FakeIpcPeer::frame(type, reply);
    testing::FakeIpcPeer sway(dir.file("ipc"), replies);
    const bool stranger = std::string_view(why).starts_with("refused");
    std::string program = TESSALOOM_BINARY;
    std::vector<std::string> args = {"--list"};
    if (stranger) {
      ASSERT_EQ(::getuid(), 0u) << "the tests run as root";
      std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
      std::filesystem::permissions(dir.file("ipc"), std::filesystem::perms::all);
      args.insert(args.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program});
      program = "/usr/bin/setpriv";
    }
    const auto r = testing::runProgram(program, args,
                                       {{"TESSALOOM_BACKEND", "sway"},
                                        {"SWAYSOCK", dir.file("ipc")},
                                        {"-TESSALOOM_SCENE", ""},
                                        {"TESSALOOM_DEFAULTS", dir.file("defaults.json")}},
                                       6);
    EXPECT_TRUE(testing::failedInOneLine(r, why));
  }
}

// Run as another user than i3's, the program leaves i3's socket alone and stays on X11.
TEST(TilingHandOver, TheX11BackendKeepsToASocketOfItsUser) {
  testing::TempDir dir;
  TilingDesktop desktop("i3");
  ASSERT_EQ(desktop.start(dir.path(), 1), "");
  ASSERT_TRUE(desktop.open(kFirefox, {{"Notes", {100, 100, 600, 400}}}));
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);  // and i3's socket:
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    std::filesystem::permissions(entry, std::filesystem::perms::all);
  auto env = desktop.environment();
  env.insert(env.end(), {{"-TESSALOOM_SCENE", ""}, {"HOME", dir.file("home")}});
  const auto r = testing::runProgram(
      "/usr/bin/setpriv",
      {"--reuid=nobody", "--regid=nogroup", "--clear-groups", TESSALOOM_BINARY, "--list"}, env, 6);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("refused the window manager"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Notes"), std::string::npos) << r.out;
}

// The user's configuration binds Control+Alt+G: the tray leaves that key to it and takes the
// others; on quit the user's binding stays and the tray's own are gone.
class TilingKeys : public ::testing::TestWithParam<std::string> {};

TEST_P(TilingKeys, TheTrayLeavesTheUsersBindingAndRemovesOnlyItsOwn) {
  const bool sway = GetParam() == "sway";
  testing::TempDir dir;
  TilingDesktop desktop(GetParam());
  const std::string pressed = dir.file("desktop/run/pressed");  // where sway may write
  desktop.userConfig = "bindsym Ctrl+Mod1+g exec touch " + pressed + "\n";
  ASSERT_EQ(desktop.start(dir.path() / "desktop", 1), "");
  testing::PrivateBus bus;
  std::filesystem::create_directories(dir.path() / "runtime");
  auto env = testing::edits(desktop.environment());  // the desktop's own first: they win
  env.insert(env.end(), {"DBUS_SESSION_BUS_ADDRESS=" + bus.address(), "-TESSALOOM_SCENE",
                         "XDG_RUNTIME_DIR=" + dir.file("runtime"), "HOME=" + dir.file("home"),
                         "XDG_CONFIG_HOME=" + dir.file("config"), "TESSALOOM_TRACE=1"});
  auto tray = testing::Process::start({TESSALOOM_BINARY}, env, dir.file("tray.log"));
  ASSERT_TRUE(tray && tray->readUntil("ready", testing::after(30)))
      << "the tray did not start; see tray.log";
  for (const bool running : {true, false}) {
    if (!running) tray->stop(), std::filesystem::remove(pressed);
    ASSERT_TRUE(desktop.press('g'));
    EXPECT_TRUE(testing::waitUntil([&] { return std::filesystem::exists(pressed); }, 5))
        << "the user's Control+Alt+G did not run" << (running ? "" : " after the tray quit");
  }
  EXPECT_EQ(tray->status(), 0);
  // i3's keys are X key grabs, which end with the tray's connection.
  EXPECT_FALSE(sway && desktop.command("unbindsym Ctrl+Mod1+h")) << "the tray left Control+Alt+H";
}

INSTANTIATE_TEST_SUITE_P(Desktops, TilingKeys, ::testing::Values("sway", "i3"),
                         [](const auto& p) { return p.param; });

// A frozen i3 leaves the X server answering: the program goes on with plain X11 there.
INSTANTIATE_TEST_SUITE_P(Desktops, TilingFailures,
                         ::testing::Values("swayDying", "i3Dying", "swayFreezing"),
                         [](const auto& p) { return p.param; });

}  // namespace
}  // namespace tessaloom::e2e
