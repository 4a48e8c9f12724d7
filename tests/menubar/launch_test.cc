// The tray application's launch, the permission prompt and watch, and the feedback of the
// layout and undo keys.
#include <gtest/gtest.h>

#include "scenes.h"
#include "tray_fixture.h"

namespace tessaloom {
namespace {

using platform::Alert;
using platform::SimCallKind;
using platform::SimHotKeys;
using platform::UiJournal;
using testing::deskScene;
using testing::emptyScene;

constexpr std::uint32_t kCtrlOpt = 0x1800;
const std::pair<std::string, std::string> kReady{"準備OK！ ⌃⌥G で整列できます",
                                                 "checkmark.circle.fill"};
const Alert kPrompt{
    "ウィンドウを動かす許可をください",
    "Tessaloom が他のアプリのウィンドウを動かすには「アクセシビリティ」の許可が必要です。\n\n"
    "1.「設定を開く」を押す\n"
    "2. 一覧の「Tessaloom」をオンにする（無ければ ＋ から追加）\n"
    "3. メニューバーの ▦ アイコンから使えます\n\n"
    "※ オンなのに動かないときは、一覧の「Tessaloom」を − "
    "で削除してから、もう一度追加してください（アップデート後に起こることがあります）。",
    {"設定を開く", "あとで"}};
constexpr int kLater = 1001;

class LaunchTest : public testing::TrayTest {
 protected:
  int prompts() const {
    return static_cast<int>(std::count(ui.alerts.shown.begin(), ui.alerts.shown.end(), kPrompt));
  }
  std::size_t writes() { return desktop->log().writes().size(); }
};

TEST_F(LaunchTest, WithThePermissionEverythingIsSetUpAndNothingIsAsked) {
  ui.installation.instances = {{"tessaloom", {41, 42}}};
  launch(deskScene(true));
  // Other copies are asked to quit before the status item exists; this one is spared.
  EXPECT_EQ(ui.journal, (UiJournal{"quit 41", "status item"}));
  EXPECT_EQ(ui.statusItem.image, "rectangle.split.2x2");
  EXPECT_EQ(ui.statusItem.accessibilityDescription, "Tessaloom");
  EXPECT_EQ(ui.statusItem.toolTip, "Tessaloom：ブラウザとAIのウィンドウを整える");
  EXPECT_EQ(ui.statusItem.delegate, &delegate());
  EXPECT_EQ(ui.hotKeys.registered, (std::vector<SimHotKeys::Registration>{{1, 5, kCtrlOpt},
                                                                          {2, 4, kCtrlOpt},
                                                                          {3, 0, kCtrlOpt},
                                                                          {4, 40, kCtrlOpt},
                                                                          {5, 1, kCtrlOpt},
                                                                          {6, 6, kCtrlOpt}}));
  EXPECT_FALSE(delegate().isWatchingForTrust());
  queue.advance(30);
  EXPECT_TRUE(ui.alerts.shown.empty());
  EXPECT_TRUE(ui.overlay.plates().empty());
}

TEST_F(LaunchTest, AStatusItemWithoutButtonStillGetsItsMenu) {
  ui.statusItem.hasButton = false;
  launch(deskScene(true));
  EXPECT_EQ(ui.statusItem.creations, 1);
  EXPECT_EQ(ui.statusItem.image, "");
  EXPECT_EQ(ui.statusItem.toolTip, "");
  EXPECT_FALSE(ui.statusItem.open().items.empty());
}

TEST_F(LaunchTest, AnAcceptedMoveEndsTheLaunchAtOnce) {
  ui.installation.path = "/Users/u/Downloads/Tessaloom.app";
  ui.installation.instances = {{"tessaloom", {41, 42}}};
  launch(deskScene(false));
  EXPECT_EQ(ui.application.terminations, 1);
  EXPECT_EQ(ui.statusItem.creations, 0);
  EXPECT_TRUE(ui.hotKeys.registered.empty());
  EXPECT_TRUE(ui.installation.terminated.empty());
  EXPECT_FALSE(delegate().isWatchingForTrust());
  queue.advance(5);
  EXPECT_EQ(ui.alerts.shown.size(), 1u);  // the offer only, no permission prompt
}

TEST_F(LaunchTest, ADeclinedMoveLaunchesNormally) {
  ui.installation.path = "/Users/u/Downloads/Tessaloom.app";
  ui.alerts.answers = {kLater};
  launch(deskScene(true));
  EXPECT_EQ(ui.statusItem.creations, 1);
  EXPECT_EQ(ui.hotKeys.registered.size(), 6u);
}

TEST_F(LaunchTest, WithoutThePermissionThePromptFollowsAndTheWatchReportsOnce) {
  ui.alerts.answers = {kLater};
  launch(deskScene(false));
  EXPECT_TRUE(delegate().isWatchingForTrust());  // the watch runs while the prompt is pending
  queue.runUntil(0.49);
  EXPECT_TRUE(ui.alerts.shown.empty());
  queue.runUntil(0.5);
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(ui.alerts.shown[0], kPrompt);
  EXPECT_EQ(ui.journal, (UiJournal{"status item", "activate", "alert " + kPrompt.messageText}));

  queue.runUntil(3.2);
  EXPECT_TRUE(delegate().isWatchingForTrust());  // "later" leaves the watch running
  desktop->setTrusted(true);
  queue.runUntil(3.99);
  EXPECT_TRUE(ui.overlay.plates().empty());
  queue.runUntil(4.0);  // the next tick of the one-second watch
  EXPECT_EQ(lastMessage(), kReady);
  EXPECT_FALSE(delegate().isWatchingForTrust());
  queue.advance(30);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
  EXPECT_EQ(ui.alerts.shown.size(), 1u);
}

TEST_F(LaunchTest, ThePromptsButtonsDecideWhetherTheSettingsOpen) {
  struct Case {
    int answer;
    bool opened;
  };
  for (const Case c : {Case{platform::kAlertFirstButtonReturn, true}, Case{kLater, false}}) {
    load(deskScene(false));
    ui.alerts.answers = {c.answer};
    delegate().askForAccessibility();
    std::vector<std::string> calls;
    for (const auto& call : desktop->log().calls()) {
      if (call.kind == SimCallKind::isProcessTrusted && std::get<bool>(call.value))
        calls.push_back("trust check with system prompt");
      if (call.kind == SimCallKind::openURL) calls.push_back("open " + call.argument);
    }
    const std::vector<std::string> expected =
        c.opened ? std::vector<std::string>{"trust check with system prompt",
                                            "open x-apple.systempreferences:com.apple.preference."
                                            "security?Privacy_Accessibility"}
                 : std::vector<std::string>{};
    EXPECT_EQ(calls, expected) << c.answer;
    // Either way the watch starts.
    EXPECT_TRUE(delegate().isWatchingForTrust());
    app.reset();
  }
}

TEST_F(LaunchTest, AKeyPressedWithoutPermissionPromptsAgainButKeepsTheOneWatch) {
  ui.alerts.answers = {kLater, kLater, kLater};
  launch(deskScene(false));
  queue.runUntil(2.5);
  ASSERT_TRUE(ui.hotKeys.press(5, kCtrlOpt));  // Control+Option+G
  queue.advance(0);
  EXPECT_EQ(prompts(), 2);
  ASSERT_TRUE(ui.hotKeys.press(6, kCtrlOpt));  // Control+Option+Z
  queue.advance(0);
  EXPECT_EQ(prompts(), 3);
  EXPECT_EQ(writes(), 0u);
  EXPECT_TRUE(ui.overlay.plates().empty());

  // Still the watch started at launch: a restarted one would tick only at 3.5.
  desktop->setTrusted(true);
  queue.runUntil(3.0);
  EXPECT_EQ(lastMessage(), kReady);
  queue.advance(30);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
}

TEST_F(LaunchTest, WatchForTrustRestartsARunningWatch) {
  load(deskScene(false));
  delegate().watchForTrust();
  queue.runUntil(0.5);
  delegate().watchForTrust();
  desktop->setTrusted(true);
  queue.runUntil(1.2);
  EXPECT_TRUE(ui.overlay.plates().empty());  // the first watch's tick at 1.0 no longer runs
  queue.runUntil(1.5);
  EXPECT_EQ(lastMessage(), kReady);
  queue.advance(10);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
}

TEST_F(LaunchTest, AGoneDelegateLeavesNothingRunning) {
  launch(deskScene(false));
  queue.runUntil(0.2);
  app.reset();
  EXPECT_EQ(ui.statusItem.delegate, nullptr);
  desktop->setTrusted(true);
  ui.hotKeys.press(5, kCtrlOpt);
  queue.advance(10);
  EXPECT_TRUE(ui.alerts.shown.empty());
  EXPECT_TRUE(ui.overlay.plates().empty());
  EXPECT_EQ(writes(), 0u);
}

TEST_F(LaunchTest, EachLayoutKeyArrangesAndReportsItsLayout) {
  struct Case {
    std::int32_t keyCode;
    const char* text;
    const char* symbol;
  };
  const Case cases[] = {
      {5, "自動タイルで整列（4枚）", "square.grid.2x2"},
      {4, "横一列に並べる（4枚）", "rectangle.split.3x1"},
      {0, "ブラウザ左＋AI右に分ける（4枚）", "rectangle.lefthalf.inset.filled"},
      {40, "同じサイズで重ねる（4枚）", "square.stack"},
      {1, "サイズだけ揃える（位置はそのまま）（4枚）", "arrow.up.left.and.arrow.down.right"},
  };
  launch(deskScene(true));
  for (const auto& c : cases) {
    ASSERT_TRUE(ui.hotKeys.press(c.keyCode, kCtrlOpt)) << c.keyCode;
    queue.advance(0);
    EXPECT_EQ(lastMessage(), (std::pair<std::string, std::string>{c.text, c.symbol})) << c.keyCode;
  }
  EXPECT_GT(writes(), 0u);
  EXPECT_TRUE(ui.alerts.shown.empty());
}

TEST_F(LaunchTest, NothingToArrangeIsReportedAsSuch) {
  launch(emptyScene(true));
  delegate().run(LayoutKind::grid);
  EXPECT_EQ(lastMessage(), (std::pair<std::string, std::string>{"整列できるウィンドウがありません",
                                                                "exclamationmark.triangle"}));
}

TEST_F(LaunchTest, UndoReportsWhetherThereWasSomethingToTakeBack) {
  launch(deskScene(true));
  ui.hotKeys.press(6, kCtrlOpt);
  queue.advance(0);
  EXPECT_EQ(lastMessage(), (std::pair<std::string, std::string>{"戻せる配置がありません",
                                                                "arrow.uturn.backward"}));

  const auto before = desktop->windowFrame(101, 0);
  delegate().run(LayoutKind::columns);
  ASSERT_NE(desktop->windowFrame(101, 0), before);
  ui.hotKeys.press(6, kCtrlOpt);
  queue.advance(0);
  EXPECT_EQ(lastMessage(), (std::pair<std::string, std::string>{"直前の配置に戻しました",
                                                                "arrow.uturn.backward"}));
  EXPECT_EQ(desktop->windowFrame(101, 0), before);
}

TEST_F(LaunchTest, ARefusedKeyShiftsTheLaterIdsAndTheOthersStillWork) {
  ui.hotKeys.heldElsewhere.insert({4, kCtrlOpt});  // Control+Option+H belongs to someone else
  launch(deskScene(true));
  EXPECT_EQ(ui.hotKeys.registered, (std::vector<SimHotKeys::Registration>{{1, 5, kCtrlOpt},
                                                                          {2, 0, kCtrlOpt},
                                                                          {3, 40, kCtrlOpt},
                                                                          {4, 1, kCtrlOpt},
                                                                          {5, 6, kCtrlOpt}}));
  ui.hotKeys.press(40, kCtrlOpt);
  queue.advance(0);
  EXPECT_EQ(lastMessage().second, "square.stack");
  ui.hotKeys.press(6, kCtrlOpt);
  queue.advance(0);
  EXPECT_EQ(lastMessage().first, "直前の配置に戻しました");
}

}  // namespace
}  // namespace tessaloom
