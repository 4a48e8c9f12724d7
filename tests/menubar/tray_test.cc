// The tray application on the simulated desktop: its launch, the permission prompt and watch,
// the keys with their feedback plate, the status menu in both languages and what its items do;
// its hot-key centre.
#include <gmock/gmock.h>

#include "arrange/arranger.h"
#include "base/language.h"
#include "menubar/app_delegate.h"
#include "platform/sim/sim_ui.h"
#include "settings/settings.h"
#include "support/scoped_environment.h"
#include "support/sim_fixture.h"

namespace tessaloom {
namespace {

using ::testing::ElementsAre;

// Two browser windows, one AI window and an ignored application without windows.
constexpr const char* kDesk = R"({"frontmost": 101,
  "screens": [{"name": "A", "frame": [0, 0, 1920, 1080], "visible": [0, 0, 1920, 1055]}],
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "windows": [
      {"title": "Docs", "frame": [100, 100, 800, 600]}, {"title": "Mail", "frame": [150, 150, 900, 700]}]},
    {"pid": 201, "bundleID": "com.openai.chat", "name": "ChatGPT",
     "windows": [{"title": "ChatGPT", "frame": [500, 300, 700, 600]}]},
    {"pid": 301, "bundleID": "com.apple.finder", "name": "Finder", "windows": []}]})";

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

class Tray : public testing::SimDesktopTest {
 protected:
  void launch(bool trusted) {
    load(nlohmann::json::parse(kDesk));
    desktop_->setTrusted(trusted);
    app = std::make_unique<AppDelegate>(ctx(), services);
    app->applicationDidFinishLaunching();
  }
  void press(char letter) {
    ui.hotKeys.press({letter, kControlAlt});
    queue_.advance(0.01);
  }
  // Opens the menu, chooses the item and lets the queue run what it started.
  void choose(std::string_view title) {
    ui.statusItem.open();
    EXPECT_TRUE(ui.statusItem.choose(title)) << title;
    queue_.advance(10);
  }
  const MenuItem& item(std::string_view title) { return *ui.statusItem.find(title); }
  std::string said() const { return ui.overlay.plates().back()->content.text; }

  platform::SimUi ui;
  platform::UiServices services = ui.services();
  std::unique_ptr<AppDelegate> app;
};

TEST_F(Tray, WithControlTheLaunchSetsEverythingUpAndAGoneDelegateLeavesNothing) {
  launch(true);
  EXPECT_EQ(ui.journal, (platform::UiJournal{"status item"}));
  EXPECT_EQ(ui.statusItem.delegate, app.get());
  queue_.advance(30);
  EXPECT_TRUE(ui.alerts.shown.empty());
  EXPECT_FALSE(app->isWatchingForTrust());
  ui.hotKeys.press({'g', kControlAlt});
  app.reset();
  queue_.advance(1);
  EXPECT_TRUE(desktop_->log().places().empty());
  EXPECT_EQ(ui.statusItem.delegate, nullptr);
  EXPECT_TRUE(ui.hotKeys.registered.empty());
}

TEST_F(Tray, WithoutControlThePromptFollowsTheItemsNeedingItAreOffAndTheWatchReports) {
  ui.alerts.answers = {1, 0};  // later; then try again
  launch(false);
  EXPECT_TRUE(ui.alerts.shown.empty()) << "the prompt waits for the launch to finish";
  ui.statusItem.open();
  EXPECT_EQ(actionOf(item("⚠️ ウィンドウを動かせません…")),
            MenuAction::askForControl);
  EXPECT_FALSE(item("自動タイルで整列").enabled);
  queue_.advance(AppDelegate::kPromptDelaySeconds);
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(desktop_->log().count(platform::SimCallKind::requestControl), 0u) << "declined";
  // A key asks again, in the desktop's own words, and moves nothing.
  desktop_->setControlPrompt(platform::ControlPrompt{"line", "Enable", "How", {"Yes", "No"}});
  press('g');
  EXPECT_EQ(ui.alerts.shown.back(), (platform::Alert{"Enable", "How", {"Yes", "No"}}));
  ui.statusItem.open();
  EXPECT_EQ(actionOf(item("⚠️ Enable…")), MenuAction::askForControl) << "the desktop's step";
  EXPECT_EQ(desktop_->log().count(platform::SimCallKind::requestControl), 1u) << "accepted";
  EXPECT_TRUE(desktop_->log().places().empty());
  // One watch, started at launch, keeps its beat through both prompts.
  queue_.advance(1.01 - queue_.now());
  desktop_->setTrusted(true);
  queue_.advance(0.6);
  EXPECT_TRUE(ui.overlay.plates().empty());
  queue_.advance(0.4);
  EXPECT_EQ(said(), "準備OK！ Ctrl+Alt+G で整列できます");
  EXPECT_FALSE(app->isWatchingForTrust());
  queue_.advance(10);
  EXPECT_EQ(ui.overlay.plates().size(), 1u);
}

