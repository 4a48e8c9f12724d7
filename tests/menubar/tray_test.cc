// The tray application on the simulated desktop: its launch, the permission prompt and watch,
// the keys with their feedback plate, the status menu and what its items do.
#include <gmock/gmock.h>

#include "arrange/arranger.h"
#include "menubar/app_delegate.h"
#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"

namespace tessaloom {
namespace {

using platform::SimCallKind;
using ::testing::ElementsAre;

// Two browser windows, one AI window and one window of an ignored application.
constexpr const char* kDesk = R"({"frontmost": 101,
  "screens": [{"name": "A", "frame": [0, 0, 1920, 1080], "visible": [0, 0, 1920, 1055]}],
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "windows": [
      {"title": "Docs", "frame": [100, 100, 800, 600]}, {"title": "Mail", "frame": [150, 150, 900, 700]}]},
    {"pid": 201, "bundleID": "com.openai.chat", "name": "ChatGPT",
     "windows": [{"title": "ChatGPT", "frame": [500, 300, 700, 600]}]},
    {"pid": 301, "bundleID": "com.apple.finder", "name": "Finder",
     "windows": [{"title": "Home", "frame": [50, 60, 700, 500]}]}]})";

// One line per item: indentation, title, chord, "off" when disabled and "on" when checked.
std::vector<std::string> render(const std::vector<MenuItem>& items) {
  std::vector<std::string> lines;
  for (const auto& i : items) {
    std::string line(2 * static_cast<std::size_t>(std::max(i.indentationLevel, 0)), ' ');
    line += i.separator ? "---" : i.title;
    if (i.shortcut) line += " [" + describe(*i.shortcut) + "]";
    lines.push_back(line + (i.enabled ? "" : " off") + (i.on ? " on" : ""));
  }
  return lines;
}

class Tray : public ::testing::Test {
 protected:
  ~Tray() override { app.reset(); }

  void launch(bool trusted) {
    auto loaded = platform::SimDesktop::fromJson(kDesk, queue);
    ASSERT_TRUE(loaded) << loaded.error();
    desktop = std::move(*loaded);
    desktop->setTrusted(trusted);
    ctx.emplace(Context{*desktop, settings, queue});
    app = std::make_unique<AppDelegate>(*ctx, services);
    app->applicationDidFinishLaunching();
  }
  void press(char letter) {
    ui.hotKeys.press({letter, kControlAlt});
    queue.advance(0.01);
  }
  // Opens the menu, chooses the item and lets the queue run what it started.
  void choose(std::string_view title) {
    ui.statusItem.open();
    EXPECT_TRUE(ui.statusItem.choose(title)) << title;
    queue.advance(10);
  }
  const MenuItem& item(std::string_view title) { return *ui.statusItem.find(title); }
  std::string said() const {
    const auto& plates = ui.overlay.plates();
    return plates.empty() ? "" : plates.back()->content.text;
  }

  platform::VirtualMainQueue queue;
  platform::MemoryDefaults defaults;
  Settings settings{defaults};
  std::unique_ptr<platform::SimDesktop> desktop;
  std::optional<Context> ctx;
  platform::SimUi ui;
  platform::UiServices services = ui.services(true);
  std::unique_ptr<AppDelegate> app;
};

TEST_F(Tray, WithControlTheLaunchSetsEverythingUpAndAGoneDelegateLeavesNothing) {
  ui.installation.older = {41};
  launch(true);
  EXPECT_EQ(ui.journal, (platform::UiJournal{"quit 41", "status item"}));
  EXPECT_EQ(ui.statusItem.delegate, app.get());
  EXPECT_EQ(ui.hotKeys.registered.size(), 6u);
  queue.advance(30);
  EXPECT_TRUE(ui.alerts.shown.empty());
  EXPECT_FALSE(app->isWatchingForTrust());
  ui.hotKeys.press({'g', kControlAlt});
  app.reset();
  queue.advance(1);
  EXPECT_TRUE(desktop->log().places().empty());
  EXPECT_EQ(ui.statusItem.delegate, nullptr);
  EXPECT_TRUE(ui.hotKeys.registered.empty());
}

