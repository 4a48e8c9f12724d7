// What the status menu's items do when chosen.
#include <gtest/gtest.h>

#include "arrange/arranger.h"
#include "scenes.h"
#include "settings/settings.h"
#include "tray_fixture.h"

namespace tessaloom {
namespace {

using platform::Alert;
using platform::LoginItemStatus;
using platform::UiJournal;
using testing::deskScene;
using testing::emptyScene;
using Message = std::pair<std::string, std::string>;

class MenuActionsTest : public testing::TrayTest {
 protected:
  void start(const std::string& scene) {
    launch(scene);
    ui.statusItem.open();
    ui.journal.clear();
  }
  /// Chooses an item of the freshly opened menu.
  void choose(std::string_view title) {
    ui.statusItem.open();
    ASSERT_TRUE(ui.statusItem.choose(title)) << title;
  }
  /// Sends `action` with `object`, as an item carrying unexpected data would.
  void send(MenuAction action, RepresentedObject object) {
    MenuItem item;
    item.action = action;
    item.representedObject = std::move(object);
    delegate().menuItemChosen(item);
  }
  std::size_t writes() { return desktop->log().writes().size(); }
};

TEST_F(MenuActionsTest, LayoutItemsRunOnceTheMenuHasClosed) {
  start(deskScene(true));
  choose("横一列に並べる");
  EXPECT_EQ(writes(), 0u);
  EXPECT_TRUE(ui.overlay.plates().empty());
  queue.advance(0);
  EXPECT_GT(writes(), 0u);
  EXPECT_EQ(lastMessage(), (Message{"横一列に並べる（4枚）", "rectangle.split.3x1"}));
}

TEST_F(MenuActionsTest, LayoutItemsWithUnexpectedDataDoNothing) {
  start(deskScene(true));
  const RepresentedObject objects[] = {std::string("Grid"), std::string(""), 1.0,
                                       std::vector<std::string>{"grid"}, std::monostate{}};
  for (const auto& object : objects) send(MenuAction::layout, object);
  queue.advance(5);
  EXPECT_EQ(writes(), 0u);
  EXPECT_TRUE(ui.overlay.plates().empty());
}

TEST_F(MenuActionsTest, TheUndoItemIsQueued) {
  start(deskScene(true));
  const auto before = desktop->windowFrame(102, 0);
  delegate().run(LayoutKind::grid);
  choose("直前の配置に戻す");
  EXPECT_NE(desktop->windowFrame(102, 0), before);
  queue.advance(0);
  EXPECT_EQ(desktop->windowFrame(102, 0), before);
  EXPECT_EQ(lastMessage(), (Message{"直前の配置に戻しました", "arrow.uturn.backward"}));
}

TEST_F(MenuActionsTest, SaveReportsTheCountAtOnce) {
  start(emptyScene(true));
  choose("今の配置を保存");
  EXPECT_EQ(lastMessage(), (Message{"0枚の配置を保存しました", "square.and.arrow.down"}));
  app.reset();

  start(deskScene(true));
  choose("今の配置を保存");
  EXPECT_EQ(lastMessage(), (Message{"4枚の配置を保存しました", "square.and.arrow.down"}));
  EXPECT_TRUE(Arranger::hasSaved());
}

TEST_F(MenuActionsTest, RestoreIsQueuedAndReportsWhatItMoved) {
  start(deskScene(true));
  // Nothing saved yet: the action is queued, and reports that there was nothing.
  send(MenuAction::restore, {});
  EXPECT_TRUE(ui.overlay.plates().empty());
  queue.advance(0);
  EXPECT_EQ(lastMessage(), (Message{"戻せるウィンドウがありません", "clock.arrow.circlepath"}));

  const auto saved = desktop->windowFrame(101, 1);
  choose("今の配置を保存");
  delegate().run(LayoutKind::cascade);
  ASSERT_NE(desktop->windowFrame(101, 1), saved);
  choose("保存したアプリを開いて配置に戻す");
  queue.advance(0);
  EXPECT_EQ(lastMessage(), (Message{"保存した配置に戻しました（4枚）", "clock.arrow.circlepath"}));
  EXPECT_EQ(desktop->windowFrame(101, 1), saved);
}

TEST_F(MenuActionsTest, ClassificationChoicesStoreAnOverride) {
  start(deskScene(true));
  ui.statusItem.open();
  // The Safari entry's "AI" choice.
  const MenuItem* safari = ui.statusItem.find("Safari　—　ブラウザ");
  ASSERT_NE(safari, nullptr);
  delegate().menuItemChosen(safari->submenu[1]);
  EXPECT_EQ(Settings::shared().kind("com.apple.Safari", "Safari"), Kind::ai);
  ui.statusItem.open();
  EXPECT_NE(ui.statusItem.find("Safari　—　AI"), nullptr);
  EXPECT_EQ(ui.statusItem.shown.items.front().title, "対象ウィンドウ：ブラウザ 2 ／ AI 2");

  // Choosing the catalogue's own kind again removes the override.
  delegate().menuItemChosen(ui.statusItem.find("Safari　—　AI")->submenu[0]);
  EXPECT_TRUE(Settings::shared().overrides().empty());
}

TEST_F(MenuActionsTest, ClassificationChoicesWithUnexpectedDataDoNothing) {
  start(deskScene(true));
  using Texts = std::vector<std::string>;
  const RepresentedObject objects[] = {
      Texts{"com.apple.Safari", "Safari"},
      Texts{"com.apple.Safari", "Safari", "ai", "extra"},
      Texts{"com.apple.Safari", "Safari", "AI"},
      Texts{"com.apple.Safari", "Safari", "tablet"},
      std::string("ai"),
      1.0,
      std::monostate{},
  };
  const auto writesBefore = defaults.writeCount();
  for (const auto& object : objects) send(MenuAction::setKind, object);
  EXPECT_EQ(defaults.writeCount(), writesBefore);
}

TEST_F(MenuActionsTest, SettingsChoicesStoreTheirValue) {
  start(deskScene(true));
  auto& settings = Settings::shared();
  choose("マウスのあるディスプレイに集める");
  EXPECT_EQ(settings.displayMode(), DisplayMode::mouseDisplay);
  choose("各ディスプレイの中で整列");
  EXPECT_EQ(settings.displayMode(), DisplayMode::perDisplay);
  choose("ひろい");
  EXPECT_EQ(settings.gap(), 16);
  choose("なし");
  EXPECT_EQ(settings.gap(), 0);
  choose("50%");
  EXPECT_EQ(settings.aiRatio(), 0.5);
  choose("30%");
  EXPECT_EQ(settings.aiRatio(), 0.3);
  choose("ブラウザで開いたChatGPT・Claude等もAIとして扱う");
  EXPECT_FALSE(settings.detectAITabs());
  choose("ブラウザで開いたChatGPT・Claude等もAIとして扱う");
  EXPECT_TRUE(settings.detectAITabs());
  // None of them gives feedback.
  EXPECT_TRUE(ui.overlay.plates().empty());
  EXPECT_TRUE(ui.alerts.shown.empty());
}

TEST_F(MenuActionsTest, SettingsChoicesWithUnexpectedDataDoNothing) {
  start(deskScene(true));
  const auto writesBefore = defaults.writeCount();
  send(MenuAction::setDisplayMode, std::string("MouseDisplay"));
  send(MenuAction::setDisplayMode, 1.0);
  send(MenuAction::setGap, std::string("16"));
  send(MenuAction::setGap, std::monostate{});
  send(MenuAction::setAIRatio, std::vector<std::string>{"0.5"});
  EXPECT_EQ(defaults.writeCount(), writesBefore);
  // The gap and ratio items share one path; each stores into its own setting.
  send(MenuAction::setGap, 4.0);
  send(MenuAction::setAIRatio, 0.3);
  EXPECT_EQ(Settings::shared().gap(), 4);
  EXPECT_EQ(Settings::shared().aiRatio(), 0.3);
}

TEST_F(MenuActionsTest, TheLoginItemSwitchesByItsStatus) {
  start(deskScene(true));
  struct Case {
    LoginItemStatus status;
    bool registers;
  };
  const Case cases[] = {{LoginItemStatus::enabled, false},
                        {LoginItemStatus::notRegistered, true},
                        {LoginItemStatus::requiresApproval, true},
                        {LoginItemStatus::notFound, true}};
  for (const auto& c : cases) {
    ui.loginItem.current = c.status;
    ui.loginItem.registrations = ui.loginItem.unregistrations = 0;
    choose("ログイン時に自動で起動");
    EXPECT_EQ(ui.loginItem.registrations, c.registers ? 1 : 0);
    EXPECT_EQ(ui.loginItem.unregistrations, c.registers ? 0 : 1);
  }
  EXPECT_TRUE(ui.alerts.shown.empty());
}

TEST_F(MenuActionsTest, AFailedLoginChangeIsExplainedWithoutActivation) {
  start(deskScene(true));
  ui.loginItem.failure = "/home/user/.config/autostart: Permission denied";
  choose("ログイン時に自動で起動");
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(
      ui.alerts.shown[0],
      (Alert{"ログイン項目を変更できませんでした",
             "Tessaloom.app を「アプリケーション」フォルダに入れてから、もう一度お試しください。"
             "\n\n/home/user/.config/autostart: Permission denied",
             {}}));
  EXPECT_EQ(ui.journal, (UiJournal{"alert ログイン項目を変更できませんでした"}));
  ui.statusItem.open();
  EXPECT_FALSE(ui.statusItem.find("ログイン時に自動で起動")->on);
}

TEST_F(MenuActionsTest, HelpAndAboutComeToTheFront) {
  start(deskScene(false));  // both work without the permission
  choose("使い方");
  choose("Tessaloomについて（v0.1.0）");
  EXPECT_EQ(ui.journal, (UiJournal{"activate", "alert Tessaloom の使い方", "activate", "about"}));
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(
      ui.alerts.shown[0],
      (Alert{
          "Tessaloom の使い方",
          "メニューバーのアイコン、またはショートカットで、開いているブラウザとAIのウィンドウを一"
          "発で整えます。\n\n"
          "⌃⌥G　自動タイル（画面の形に合わせて敷き詰め）\n"
          "⌃⌥H　横一列（ワイドモニター向け）\n"
          "⌃⌥A　ブラウザ左＋AI右\n"
          "⌃⌥K　同じサイズで重ねる\n"
          "⌃⌥S　手前のウィンドウとサイズだけ揃える\n"
          "⌃⌥Z　直前の配置に戻す\n\n"
          "・対象：Chrome / Safari / Arc / Edge / Firefox / Brave などのブラウザと、ChatGPT / "
          "Claude / Perplexity などのAIアプリ。\n"
          "・ブラウザで ChatGPT や Claude を開いているウィンドウも、AIとして右側に寄せます。\n"
          "・対象を増やしたり外したりするには「対象アプリ」から選んでください。\n"
          "・最小化中・フルスクリーン・非表示のアプリは動かしません。",
          {}}));
  ASSERT_EQ(ui.aboutPanel.shown.size(), 1u);
  EXPECT_EQ(ui.aboutPanel.shown[0],
            (platform::AboutInfo{"Tessaloom", "0.1.0",
                                 "ブラウザとAIのウィンドウを、ワンキーで整える。", 11}));
}

TEST_F(MenuActionsTest, TheWarningItemOpensThePrompt) {
  start(deskScene(false));
  queue.runUntil(0.6);  // the prompt of the launch
  ui.alerts.shown.clear();
  choose("⚠️ アクセシビリティの許可が必要です…");
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(ui.alerts.shown[0].messageText, "ウィンドウを動かす許可をください");
}

TEST_F(MenuActionsTest, UpdateAndQuit) {
  withUpdater = true;
  start(deskScene(true));
  choose("アップデートを確認…");
  EXPECT_EQ(ui.updater.checks, 1);
  EXPECT_EQ(ui.application.terminations, 0);
  choose("Tessaloomを終了");
  EXPECT_EQ(ui.application.terminations, 1);
}

TEST_F(MenuActionsTest, WithoutUpdaterTheUpdateItemCannotBeChosen) {
  start(deskScene(true));
  ui.statusItem.open();
  EXPECT_FALSE(ui.statusItem.choose("アップデートを確認…"));
  send(MenuAction::checkForUpdates, {});  // sent anyway: nothing to send it to
  EXPECT_TRUE(ui.journal.empty());
}

TEST_F(MenuActionsTest, ItemsWithoutActionDoNothing) {
  start(deskScene(true));
  const auto writesBefore = defaults.writeCount();
  for (const char* title : {"対象ウィンドウ：ブラウザ 3 ／ AI 1", "対象アプリ", "設定"}) {
    const MenuItem* i = ui.statusItem.find(title);
    ASSERT_NE(i, nullptr) << title;
    delegate().menuItemChosen(*i);
  }
  queue.advance(5);
  EXPECT_TRUE(ui.journal.empty());
  EXPECT_TRUE(ui.overlay.plates().empty());
  EXPECT_EQ(defaults.writeCount(), writesBefore);
}

}  // namespace
}  // namespace tessaloom