TEST_F(Tray, EachKeyArrangesOrTakesBackAndSaysHowMany) {
  launch(true);
  const std::tuple<std::vector<int>, char, const char*> steps[] = {
      {{}, 'g', "自動タイルで整列（3枚）"}, {{}, 's', "サイズだけ揃える（位置はそのまま）（3枚）"},
      {{}, 'z', "直前の配置に戻しました"},  {{101}, 'g', "自動タイルで整列（1枚）"},
      {{}, 'z', "直前の配置に戻しました"},  {{201}, 'g', "整列できるウィンドウがありません"},
      {{}, 'z', "戻せる配置がありません"}};
  for (const auto& [quit, key, message] : steps) {
    for (int pid : quit) desktop_->quitApplication(pid);
    press(key);
    EXPECT_EQ(said(), message) << key;
  }
}

TEST_F(Tray, TheMenuShowsTheMomentWithControlInTheUsersLanguage) {
  settings_.setGap(4);
  settings_.setAiRatio(0.5);
  ui.hotKeys.heldElsewhere = {{'h', kControlAlt}};  // not shown where it does nothing
  launch(true);
  using Lines = std::vector<std::string>;
  // The language, the menu, the settings submenu (the last item of the menu's third group).
  const std::tuple<const char*, Lines, Lines> menus[] = {
      {"ja_JP.UTF-8",
       {"対象ウィンドウ：ブラウザ 2 ／ AI 1 off", "---", "自動タイルで整列 [Ctrl+Alt+G]",
        "横一列に並べる", "ブラウザ左＋AI右に分ける [Ctrl+Alt+A]",
        "同じサイズで重ねる [Ctrl+Alt+K]", "サイズだけ揃える（位置はそのまま） [Ctrl+Alt+S]", "---",
        "直前の配置に戻す [Ctrl+Alt+Z] off", "今の配置を保存",
        "保存したアプリを開いて配置に戻す off", "名前を付けて保存…", "---", "対象アプリ", "設定",
        "---", "使い方", "Tessaloomについて（v0.1.0）", "Tessaloomを終了 [Ctrl+Q]"},
       {"整列する場所 off", "  各ディスプレイの中で整列 on", "  マウスのあるディスプレイに集める",
        "---", "ウィンドウのすき間 off", "  なし", "  せまい on", "  ふつう", "  ひろい", "---",
        "「ブラウザ左＋AI右」のAIの幅 off", "  30%", "  40%", "  50% on", "---",
        "ブラウザで開いたChatGPT・Claude等もAIとして扱う on",
        "モニターが変わったら、その構成で保存した配置に戻す", "ログイン時に自動で起動"}},
      {"en_GB.UTF-8",
       {"Windows: 2 browser / 1 AI off", "---", "Auto grid [Ctrl+Alt+G]", "Side by side",
        "Browsers left, AI right [Ctrl+Alt+A]", "Cascade at one size [Ctrl+Alt+K]",
        "Same size (windows stay in place) [Ctrl+Alt+S]", "---",
        "Undo Arrangement [Ctrl+Alt+Z] off", "Save Arrangement",
        "Open Saved Applications and Restore off", "Save As…", "---", "Applications", "Settings",
        "---", "Help", "About Tessaloom (v0.1.0)", "Quit Tessaloom [Ctrl+Q]"},
       {"Where to Arrange off", "  Within each display on",
        "  All on the display under the pointer", "---", "Gap Between Windows off", "  None",
        "  Narrow on", "  Medium", "  Wide", "---", "AI Width in “Browsers Left, AI Right” off",
        "  30%", "  40%", "  50% on", "---",
        "Treat ChatGPT, Claude and Others Open in a Browser as AI on",
        "When the Monitors Change, Restore the Arrangement Saved on Them", "Start at Login"}}};
  for (const auto& [locale, menu, settingsMenu] : menus) {
    testing::ScopedEnvironment lang("LANG", locale), all("LC_ALL", std::nullopt),
        messages("LC_MESSAGES", std::nullopt), list("LANGUAGE", std::nullopt),
        folder("TESSALOOM_LOCALEDIR", TESSALOOM_BUILD_LOCALE_DIR);
    language::choose();
    const auto items = ui.statusItem.open().items;
    EXPECT_THAT(render(items), ::testing::ElementsAreArray(menu)) << locale;
    EXPECT_THAT(render(items.at(14).submenu), ::testing::ElementsAreArray(settingsMenu)) << locale;
  }
  language::choose();
  ui.statusItem.open();
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
  EXPECT_TRUE(desktop_->log().places().empty());
  queue_.advance(1);
  EXPECT_EQ(said(), "横一列に並べる（3枚）");
  // Named: asked for a name, listed in a submenu that restores or forgets each one.
  ui.alerts.texts = {" 仕事 ", std::nullopt};
  choose("名前を付けて保存…");
  EXPECT_EQ(said(), "「仕事」に3枚の配置を保存しました");
  const auto plates = ui.overlay.plates().size();
  choose("名前を付けて保存…");
  EXPECT_EQ(ui.overlay.plates().size(), plates) << "cancelled";
  choose("仕事");
  EXPECT_EQ(said(), "「仕事」の配置に戻しました（3枚）");
  app->menuItemChosen(item("削除").submenu.at(0));
  EXPECT_EQ(said(), "「仕事」を削除しました");
  EXPECT_EQ(ui.statusItem.open().items.size(), 19u) << "no named submenu left";
  const std::tuple<std::vector<int>, const char*, const char*> steps[] = {
      {{}, "今の配置を保存", "3枚の配置を保存しました"},
      {{}, "直前の配置に戻す", "直前の配置に戻しました"},
      {{101}, "保存したアプリを開いて配置に戻す", "保存した配置に戻しました（1枚）"},
      {{201}, "保存したアプリを開いて配置に戻す", "戻せるウィンドウがありません"}};
  for (const auto& [quit, title, message] : steps) {
    for (int pid : quit) desktop_->quitApplication(pid);
    choose(title);
    EXPECT_EQ(said(), message) << title;
  }
  defaults_.setReadOnly(true);
  choose("今の配置を保存");
  EXPECT_EQ(said(), "配置を保存できませんでした");
}