TEST_F(Tray, WithoutControlThePromptFollowsTheItemsNeedingItAreOffAndTheWatchReports) {
  ui.alerts.answers = {1, 0};  // later; then open the settings
  ASSERT_TRUE(
      settings.setSnapshot({{"com.google.Chrome", "Docs", 0, 0, 800, 600}}, Arranger::undoKey));
  launch(false);
  EXPECT_TRUE(ui.alerts.shown.empty()) << "the prompt waits for the launch to finish";
  ui.statusItem.open();
  EXPECT_EQ(item("⚠️ アクセシビリティの許可が必要です…").action,
            MenuAction::askForControl);
  for (const char* title : {"自動タイルで整列", "直前の配置に戻す", "今の配置を保存"})
    EXPECT_FALSE(item(title).enabled) << title;
  queue.advance(AppDelegate::kPromptDelaySeconds);
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(desktop->log().count(SimCallKind::requestControl), 0u) << "declined";
  // A key asks again, in the desktop's own words, and moves nothing.
  desktop->setControlPrompt(platform::ControlPrompt{"line", "Enable", "How", {"Yes", "No"}});
  press('g');
  EXPECT_EQ(ui.alerts.shown.back(), (platform::Alert{"Enable", "How", {"Yes", "No"}}));
  EXPECT_EQ(desktop->log().count(SimCallKind::requestControl), 1u) << "accepted";
  EXPECT_TRUE(desktop->log().places().empty());
  // One watch, started at launch, keeps its beat through both prompts.
  queue.advance(1.01 - queue.now());
  desktop->setTrusted(true);
  queue.advance(0.6);
  EXPECT_TRUE(ui.overlay.plates().empty());
  queue.advance(0.4);
  EXPECT_EQ(said(), "準備OK！ ⌃⌥G で整列できます");
  EXPECT_FALSE(app->isWatchingForTrust());
  queue.advance(10);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
  ui.statusItem.open();
  EXPECT_TRUE(item("直前の配置に戻す").enabled);
}

TEST_F(Tray, EachKeyArrangesOrTakesBackAndSaysHowMany) {
  launch(true);
  const std::tuple<std::vector<int>, char, const char*> steps[] = {
      {{}, 'g', "自動タイルで整列（3枚）"},
      {{}, 'h', "横一列に並べる（3枚）"},
      {{}, 'a', "ブラウザ左＋AI右に分ける（3枚）"},
      {{}, 'k', "同じサイズで重ねる（3枚）"},
      {{}, 's', "サイズだけ揃える（位置はそのまま）（3枚）"},
      {{}, 'z', "直前の配置に戻しました"},
      {{101}, 'g', "自動タイルで整列（1枚）"},
      {{}, 'z', "直前の配置に戻しました"},
      {{201}, 'g', "整列できるウィンドウがありません"},
      {{}, 'z', "戻せる配置がありません"}};
  for (const auto& [quit, key, message] : steps) {
    for (int pid : quit) desktop->quitApplication(pid);
    press(key);
    EXPECT_EQ(said(), message) << key;
  }
}

TEST_F(Tray, TheMenuShowsTheMomentWithControl) {
  settings.setGap(4);
  settings.setAiRatio(0.5);
  ui.updater.canCheck = false;
  launch(true);
  EXPECT_THAT(
      render(ui.statusItem.open().items),
      ElementsAre(
          "対象ウィンドウ：ブラウザ 2 ／ AI 1 off", "---", "自動タイルで整列 [Ctrl+Alt+G]",
          "横一列に並べる [Ctrl+Alt+H]", "ブラウザ左＋AI右に分ける [Ctrl+Alt+A]",
          "同じサイズで重ねる [Ctrl+Alt+K]", "サイズだけ揃える（位置はそのまま） [Ctrl+Alt+S]",
          "---", "直前の配置に戻す [Ctrl+Alt+Z] off", "今の配置を保存",
          "保存したアプリを開いて配置に戻す off", "---", "対象アプリ", "設定", "---", "使い方",
          "アップデートを確認… off", "Tessaloomについて（v0.1.0）", "Tessaloomを終了 [Ctrl+Q]"));
  EXPECT_TRUE(desktop->log().places().empty()) << "opening the menu moves nothing";
  EXPECT_THAT(
      render(item("設定").submenu),
      ElementsAre("整列する場所 off", "  各ディスプレイの中で整列 on",
                  "  マウスのあるディスプレイに集める", "---", "ウィンドウのすき間 off", "  なし",
                  "  せまい on", "  ふつう", "  ひろい", "---", "「ブラウザ左＋AI右」のAIの幅 off",
                  "  30%", "  40%", "  50% on", "---",
                  "ブラウザで開いたChatGPT・Claude等もAIとして扱う on", "ログイン時に自動で起動"));
  EXPECT_THAT(render(item("対象アプリ").submenu),
              ElementsAre("起動中のアプリごとに扱いを選べます off", "---", "ChatGPT　—　AI",
                          "Finder　—　対象外", "Google Chrome　—　ブラウザ"));
  EXPECT_THAT(render(item("ChatGPT　—　AI").submenu),
              ElementsAre("ブラウザとして扱う", "AIとして扱う on", "対象外として扱う"));
}

