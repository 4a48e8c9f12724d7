// The tray application end to end: the real program on a scene file under a private Xvfb with
// openbox and a session bus, driven by xdotool.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gtk/tray_session.h"
#include "support/temp_dir.h"

namespace tessaloom::traytest {
namespace {

using Frames = std::vector<std::vector<double>>;

class TrayAppTest : public TraySession {
 protected:
  /// What the command line makes of the original scene with `args`: the oracle for the
  /// frames the hot keys produce.
  Frames commandLineFrames(const std::vector<std::string>& args) {
    testing::TempDir other;
    std::ofstream(other.path() / "scene.json") << defaultScene().dump();
    const auto result =
        testing::runProgram(TESSALOOM_BINARY, args,
                            {{"TESSALOOM_SCENE", (other.path() / "scene.json").string()},
                             {"TESSALOOM_DEFAULTS", (other.path() / "defaults.json").string()},
                             {"XDG_CONFIG_HOME", (other.path() / "config").string()},
                             {"-DISPLAY", ""}});
    EXPECT_EQ(result.status, 0) << result.out;
    return frames((other.path() / "scene.json").string());
  }

  /// Presses `keys` and waits until a plate shows; then until it has gone again.
  void pressAndSeeFeedback(const std::string& keys, const std::string& screenshotName = "") {
    ASSERT_EQ(xdotool({"key", keys}), 0);
    std::optional<xcb_window_t> plate;
    ASSERT_TRUE(probe().waitUntil([&] { return (plate = shownOverlay()).has_value(); }, 10))
        << "no feedback after " << keys;
    // Never managed, so never focused or listed: an override-redirect popup.
    EXPECT_TRUE(attributes(*plate).overrideRedirect);
    EXPECT_FALSE(probe().managed(*plate));
    if (!screenshotName.empty()) screenshot(screenshotName, "520x160+700+740");
    // Held 1.4 s, faded out over 0.3 s: gone well within the deadline.
    EXPECT_TRUE(probe().waitUntil([&] { return !shownOverlay(); }, 6)) << "the plate stays";
  }
};

TEST_F(TrayAppTest, HotKeysArrangeAndUndoWithFeedbackAndTheSceneIsWrittenOnQuit) {
  const Frames original = frames();
  const Frames grid = commandLineFrames({"--apply", "grid"});
  ASSERT_NE(grid, original);

  auto& first = startTray();
  EXPECT_EQ(registered(), std::vector<int>{first.pid()});
  pressAndSeeFeedback("ctrl+alt+g", "overlay.png");
  EXPECT_EQ(quit(first), 0);
  EXPECT_EQ(frames(), grid);
  EXPECT_TRUE(registered().empty()) << "the copy left its record behind";

  // The undo snapshot lives in the defaults file, so a new copy takes the arrangement back.
  auto& second = startTray();
  pressAndSeeFeedback("ctrl+alt+z");
  EXPECT_EQ(quit(second), 0);
  EXPECT_EQ(frames(), original);
}

TEST_F(TrayAppTest, HotKeysWorkWithNumLockAndCapsLockOn) {
  const Frames columns = commandLineFrames({"--apply", "columns"});
  auto& tray = startTray();
  ASSERT_EQ(xdotool({"key", "Num_Lock"}), 0);
  pressAndSeeFeedback("ctrl+alt+h");
  ASSERT_EQ(xdotool({"key", "Caps_Lock"}), 0);
  pressAndSeeFeedback("ctrl+alt+z");
  pressAndSeeFeedback("ctrl+alt+h");
  EXPECT_EQ(quit(tray), 0);
  EXPECT_EQ(frames(), columns);
}

TEST_F(TrayAppTest, ASecondCopyEndsTheFirstAndTakesItsKeys) {
  auto& first = startTray();
  auto& second = startTray();
  EXPECT_EQ(first.waitExit(20), 0) << "the first copy did not quit cleanly";
  EXPECT_FALSE(second.waitExit(0)) << "the second copy ended too";
  EXPECT_EQ(registered(), std::vector<int>{second.pid()});
  // The first copy's keys were free again before the second one registered its own.
  pressAndSeeFeedback("ctrl+alt+g");
  EXPECT_EQ(quit(second), 0);
  EXPECT_EQ(frames(), commandLineFrames({"--apply", "grid"}));
}

TEST_F(TrayAppTest, ACopyNeverSignalsAProcessItHasNotProvenToBeATrayCopy) {
  // A process that a record in the runtime folder, where copies once listed themselves, names.
  auto decoy = x11test::Process::start({"sleep", "60"}, {}, file("sleep.log"));
  ASSERT_TRUE(decoy);
  std::ifstream stat("/proc/" + std::to_string(decoy->pid()) + "/stat");
  const std::string fields((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream rest(fields.substr(fields.rfind(')') + 2));
  std::string startTime;
  for (int field = 3; field <= 22; ++field) rest >> startTime;
  std::filesystem::create_directories(dir_.path() / "runtime" / "tessaloom");
  std::ofstream(dir_.path() / "runtime" / "tessaloom" / std::to_string(decoy->pid()))
      << decoy->pid() << ' ' << startTime << '\n';
  auto& tray = startTray();
  EXPECT_EQ(::kill(decoy->pid(), 0), 0) << "the tray ended a process it does not know";
  EXPECT_EQ(registered(), std::vector<int>{tray.pid()});
  EXPECT_EQ(quit(tray), 0);
}

TEST_F(TrayAppTest, WithoutASessionBusItSaysSoAndRunsAnyway) {
  auto env = trayEnvironment();
  for (auto& entry : env)
    if (entry.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0) entry = "DBUS_SESSION_BUS_ADDRESS=";
  auto tray = TrayProcess::start(env, file("alone.log"));
  ASSERT_TRUE(tray);
  EXPECT_TRUE(tray->waitForLine("ready", 30));
  EXPECT_EQ(quit(*tray), 0);
  std::ifstream log(file("alone.log"));
  const std::string said((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(said.find("セッションバスに接続できません"), std::string::npos) << said;
}

TEST_F(TrayAppTest, SigintQuitsCleanlyToo) {
  auto& tray = startTray();
  tray.signal(SIGINT);
  EXPECT_EQ(tray.waitExit(20), 0);
  EXPECT_TRUE(registered().empty());
  EXPECT_EQ(frames(), Frames(frames()));  // the scene is still a readable document
  EXPECT_TRUE(scene().is_object());
}

TEST_F(TrayAppTest, AnOpenPromptDoesNotHoldTheQuit) {
  auto scene = defaultScene();
  scene["trusted"] = false;
  writeScene(scene);
  auto& tray = startTray();
  // The prompt follows the launch by half a second: the only window this desktop manages.
  ASSERT_TRUE(probe().waitUntil([&] { return !probe().clients().empty(); }, 20)) << "no prompt";
  tray.signal(SIGTERM);
  EXPECT_EQ(tray.waitExit(10), 0);
}

TEST_F(TrayAppTest, WithoutADisplayItSaysSoAndExitsWithStatusTwo) {
  const auto result = testing::runProgram(TESSALOOM_BINARY, {},
                                          {{"-DISPLAY", ""},
                                           {"TESSALOOM_SCENE", file("scene.json")},
                                           {"XDG_RUNTIME_DIR", file("runtime")}});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
  EXPECT_NE(result.out.find("デスクトップに接続できません"), std::string::npos) << result.out;
  EXPECT_TRUE(registered().empty());
}

TEST_F(TrayAppTest, WithoutAStatusNotifierHostTheClassicTrayIconOpensTheMenu) {
  if (!startClassicTray()) GTEST_SKIP() << "trayer is not installed";
  auto& tray = startTray();
  EXPECT_NE(std::find(tray.lines().begin(), tray.lines().end(), "status-item xembed"),
            tray.lines().end());
  // The icon embedded in the tray: a visible window of this program inside trayer's panel.
  std::string icon;
  ASSERT_TRUE(probe().waitUntil(
      [&] {
        const auto found = testing::runProgram(
            findProgram("xdotool"), {"search", "--onlyvisible", "--classname", "^tessaloom$"},
            {{"DISPLAY", display()}});
        icon = found.out.substr(0, found.out.find('\n'));
        return found.status == 0 && !icon.empty();
      },
      15))
      << "the icon was not embedded";
  ASSERT_EQ(xdotool({"mousemove", "--window", icon, "10", "10", "click", "1"}), 0);
  EXPECT_TRUE(tray.waitForLine("menu shown", 10)) << "the click did not open the menu";
  // The menu is a popup of this program: an override-redirect window that is mapped.
  EXPECT_TRUE(probe().waitUntil(
      [&] {
        for (auto w : windowsTitled("")) {
          const auto a = attributes(w);
          if (a.viewable && a.overrideRedirect) return true;
        }
        return false;
      },
      10));
  screenshot("tray-menu.png", "600x470+1320+0");
  xdotool({"key", "Escape"});
  EXPECT_EQ(quit(tray), 0);
}

}  // namespace
}  // namespace tessaloom::traytest