TEST_F(Tray, ChoicesStoreTheirSettingsAndOddItemsDoNothing) {
  launch(true);
  for (const char* title :
       {"マウスのあるディスプレイに集める", "なし", "50%",
        "ブラウザで開いたChatGPT・Claude等もAIとして扱う", "AIとして扱う", "ブラウザとして扱う",
        "ログイン時に自動で起動", "モニターが変わったら、その構成で保存した配置に戻す"})
    choose(title);
  EXPECT_EQ(settings_.displayMode(), DisplayMode::mouseDisplay);
  EXPECT_EQ(settings_.gap(), 0);
  EXPECT_EQ(settings_.aiRatio(), 0.5);
  EXPECT_FALSE(settings_.detectAITabs());
  EXPECT_TRUE(settings_.followMonitors());
  EXPECT_TRUE(ui.loginItem.on);
  // ChatGPT comes first: its own kind stores nothing, another kind is stored.
  EXPECT_EQ(settings_.overrides(),
            (std::map<std::string, Kind>{{"com.openai.chat", Kind::browser}}));
  choose("ひろい");
  EXPECT_EQ(settings_.gap(), 16);
  choose("ふつう");
  EXPECT_EQ(settings_.gap(), 8);
  // An item whose data is not what its action expects does nothing.
  const auto writes = defaults_.writeCount();
  MenuItem odd = item("AIとして扱う");
  odd.representedObject = std::vector<std::string>{"x"};
  app->menuItemChosen(odd);
  EXPECT_EQ(defaults_.writeCount(), writes);

  ui.loginItem.failure = "denied";
  choose("ログイン時に自動で起動");
  EXPECT_EQ(ui.alerts.shown.back().messageText, "ログイン時の自動起動を変更できませんでした");
  EXPECT_TRUE(ui.alerts.shown.back().informativeText.ends_with("\n\ndenied"));
  ui.journal.clear();
  for (const char* title : {"使い方", "Tessaloomについて（v0.1.0）", "Tessaloomを終了"})
    choose(title);
  EXPECT_EQ(ui.journal,
            (platform::UiJournal{"front", "alert Tessaloom の使い方", "front", "about", "quit"}));
  EXPECT_EQ(ui.aboutPanel.shown.back().version, "0.1.0");
}

TEST_F(Tray, ThePlateShowsUnderThePointerFadesInHoldsAndFadesOutOnItsOwnPlate) {
  launch(true);
  desktop_->setScreens({{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}, "A"},
                        {{1920, 0, 1280, 800}, {1920, 0, 1280, 760}, "B"}});
  desktop_->setPointer({2000, 100});
  HUD hud(ui.overlay, *desktop_, queue_);
  hud.show("first", "a");
  const auto& first = *ui.overlay.plates().at(0);
  // Centred on the usable area of the screen under the pointer, above its bottom.
  EXPECT_EQ(first.origin, (Point{2440, 760 - 0.18 * 760 - 48}));
  EXPECT_EQ(first.alphas.front(), 0);
  queue_.advance(HUD::kFadeInSeconds + 0.02);
  EXPECT_EQ(first.alpha, 1);
  queue_.advance(HUD::kHoldSeconds - HUD::kFadeInSeconds - 0.02 + HUD::kFadeOutSeconds / 2);
  EXPECT_GT(first.alpha, 0);
  EXPECT_LT(first.alpha, 1);
  hud.show("second", "b");  // takes over; the fade-out under way still ends
  queue_.advance(HUD::kFadeOutSeconds);
  EXPECT_EQ(first.alpha, 0);
  EXPECT_FALSE(first.visible);
  for (std::size_t i = 1; i < first.alphas.size(); ++i)
    EXPECT_LE(std::abs(first.alphas[i] - first.alphas[i - 1]), 0.2) << "steps, not jumps";
  EXPECT_EQ(ui.overlay.plates().at(1)->alpha, 1);
  queue_.advance(HUD::kHoldSeconds + 0.1);
  EXPECT_EQ(ui.overlay.visibleCount(), 0);
}

