// The program on a real headless GNOME Shell with the Tessaloom extension: native Wayland and
// XWayland clients listed and arranged, undo, save and restore, the tray's hot key and
// overlay, two monitors, and the extension missing or switched off at run time.
#include "e2e/gnome_shell.h"

#include <csignal>

namespace tessaloom::gnometest {
namespace {

using testing::ProgramResult;

::testing::AssertionResult endedWith(const ProgramResult& r, int status) {
  return x11test::endedWith(r, status);
}

class GnomeShell : public GnomeShellTest {
 protected:
  static void SetUpTestSuite() { startShell<GnomeShell>(); }

  /// Two chat windows on Wayland and two browser windows under XWayland.
  void openFour() {
    open(kChat, {"New chat=640x480", "Project notes=560x420"});
    open(kChrome, {"Docs=700x500", "Mail=500x400"});
  }

  ::testing::AssertionResult arranges(const std::vector<std::string>& args) {
    const auto planned = plannedFrames(args);
    if (planned.empty()) return ::testing::AssertionFailure() << "nothing planned";
    const auto r = run(args);
    if (auto ended = endedWith(r, 0); !ended) return ended;
    return settleAt(planned);
  }
};

TEST_F(GnomeShell, ListsWaylandAndXWaylandWindowsWithTheirApplications) {
  const auto chat = open(kChat, {"New chat=640x480"});
  const auto chrome = open(kChrome, {"Docs=700x500"});
  const auto frames = framesNow();
  const auto r = run({"--list"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_NE(r.out.find("display Monitor 1 frame=(0.0, 0.0, 1280.0, 800.0) visible=(0.0, 32.0, "
                       "1280.0, 768.0)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ChatGPT | New chat | " + x11test::rectText(frames.at(chat[0]))),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Google Chrome | Docs | " + x11test::rectText(frames.at(chrome[0]))),
            std::string::npos)
      << r.out;
}

TEST_F(GnomeShell, EveryLayoutPutsTheWindowsAtThePlannedFrames) {
  openFour();
  open(kEpiphany, {"Save as=300x200"}, {"--dialog"});
  for (const char* layout : {"grid", "columns", "aiSplit", "cascade", "sameSize"})
    EXPECT_TRUE(arranges({"--apply", layout})) << layout;
}

TEST_F(GnomeShell, UndoTakesTheArrangementBackAndForth) {
  openFour();
  const auto before = framesNow();
  ASSERT_TRUE(arranges({"--apply", "grid"}));
  const auto grid = framesNow();
  ASSERT_TRUE(endedWith(run({"--undo"}), 0));
  EXPECT_TRUE(settleAt(before));
  ASSERT_TRUE(endedWith(run({"--undo"}), 0));
  EXPECT_TRUE(settleAt(grid));
}

TEST_F(GnomeShell, RestoreRelaunchesAQuitApplicationFromItsDesktopEntry) {
  open(kChat, {"New chat=640x480", "Project notes=560x420"});
  const auto chrome = open(kChrome, {"Docs=700x500"});
  ASSERT_TRUE(arranges({"--apply", "columns"}));
  const auto saved = framesNow();
  auto r = run({"--save"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "保存: 3枚\n");
  ASSERT_TRUE(endedWith(run({"--apply", "cascade"}), 0));
  clients_.front()->stop();
  ASSERT_TRUE(waitUntil([&] { return framesNow().size() == 1; }, 10));

  r = run({"--restore"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "復元: 3枚\n");
  const auto relaunched = windowsTitled({"New chat", "Project notes"});
  ASSERT_EQ(relaunched.size(), 2u);
  std::map<std::uint64_t, Rect> targets = {{chrome[0], saved.at(chrome[0])}};
  EXPECT_TRUE(settleAt(targets));
  EXPECT_EQ(framesNow().size(), 3u);
}

TEST_F(GnomeShell, AMaximizedWindowIsUnmaximizedAndPlaced) {
  open(kChrome, {"Docs=700x500"});
  // A Wayland client: GNOME 48 ignores an XWayland client's wish to map maximized.
  open(kEpiphany, {"Web=700x500"}, {"--maximized"});
  auto maximized = [&] {
    const json now = facts();
    return std::count_if(now["windows"].begin(), now["windows"].end(),
                         [](const json& w) { return w["maximized"] == true; });
  };
  ASSERT_TRUE(waitUntil([&] { return maximized() == 1; }, 5));
  EXPECT_TRUE(arranges({"--apply", "columns"}));
  EXPECT_EQ(maximized(), 0);
}

TEST_F(GnomeShell, AWindowClosedMidArrangementLeavesTheOthersArranged) {
  openFour();
  open(kEpiphany, {"Web=600x400"});
  auto command = Process::start({TESSALOOM_BINARY, "--apply", "grid"}, [&] {
    std::vector<std::string> env;
    for (const auto& [k, v] : environment())
      if (k.front() != '-') env.push_back(k + "=" + v);
    return env;
  }());
  ASSERT_TRUE(command);
  clients_.back()->stop();
  EXPECT_TRUE(command->waitExit(after(15)));
  const json f = facts();
  ASSERT_EQ(f["windows"].size(), 4u);
  // The Shell still answers and every remaining window lies in the work area.
  for (const auto& [id, frame] : framesNow()) {
    EXPECT_GE(frame.y, 32) << id;
    EXPECT_LE(frame.x + frame.width, 1280) << id;
  }
}

TEST_F(GnomeShell, TheTrayArrangesOnARealHotKeyAndShowsItsOverlay) {
  openFour();
  const auto planned = plannedFrames({"--apply", "grid"});
  auto tray = startTray();
  ASSERT_TRUE(tray);
  // The program's key bindings are in place once the extension has a client.
  const auto keys = testing::runProgram(sourcePath("tests/e2e/gnome/press-keys.js"),
                                        {"Control_L", "Alt_L", "g"}, session_->environment(), 20);
  ASSERT_EQ(keys.status, 0) << keys.err;
  EXPECT_TRUE(settleAt(planned));
  json plates;
  EXPECT_TRUE(waitUntil([&] { return !(plates = facts()["plates"]).empty(); }, 3));
  if (!plates.empty()) {
    EXPECT_NE(plates[0]["text"].get<std::string>().find("4"), std::string::npos) << plates;
    EXPECT_GT(plates[0]["frame"][2], 0);
  }
  EXPECT_TRUE(waitUntil([&] { return facts()["plates"].empty(); }, 5));
  tray->signal(SIGTERM);
  EXPECT_TRUE(tray->waitExit(after(10)));
}

class GnomeShellTwoMonitors : public GnomeShellTest {
 public:
  static std::vector<std::string> monitors() { return {"1280x800", "1024x768"}; }
  static void SetUpTestSuite() { startShell<GnomeShellTwoMonitors>(); }
};

TEST_F(GnomeShellTwoMonitors, MouseModeArrangesOnTheMonitorUnderThePointer) {
  open(kChat, {"New chat=640x480", "Project notes=560x420"});
  open(kChrome, {"Docs=700x500"});
  const auto moved = testing::runProgram(sourcePath("tests/e2e/gnome/press-keys.js"),
                                         {"--pointer", "1600", "300"}, session_->environment(), 20);
  ASSERT_EQ(moved.status, 0) << moved.err;
  ASSERT_TRUE(waitUntil([&] { return facts()["pointer"][0] >= 1280; }, 5));
  const auto planned = plannedFrames({"--apply", "grid", "--mouse"});
  ASSERT_EQ(planned.size(), 3u);
  for (const auto& [id, frame] : planned) EXPECT_GE(frame.x, 1280) << id;
  ASSERT_TRUE(endedWith(run({"--apply", "grid", "--mouse"}), 0));
  EXPECT_TRUE(settleAt(planned));
}

class GnomeShellWithoutExtension : public GnomeShellTest {
 public:
  static bool withExtension() { return false; }
  static void SetUpTestSuite() { startShell<GnomeShellWithoutExtension>(); }

 protected:
  void switchExtension(const char* method) {
    const auto r = testing::runProgram(
        "/usr/bin/gdbus",
        {"call", "--session", "--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
         "--method", std::string("org.gnome.Shell.Extensions.") + method,
         "tessaloom@tessaloom.github.io"},
        session_->environment(), 10);
    ASSERT_EQ(r.status, 0) << r.err;
  }
};

TEST_F(GnomeShellWithoutExtension, TheCommandSaysWhatToRunUntilTheExtensionAnswers) {
  auto r = run({"--list"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("gnome-extensions enable tessaloom@tessaloom.github.io"), std::string::npos)
      << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;

  switchExtension("EnableExtension");
  ASSERT_TRUE(waitUntil([&] { return facts().contains("monitors"); }, 10));
  EXPECT_TRUE(endedWith(run({"--list"}), 0));
  // Switched off, it lets go of its name at once.
  switchExtension("DisableExtension");
  EXPECT_EQ(run({"--list"}).status, 2);
}

TEST_F(GnomeShellWithoutExtension, TheTrayGetsReadyOnceTheExtensionIsEnabled) {
  auto tray = startTray();
  ASSERT_TRUE(tray);
  switchExtension("EnableExtension");
  // The tray looks every second, then says it is ready on the Shell's own overlay, and its
  // hot keys, asked for before the extension came, work.
  json plates;
  EXPECT_TRUE(waitUntil([&] { return !(plates = facts()["plates"]).empty(); }, 5));
  if (!plates.empty()) {
    EXPECT_NE(plates[0]["text"].get<std::string>().find("準備OK"), std::string::npos) << plates;
  }
  open(kChat, {"New chat=640x480"});
  const auto planned = plannedFrames({"--apply", "grid"});
  const auto keys = testing::runProgram(sourcePath("tests/e2e/gnome/press-keys.js"),
                                        {"Control_L", "Alt_L", "g"}, session_->environment(), 20);
  ASSERT_EQ(keys.status, 0) << keys.err;
  EXPECT_TRUE(settleAt(planned));
  // Its request for the extension is still open: the tray ends by force if need be.
  tray->stop();
  switchExtension("DisableExtension");
}

}  // namespace
}  // namespace tessaloom::gnometest
