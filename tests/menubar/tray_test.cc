// The tray application: its launch, the permission prompt and watch, the keys with their
// feedback, the status menu as it opens and what its items do.
#include <gmock/gmock.h>

#include "arrange/arranger.h"
#include "tray_fixture.h"

namespace tessaloom {
namespace {

using platform::SimCallKind;
using platform::SimHotKeys;
using platform::UiJournal;
using testing::deskScene;

const std::string kPromptTitle = "ウィンドウを動かす許可をください";

// One line per item: title, chord, image, then "off" when disabled, "on" when checked and the
// represented data; nested items indented.
std::vector<std::string> render(const std::vector<MenuItem>& items, int depth = 0) {
  std::vector<std::string> lines;
  for (const auto& i : items) {
    std::string line(2 * depth, ' ');
    line += i.separator ? "---" : i.title;
    if (i.shortcut) line += " [" + describe(*i.shortcut) + "]";
    if (!i.image.empty()) line += " <" + i.image + ">";
    if (!i.enabled) line += " off";
    if (i.on) line += " on";
    lines.push_back(line);
  }
  return lines;
}

class TrayAppTest : public testing::TrayTest {
 protected:
  int prompts() const {
    return static_cast<int>(
        std::count_if(ui.alerts.shown.begin(), ui.alerts.shown.end(),
                      [](const auto& a) { return a.messageText == kPromptTitle; }));
  }
  const MenuItem& item(std::string_view title) {
    const MenuItem* found = ui.statusItem.find(title);
    EXPECT_NE(found, nullptr) << title;
    static const MenuItem none;
    return found ? *found : none;
  }
  const MenuModel& open() { return ui.statusItem.open(); }
};

TEST_F(TrayAppTest, WithControlEverythingIsSetUpAndNothingIsAsked) {
  ui.installation.older = {41};
  launch(deskScene(true));
  // Older copies are asked to quit before the status item exists.
  EXPECT_EQ(ui.journal, (UiJournal{"quit 41", "status item"}));
  EXPECT_EQ(ui.statusItem.image, "rectangle.split.2x2");
  EXPECT_EQ(ui.statusItem.toolTip, "Tessaloom：ブラウザとAIのウィンドウを整える");
  EXPECT_EQ(ui.statusItem.delegate, &delegate());
  std::string letters;
  for (const auto& r : ui.hotKeys.registered) {
    EXPECT_EQ(r.chord.modifiers, kControlAlt);
    letters += r.chord.letter;
  }
  EXPECT_EQ(letters, "ghaksz");
  queue.advance(30);
  EXPECT_TRUE(ui.alerts.shown.empty());
  EXPECT_TRUE(ui.overlay.plates().empty());
  EXPECT_FALSE(delegate().isWatchingForTrust());
}

TEST_F(TrayAppTest, ADesktopsOwnPromptReplacesTheProgramsAndItsFirstButtonAsks) {
  ui.alerts.answers = {0};
  launch(deskScene(false));
  desktop->setControlPrompt(
      platform::ControlPrompt{"line", "Enable it", "How", {"Enable", "Later"}});
  ui.hotKeys.press({'h', kControlAlt});
  queue.advance(0.01);
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(ui.alerts.shown[0], (platform::Alert{"Enable it", "How", {"Enable", "Later"}}));
  EXPECT_EQ(desktop->log().count(SimCallKind::requestControl), 1u);
}

TEST_F(TrayAppTest, AnAcceptedMoveEndsTheLaunchAtOnce) {
  ui.installation.package = "/tmp/Tessaloom.app";
  launch(deskScene(true));
  EXPECT_EQ(ui.statusItem.creations, 0);
  EXPECT_TRUE(ui.hotKeys.registered.empty());
  EXPECT_EQ(ui.application.quits, 1);
}

TEST_F(TrayAppTest, WithoutControlThePromptFollowsAndTheWatchReportsOnce) {
  ui.alerts.answers = {1};  // "あとで"
  launch(deskScene(false));
  EXPECT_TRUE(ui.alerts.shown.empty());
  queue.advance(AppDelegate::kPromptDelaySeconds);
  EXPECT_EQ(prompts(), 1);
  EXPECT_EQ(ui.alerts.shown[0].buttons, (std::vector<std::string>{"設定を開く", "あとで"}));
  EXPECT_EQ(desktop->log().count(SimCallKind::requestControl), 0u) << "declined";
  EXPECT_TRUE(delegate().isWatchingForTrust());
  // A key pressed meanwhile prompts again (accepted: the desktop is asked) and keeps one watch.
  ui.hotKeys.press({'g', kControlAlt});
  queue.advance(0.01);
  EXPECT_EQ(prompts(), 2);
  EXPECT_EQ(desktop->log().count(SimCallKind::requestControl), 1u);
  EXPECT_TRUE(desktop->log().places().empty());
  desktop->setTrusted(true);
  queue.advance(AppDelegate::kTrustWatchSeconds + 0.01);
  EXPECT_EQ(lastMessage(), "準備OK！ ⌃⌥G で整列できます");
  EXPECT_FALSE(delegate().isWatchingForTrust());
  queue.advance(10);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
}

TEST_F(TrayAppTest, AGoneDelegateLeavesNothingRunning) {
  launch(deskScene(false));
  app.reset();
  EXPECT_EQ(ui.statusItem.delegate, nullptr);
  EXPECT_TRUE(ui.hotKeys.registered.empty());
  queue.advance(30);
  EXPECT_TRUE(ui.alerts.shown.empty());
}

TEST_F(TrayAppTest, EachKeyArrangesOrTakesBackAndSaysSo) {
  launch(deskScene(true));
  const struct {
    char letter;
    std::string message;
  } cases[] = {{'g', "自動タイルで整列（4枚）"},
               {'h', "横一列に並べる（4枚）"},
               {'a', "ブラウザ左＋AI右に分ける（4枚）"},
               {'k', "同じサイズで重ねる（4枚）"},
               {'s', "サイズだけ揃える（位置はそのまま）（4枚）"},
               {'z', "直前の配置に戻しました"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(ui.hotKeys.press({c.letter, kControlAlt}));
    queue.advance(1);
    EXPECT_EQ(lastMessage(), c.message);
  }
  for (int pid : {101, 102, 201, 301}) desktop->quitApplication(pid);
  ui.hotKeys.press({'g', kControlAlt});
  queue.advance(1);
  EXPECT_EQ(lastMessage(), "整列できるウィンドウがありません");
  ui.hotKeys.press({'z', kControlAlt});
  queue.advance(1);
  EXPECT_EQ(lastMessage(), "戻せる配置がありません");
}

TEST_F(TrayAppTest, TheMenuShowsTheMomentWithControl) {
  launch(deskScene(true));
  desktop->log().clear();
  EXPECT_THAT(
      render(open().items),
      ::testing::ElementsAre(
          "対象ウィンドウ：ブラウザ 3 ／ AI 1 off", "---",
          "自動タイルで整列 [Ctrl+Alt+G] <square.grid.2x2>",
          "横一列に並べる [Ctrl+Alt+H] <rectangle.split.3x1>",
          "ブラウザ左＋AI右に分ける [Ctrl+Alt+A] <rectangle.lefthalf.inset.filled>",
          "同じサイズで重ねる [Ctrl+Alt+K] <square.stack>",
          "サイズだけ揃える（位置はそのまま） [Ctrl+Alt+S] "
          "<arrow.up.left.and.arrow.down.right>",
          "---", "直前の配置に戻す [Ctrl+Alt+Z] <arrow.uturn.backward> off",
          "今の配置を保存 <square.and.arrow.down>",
          "保存したアプリを開いて配置に戻す <clock.arrow.circlepath> off", "---",
          "対象アプリ <app.badge.checkmark>", "設定 <gearshape>", "---", "使い方",
          "アップデートを確認…", "Tessaloomについて（v0.1.0）", "Tessaloomを終了 [Ctrl+Q]"));
  EXPECT_TRUE(desktop->log().places().empty()) << "opening the menu moves nothing";
  EXPECT_THAT(
      render(item("設定").submenu),
      ::testing::ElementsAre(
          "整列する場所 off", "各ディスプレイの中で整列 on", "マウスのあるディスプレイに集める",
          "---", "ウィンドウのすき間 off", "なし", "せまい", "ふつう on", "ひろい", "---",
          "「ブラウザ左＋AI右」のAIの幅 off", "30%", "40% on", "50%", "---",
          "ブラウザで開いたChatGPT・Claude等もAIとして扱う on", "ログイン時に自動で起動"));
  EXPECT_THAT(render(item("対象アプリ").submenu),
              ::testing::ElementsAre("起動中のアプリごとに扱いを選べます off", "---",
                                     "ChatGPT　—　AI", "Finder　—　対象外",
                                     "Google Chrome　—　ブラウザ", "Safari　—　ブラウザ"));
  EXPECT_EQ(item("Google Chrome　—　ブラウザ").applicationIcon, "com.google.Chrome");
}

TEST_F(TrayAppTest, TheMenuFollowsControlStoredStateAndServices) {
  launch(deskScene(false));
  (void)settings.setSnapshot({{"com.google.Chrome", "Docs", 0, 0, 800, 600}}, Arranger::undoKey);
  (void)settings.setSnapshot({{"com.google.Chrome", "Docs", 0, 0, 800, 600}}, Arranger::savedKey);
  settings.setGap(5);
  settings.setAiRatio(0.305);
  ui.loginItem.on = true;
  ui.updater.canCheck = false;
  open();
  EXPECT_EQ(item("⚠️ アクセシビリティの許可が必要です…").action,
            MenuAction::askForControl);
  for (const char* title : {"自動タイルで整列", "直前の配置に戻す", "今の配置を保存",
                            "保存したアプリを開いて配置に戻す", "アップデートを確認…"})
    EXPECT_FALSE(item(title).enabled) << title;
  for (const char* title : {"なし", "せまい", "ふつう", "ひろい", "40%"})
    EXPECT_FALSE(item(title).on) << title;
  EXPECT_TRUE(item("30%").on);
  EXPECT_TRUE(item("ログイン時に自動で起動").on);
  desktop->setTrusted(true);
  open();
  EXPECT_TRUE(item("直前の配置に戻す").enabled);
  EXPECT_TRUE(item("保存したアプリを開いて配置に戻す").enabled);
}

TEST_F(TrayAppTest, WithoutUpdaterTheUpdateItemIsDisabled) {
  services.updater = nullptr;
  launch(deskScene(true));
  open();
  EXPECT_FALSE(ui.statusItem.choose("アップデートを確認…"));
}

TEST_F(TrayAppTest, LayoutUndoAndRestoreItemsRunOnceTheMenuHasClosed) {
  launch(deskScene(true));
  open();
  ASSERT_TRUE(ui.statusItem.choose("横一列に並べる"));
  EXPECT_TRUE(desktop->log().places().empty());
  queue.advance(1);
  EXPECT_EQ(lastMessage(), "横一列に並べる（4枚）");
  open();
  ASSERT_TRUE(ui.statusItem.choose("今の配置を保存"));
  EXPECT_EQ(lastMessage(), "4枚の配置を保存しました") << "at once";
  ASSERT_TRUE(ui.statusItem.choose("直前の配置に戻す"));
  queue.advance(1);
  EXPECT_EQ(lastMessage(), "直前の配置に戻しました");
  open();
  ASSERT_TRUE(ui.statusItem.choose("保存したアプリを開いて配置に戻す"));
  queue.advance(1);
  EXPECT_EQ(lastMessage(), "保存した配置に戻しました（4枚）");
}

TEST_F(TrayAppTest, ChoicesStoreTheirSettings) {
  launch(deskScene(true));
  open();
  for (const char* title :
       {"マウスのあるディスプレイに集める", "ひろい", "50%",
        "ブラウザで開いたChatGPT・Claude等もAIとして扱う", "AIとして扱う", "ブラウザとして扱う"})
    ASSERT_TRUE(ui.statusItem.choose(title)) << title;
  EXPECT_EQ(settings.displayMode(), DisplayMode::mouseDisplay);
  EXPECT_EQ(settings.gap(), 16);
  EXPECT_EQ(settings.aiRatio(), 0.5);
  EXPECT_FALSE(settings.detectAITabs());
  // ChatGPT comes first: its default kind stores nothing, another kind is stored.
  EXPECT_EQ(settings.overrides(),
            (std::map<std::string, Kind>{{"com.openai.chat", Kind::browser}}));
  // Items whose data is not what the action expects do nothing.
  const auto before = defaults.writeCount();
  for (auto action : {MenuAction::layout, MenuAction::setKind, MenuAction::setDisplayMode,
                      MenuAction::setGap, MenuAction::setAIRatio}) {
    MenuItem odd;
    odd.action = action;
    odd.representedObject = std::vector<std::string>{"x"};
    delegate().menuItemChosen(odd);
  }
  queue.advance(1);
  EXPECT_EQ(defaults.writeCount(), before);
  EXPECT_TRUE(desktop->log().places().empty());
}

TEST_F(TrayAppTest, LoginHelpAboutUpdateAndQuit) {
  launch(deskScene(true));
  open();
  ASSERT_TRUE(ui.statusItem.choose("ログイン時に自動で起動"));
  EXPECT_TRUE(ui.loginItem.on);
  ui.loginItem.failure = "denied";
  open();
  ASSERT_TRUE(ui.statusItem.choose("ログイン時に自動で起動"));
  EXPECT_EQ(ui.alerts.shown.back().messageText, "ログイン項目を変更できませんでした");
  EXPECT_TRUE(ui.alerts.shown.back().informativeText.ends_with("\n\ndenied"));
  ui.journal.clear();
  for (const char* title :
       {"使い方", "Tessaloomについて（v0.1.0）", "アップデートを確認…", "Tessaloomを終了"})
    ASSERT_TRUE(ui.statusItem.choose(title)) << title;
  EXPECT_EQ(ui.journal, (UiJournal{"front", "alert Tessaloom の使い方", "front", "about", "quit"}));
  EXPECT_EQ(ui.aboutPanel.shown.back().version, "0.1.0");
  EXPECT_EQ(ui.updater.checks, 1);
}

}  // namespace
}  // namespace tessaloom