// Docked (A and a wide B) and undocked (A alone): an arrangement for each, then the monitors
// change as the rows say; only a set that stays for the settle time brings its arrangement.
TEST_F(Tray, AChangedMonitorSetBringsBackItsArrangementOnceSettledAndOnlyWhenAskedFor) {
  const platform::Screen a{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}, "A"};
  const platform::Screen b{{1920, 0, 2560, 1440}, {1920, 0, 2560, 1440}, "B"};
  const platform::Screen c{{1920, 0, 1280, 800}, {1920, 0, 1280, 800}, "C"};
  const Rect undocked{10, 40, 600, 500}, docked{2000, 100, 900, 700}, moved{300, 300, 640, 480};
  struct Row {
    const char* what;
    bool follow;
    std::vector<std::vector<platform::Screen>> changes;  // 0.5 s apart
    std::optional<Rect> expected;                        // Docs' frame after; none: unmoved
  };
  const Row rows[] = {
      {"docked", true, {{a, b}}, docked},
      {"docked and undocked within the wait", true, {{a, b}, {a}}, std::nullopt},
      {"through C to B", true, {{a, c}, {a, b}}, docked},
      {"a set never saved", true, {{a, c}}, std::nullopt},
      {"the same set", true, {{a}}, std::nullopt},
      {"asked not to", false, {{a, b}}, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    launch(true);
    settings_.setFollowMonitors(row.follow);
    // Saved in this order; the most recent for a set wins, whatever the order in the list.
    for (const auto& [screens, frame, name, at] :
         {std::tuple{std::vector{a, b}, docked, "dock", 2.0},
          {std::vector{b, a}, moved, "old", 1.0},
          {std::vector{a}, undocked, "desk", 3.0}}) {
      desktop_->setScreens(screens);
      ASSERT_TRUE(desktop_->setWindowFrame(101, 0, frame));
      ASSERT_TRUE(Arranger::saveNamed(ctx(), name, at));
    }
    app = std::make_unique<AppDelegate>(ctx(), services);  // watches from the undocked set
    app->applicationDidFinishLaunching();
    ASSERT_TRUE(desktop_->setWindowFrame(101, 0, moved));
    for (const auto& screens : row.changes) {
      desktop_->setScreens(screens);
      queue_.advance(0.5);
    }
    EXPECT_EQ(desktop_->windowFrame(101, 0), moved) << "not before the set has settled";
    queue_.advance(MonitorFollower::kSettleSeconds + 10);
    EXPECT_EQ(desktop_->windowFrame(101, 0), row.expected.value_or(moved));
  }
}

constexpr Chord kG{'g', kControlAlt}, kH{'h', kControlAlt}, kZ{'z', kControlAlt};

TEST(HotKeyCenter, IdsStayDenseWhenARegistrationIsRefusedAndPressesRunOnTheQueue) {
  platform::SimHotKeys keys;
  platform::VirtualMainQueue queue;
  keys.heldElsewhere.insert(kH);
  std::string pressed;
  {
    HotKeyCenter center(keys, queue);
    EXPECT_TRUE(center.registerHotKey(kG, [&] { pressed += 'g'; }));
    EXPECT_FALSE(center.registerHotKey(kH, [&] { pressed += 'h'; }));
    EXPECT_TRUE(center.registerHotKey(kZ, [&] { pressed += 'z'; }));
    EXPECT_EQ(keys.registered, (std::vector<platform::SimHotKeys::Registration>{{1, kG}, {2, kZ}}));
    EXPECT_EQ(keys.handlerSets, 1);
    keys.press(kZ);
    keys.press(kG);
    keys.deliver(7);
    EXPECT_EQ(pressed, "") << "nothing runs inside the key event";
    queue.runAll();
    EXPECT_EQ(pressed, "zg");
    keys.press(kG);  // still queued when the centre goes
  }
  queue.runAll();
  EXPECT_EQ(pressed, "zg");
  EXPECT_EQ(keys.unregistered, (std::vector<platform::HotKeyId>{1, 2}));
}

}  // namespace
}  // namespace tessaloom