TEST_F(Tray, ArrangementItemsRunOnceTheMenuHasClosedAndSaySo) {
  launch(true);
  ui.statusItem.open();
  ASSERT_TRUE(ui.statusItem.choose("横一列に並べる"));
  EXPECT_TRUE(desktop->log().places().empty());
  queue.advance(1);
  EXPECT_EQ(said(), "横一列に並べる（3枚）");
  const std::tuple<std::vector<int>, const char*, const char*> steps[] = {
      {{}, "今の配置を保存", "3枚の配置を保存しました"},
      {{}, "直前の配置に戻す", "直前の配置に戻しました"},
      {{101}, "保存したアプリを開いて配置に戻す", "保存した配置に戻しました（1枚）"},
      {{201}, "保存したアプリを開いて配置に戻す", "戻せるウィンドウがありません"}};
  for (const auto& [quit, title, message] : steps) {
    for (int pid : quit) desktop->quitApplication(pid);
    choose(title);
    EXPECT_EQ(said(), message) << title;
  }
}

TEST_F(Tray, ChoicesStoreTheirSettingsAndOddItemsDoNothing) {
  launch(true);
  for (const char* title : {"マウスのあるディスプレイに集める", "なし", "50%",
                            "ブラウザで開いたChatGPT・Claude等もAIとして扱う", "AIとして扱う",
                            "ブラウザとして扱う", "ログイン時に自動で起動"})
    choose(title);
  EXPECT_EQ(settings.displayMode(), DisplayMode::mouseDisplay);
  EXPECT_EQ(settings.gap(), 0);
  EXPECT_EQ(settings.aiRatio(), 0.5);
  EXPECT_FALSE(settings.detectAITabs());
  EXPECT_TRUE(ui.loginItem.on);
  // ChatGPT comes first: its own kind stores nothing, another kind is stored.
  EXPECT_EQ(settings.overrides(),
            (std::map<std::string, Kind>{{"com.openai.chat", Kind::browser}}));
  choose("ひろい");
  EXPECT_EQ(settings.gap(), 16);
  const auto writes = defaults.writeCount();
  for (auto action : {MenuAction::layout, MenuAction::setKind, MenuAction::setDisplayMode,
                      MenuAction::setGap, MenuAction::setAIRatio}) {
    MenuItem odd;
    odd.action = action;
    odd.representedObject = std::vector<std::string>{"x"};
    app->menuItemChosen(odd);
  }
  queue.advance(1);
  EXPECT_EQ(defaults.writeCount(), writes);
  EXPECT_TRUE(desktop->log().places().empty());

  ui.loginItem.failure = "denied";
  choose("ログイン時に自動で起動");
  EXPECT_EQ(ui.alerts.shown.back().messageText, "ログイン項目を変更できませんでした");
  EXPECT_TRUE(ui.alerts.shown.back().informativeText.ends_with("\n\ndenied"));
  ui.journal.clear();
  for (const char* title :
       {"使い方", "Tessaloomについて（v0.1.0）", "アップデートを確認…", "Tessaloomを終了"})
    choose(title);
  EXPECT_EQ(ui.journal,
            (platform::UiJournal{"front", "alert Tessaloom の使い方", "front", "about", "quit"}));
  EXPECT_EQ(ui.aboutPanel.shown.back().version, "0.1.0");
  EXPECT_EQ(ui.updater.checks, 1);
}

TEST_F(Tray, ThePlateShowsUnderThePointerFadesInHoldsAndFadesOutOnItsOwnPlate) {
  launch(true);
  desktop->setScreens({{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}, "A"},
                       {{1920, 0, 1280, 800}, {1920, 0, 1280, 760}, "B"}});
  desktop->setPointer({2000, 100});
  HUD hud(ui.overlay, *desktop, queue);
  hud.show("first", "a");
  const auto& first = *ui.overlay.plates().at(0);
  EXPECT_EQ(first.content.symbol, "a");
  // Centred on the usable area of the screen under the pointer, above its bottom.
  EXPECT_EQ(first.origin, (Point{2440, 760 - 0.18 * 760 - 48}));
  EXPECT_EQ(first.alphas.front(), 0);
  queue.advance(HUD::kFadeInSeconds + 0.02);
  EXPECT_EQ(first.alpha, 1);
  queue.advance(HUD::kHoldSeconds - HUD::kFadeInSeconds - 0.04);
  EXPECT_EQ(first.alpha, 1) << "held";
  queue.advance(0.02 + HUD::kFadeOutSeconds / 2);
  EXPECT_GT(first.alpha, 0);
  EXPECT_LT(first.alpha, 1);
  hud.show("second", "b");  // takes over; the fade-out under way still ends
  queue.advance(HUD::kFadeOutSeconds);
  EXPECT_EQ(first.alpha, 0);
  EXPECT_FALSE(first.visible);
  for (std::size_t i = 1; i < first.alphas.size(); ++i)
    EXPECT_LE(std::abs(first.alphas[i] - first.alphas[i - 1]), 0.2) << "steps, not jumps";
  EXPECT_EQ(ui.overlay.plates().at(1)->alpha, 1);
  queue.advance(HUD::kHoldSeconds + 0.1);
  EXPECT_EQ(ui.overlay.visibleCount(), 0);
}

}  // namespace
}  // namespace tessaloom
