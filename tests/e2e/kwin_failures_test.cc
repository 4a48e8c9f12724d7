// KWin and our script in it when things go wrong: a KWin that freezes or dies in the middle of a
// command fails it within seconds with status 2 and one line saying so; a program killed with
// SIGKILL leaves no script behind to break later commands and hot keys; windows on another
// virtual desktop are left alone; no other program on the bus can report or press.
#include <signal.h>

#include <future>

#include "e2e/kwin_desktop.h"
#include "support/temp_dir.h"

namespace tessaloom::e2e {
namespace {

class KWinRuns : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_.write("data/applications/firefox.desktop",
               "[Desktop Entry]\nType=Application\nName=Firefox\nExec=true\n");
    const std::string why = desktop_.start(dir_.path() / "desktop", 1);
    if (why.ends_with("is not installed")) GTEST_SKIP() << why;
    ASSERT_EQ(why, "");
  }

  Environment environment() const {
    Environment env = desktop_.environment();
    env.insert(env.end(), {{"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                           {"XDG_CONFIG_HOME", dir_.file("config")},
                           {"XDG_DATA_HOME", dir_.file("data")},
                           {"XDG_DATA_DIRS", dir_.file("system-data") + ":/usr/share"},
                           {"HOME", dir_.path().string()},
                           {"TESSALOOM_TRACE", "1"},
                           {"NO_AT_BRIDGE", "1"}});
    return env;
  }
  testing::ProgramResult run(const std::vector<std::string>& args, double seconds = 30) {
    return testing::runProgram(TESSALOOM_BINARY, args, environment(), seconds);
  }
  std::unique_ptr<testing::Process> startTray() {
    auto tray = testing::Process::start({TESSALOOM_BINARY}, testing::edits(environment()),
                                        dir_.file("tray.log"));
    return tray && tray->readUntil("ready", testing::after(30)) ? std::move(tray) : nullptr;
  }
  Rect frameOf(const std::string& title) {
    for (const auto& w : desktop_.windows())
      if (w.title == title) return w.frame;
    return {};
  }

  testing::TempDir dir_;
  KWinDesktop desktop_;
};

class KWinFailures : public KWinRuns {};

TEST_P(KWinFailures, FailTheCommandWithinSecondsInOneLine) {
  const bool freezes = GetParam().ends_with("Freezing");  // else it dies
  const pid_t kwin = desktop_.compositorPid();
  ASSERT_TRUE(desktop_.open(kFirefox, {{"Notes", {100, 100, 600, 400}}}));
  ASSERT_GT(kwin, 0);  // -1 would be every process
  ::kill(kwin, SIGSTOP);
  auto command = std::async(std::launch::async, [&] { return run({"--apply", "grid"}, 6); });
  // Killed once the command has written its script and waits on KWin.
  const auto waits = [&] {
    for (const auto& f : std::filesystem::directory_iterator(dir_.path() / "desktop/runtime"))
      if (f.path().extension() == ".js") return true;
    return false;
  };
  if (!freezes) {
    EXPECT_TRUE(testing::waitUntil(waits, 5));
    ::kill(kwin, SIGKILL);
  }
  const auto r = command.get();
  ::kill(kwin, SIGCONT);
  EXPECT_TRUE(
      testing::failedInOneLine(r, freezes ? "KWin did not answer" : "KWin left the session bus"));
  // A load that KWin carries out once it runs again is undone then too.
  EXPECT_TRUE(testing::waitUntil([&] { return desktop_.scripts().empty(); }, 5));
}

class KWinScripts : public KWinRuns {};

TEST_P(KWinScripts, NeverOutliveTheirProgramNorTouchAnotherDesktop) {
  ASSERT_TRUE(
      desktop_.open(kFirefox, {{"Docs", {100, 100, 800, 600}}, {"Away", {300, 200, 700, 500}}}));
  ASSERT_TRUE(desktop_.sendAway("Away"));
  const Rect away = frameOf("Away");
  // A command's script can get the number of a tray's, or of a dead tray's, when one loaded
  // before them is unloaded.
  ASSERT_TRUE(desktop_.hold(true));
  auto tray = startTray();
  ASSERT_TRUE(tray) << "the tray did not start; see tray.log";
  ASSERT_TRUE(desktop_.hold(false));
  EXPECT_EQ(run({"--apply", "cascade"}).out, "同じサイズで重ねる: 1枚\n");
  EXPECT_EQ(desktop_.scripts().size(), 1u);  // the tray's
  tray->signal(SIGKILL);
  EXPECT_EQ(run({"--undo"}).out, "元に戻した: 1枚\n");
  EXPECT_TRUE(testing::waitUntil([&] { return desktop_.scripts().empty(); }, 5));
  tray = startTray();
  ASSERT_TRUE(tray) << "the tray did not start again; see tray.log";
  // Any other program on the bus is refused, while a command beside it and the hot key work.
  auto command = std::async(std::launch::async, [&] { return run({"--apply", "cascade"}); });
  const std::string refused =
      desktop_.callEveryone({"KWinAgent.Next", "string:x", R"(string:{"windows":[]})"}) +
      desktop_.callEveryone({"KWinAgent.Pressed", "string:Tessaloom Ctrl+Alt+G"});
  const std::string outputs = desktop_.callEveryone({"KWinOutputs.Changed"});  // the tray's
  EXPECT_EQ(command.get().out, "同じサイズで重ねる: 1枚\n");
  EXPECT_EQ(refused.find("return"), std::string::npos) << refused;
  EXPECT_GE(std::count(refused.begin(), refused.end(), '\n'), 2) << refused;
  EXPECT_EQ(outputs, "Error org.freedesktop.DBus.Error.AccessDenied: only KWin may call this\n");
  // Inside KWin, where the bus lets a call through, a script without the tray's token is told
  // to end.
  EXPECT_EQ(desktop_.forge(), R"({"op":"quit"})");
  const Rect cascaded = frameOf("Docs");
  ASSERT_TRUE(desktop_.press('g'));
  EXPECT_TRUE(testing::waitUntil([&] { return frameOf("Docs") != cascaded; }, 10));
  EXPECT_EQ(frameOf("Away"), away);
}

INSTANTIATE_TEST_SUITE_P(Desktops, KWinFailures, ::testing::Values("kdeFreezing", "kdeDying"),
                         [](const auto& p) { return p.param; });
INSTANTIATE_TEST_SUITE_P(Desktops, KWinScripts, ::testing::Values("kde"),
                         [](const auto& p) { return p.param; });

}  // namespace
}  // namespace tessaloom::e2e
