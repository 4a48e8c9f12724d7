// The status menu as it opens: every item, its state, and the edge cases of the check marks and
// enabled flags.
#include "menubar/status_menu.h"

#include <gtest/gtest.h>

#include "arrange/arranger.h"
#include "scenes.h"
#include "settings/settings.h"
#include "tray_fixture.h"

namespace tessaloom {
namespace {

using testing::deskScene;
using testing::emptyScene;

constexpr std::uint32_t kCtrlOpt = 0xC0000;
constexpr std::uint32_t kCommand = 0x100000;

// One item as the user sees it, with what choosing it sends.
struct Row {
  std::string title;  // "-" for a separator
  std::string selector;
  std::string key;
  std::uint32_t modifiers;
  std::string image;
  bool enabled;
  bool on;
  int indentation;
  RepresentedObject object;
  friend bool operator==(const Row&, const Row&) = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r) {
  out << "{" << r.title << " | " << r.selector << " | " << r.key << " " << std::hex << r.modifiers
      << std::dec << " | " << r.image << " | enabled " << r.enabled << " on " << r.on << " indent "
      << r.indentation << "}";
  return out;
}

std::vector<Row> rows(const std::vector<MenuItem>& items) {
  std::vector<Row> result;
  for (const auto& i : items) {
    if (i.separator) {
      result.push_back({"-", "", "", kCommand, "", true, false, 0, {}});
      continue;
    }
    result.push_back({i.title, std::string(selector(i.action)), i.keyEquivalent,
                      i.keyEquivalentModifiers, i.image, i.enabled, i.on, i.indentationLevel,
                      i.representedObject});
  }
  return result;
}

Row separator() {
  return {"-", "", "", kCommand, "", true, false, 0, {}};
}
Row plain(std::string title, std::string sel, bool enabled = true) {
  return {std::move(title), std::move(sel), "", kCommand, "", enabled, false, 0, {}};
}

class StatusMenuTest : public testing::TrayTest {
 protected:
  const MenuModel& open(const std::string& scene) {
    launch(scene);
    return ui.statusItem.open();
  }
  const MenuItem& item(std::string_view title) {
    const MenuItem* found = ui.statusItem.find(title);
    EXPECT_TRUE(found) << title;
    static const MenuItem none;
    return found ? *found : none;
  }
  void storeUndo() {
    Settings::shared().setSnapshot({{"com.google.Chrome", "Docs", 1, 2, 300, 400}},
                                   Arranger::undoKey);
  }
  void storeSaved() {
    Settings::shared().setSnapshot({{"com.google.Chrome", "Docs", 1, 2, 300, 400}},
                                   Arranger::savedKey);
  }
};

TEST_F(StatusMenuTest, TheTopLevelWithThePermission) {
  const auto& menu = open(deskScene(true));
  EXPECT_EQ(ui.statusItem.menusSet, 1);
  const std::vector<Row> expected = {
      plain("対象ウィンドウ：ブラウザ 3 ／ AI 1", "", false),
      separator(),
      {"自動タイルで整列", "layoutAction:", "g", kCtrlOpt, "square.grid.2x2", true, false, 0,
       std::string("grid")},
      {"横一列に並べる", "layoutAction:", "h", kCtrlOpt, "rectangle.split.3x1", true, false, 0,
       std::string("columns")},
      {"ブラウザ左＋AI右に分ける", "layoutAction:", "a", kCtrlOpt,
       "rectangle.lefthalf.inset.filled", true, false, 0, std::string("aiSplit")},
      {"同じサイズで重ねる", "layoutAction:", "k", kCtrlOpt, "square.stack", true, false, 0,
       std::string("cascade")},
      {"サイズだけ揃える（位置はそのまま）", "layoutAction:", "s", kCtrlOpt,
       "arrow.up.left.and.arrow.down.right", true, false, 0, std::string("sameSize")},
      separator(),
      {"直前の配置に戻す",
       "undoAction",
       "z",
       kCtrlOpt,
       "arrow.uturn.backward",
       false,
       false,
       0,
       {}},
      {"今の配置を保存", "saveAction", "", kCommand, "square.and.arrow.down", true, false, 0, {}},
      {"保存したアプリを開いて配置に戻す",
       "restoreAction",
       "",
       kCommand,
       "clock.arrow.circlepath",
       false,
       false,
       0,
       {}},
      separator(),
      {"対象アプリ", "", "", kCommand, "app.badge.checkmark", true, false, 0, {}},
      {"設定", "", "", kCommand, "gearshape", true, false, 0, {}},
      separator(),
      plain("使い方", "helpAction"),
      plain("アップデートを確認…", "checkForUpdates:", false),
      plain("Tessaloomについて（v0.1.0）", "aboutAction"),
      {"Tessaloomを終了", "terminate:", "q", kCommand, "", true, false, 0, {}},
  };
  EXPECT_EQ(rows(menu.items), expected);
  // Who receives the actions.
  EXPECT_EQ(item("アップデートを確認…").target, MenuTarget::updater);
  EXPECT_EQ(item("Tessaloomを終了").target, MenuTarget::none);
  EXPECT_EQ(item("使い方").target, MenuTarget::delegate);
}

TEST_F(StatusMenuTest, WithoutThePermissionOnlyTheWindowItemsAreDisabled) {
  load(deskScene(false));
  storeUndo();
  storeSaved();
  delegate().applicationDidFinishLaunching();
  const auto& menu = ui.statusItem.open();
  const auto& first = menu.items.front();
  EXPECT_EQ(first.title, "⚠️ アクセシビリティの許可が必要です…");
  EXPECT_EQ(first.action, MenuAction::askForAccessibility);
  EXPECT_TRUE(first.enabled);
  for (const auto& i : menu.items) {
    if (i.separator || &i == &first) continue;
    const bool windowItem = i.action == MenuAction::layout || i.action == MenuAction::undo ||
                            i.action == MenuAction::save || i.action == MenuAction::restore;
    const bool expectedEnabled = !windowItem && i.action != MenuAction::checkForUpdates;
    EXPECT_EQ(i.enabled, expectedEnabled) << i.title;
  }
}

TEST_F(StatusMenuTest, TheStatusLineCountsOnlyBrowserAndAIWindows) {
  open(emptyScene(true));
  EXPECT_EQ(ui.statusItem.shown.items.front().title, "対象ウィンドウ：ブラウザ 0 ／ AI 0");
  app.reset();

  open(deskScene(true));
  Settings::shared().setKind(Kind::ai, "com.apple.Safari", "Safari");
  Settings::shared().setKind(Kind::browser, "com.apple.finder", "Finder");
  ui.statusItem.open();
  EXPECT_EQ(ui.statusItem.shown.items.front().title, "対象ウィンドウ：ブラウザ 3 ／ AI 2");
}

TEST_F(StatusMenuTest, UndoAndRestoreNeedThePermissionAndSomethingStored) {
  struct Case {
    bool trusted;
    bool stored;
    bool enabled;
  };
  const Case cases[] = {
      {true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const auto& c : cases) {
    load(deskScene(c.trusted));
    defaults.removeObject(Arranger::undoKey);
    defaults.removeObject(Arranger::savedKey);
    if (c.stored) {
      storeUndo();
      storeSaved();
    }
    delegate().applicationDidFinishLaunching();
    ui.statusItem.open();
    EXPECT_EQ(item("直前の配置に戻す").enabled, c.enabled) << c.trusted << c.stored;
    EXPECT_EQ(item("保存したアプリを開いて配置に戻す").enabled, c.enabled) << c.trusted << c.stored;
    EXPECT_EQ(item("今の配置を保存").enabled, c.trusted);
    app.reset();
  }
  // Each is enabled by its own record only.
  load(deskScene(true));
  storeSaved();
  delegate().applicationDidFinishLaunching();
  ui.statusItem.open();
  EXPECT_FALSE(item("直前の配置に戻す").enabled);
  EXPECT_TRUE(item("保存したアプリを開いて配置に戻す").enabled);
}

TEST_F(StatusMenuTest, TheSettingsSubmenu) {
  open(deskScene(true));
  const std::vector<Row> expected = {
      plain("整列する場所", "", false),
      {"各ディスプレイの中で整列", "setDisplayModeAction:", "", kCommand, "", true, true, 1,
       std::string("perDisplay")},
      {"マウスのあるディスプレイに集める", "setDisplayModeAction:", "", kCommand, "", true, false,
       1, std::string("mouseDisplay")},
      separator(),
      plain("ウィンドウのすき間", "", false),
      {"なし", "setGapAction:", "", kCommand, "", true, false, 1, 0.0},
      {"せまい", "setGapAction:", "", kCommand, "", true, false, 1, 4.0},
      {"ふつう", "setGapAction:", "", kCommand, "", true, true, 1, 8.0},
      {"ひろい", "setGapAction:", "", kCommand, "", true, false, 1, 16.0},
      separator(),
      plain("「ブラウザ左＋AI右」のAIの幅", "", false),
      {"30%", "setAIRatioAction:", "", kCommand, "", true, false, 1, 0.3},
      {"40%", "setAIRatioAction:", "", kCommand, "", true, true, 1, 0.4},
      {"50%", "setAIRatioAction:", "", kCommand, "", true, false, 1, 0.5},
      separator(),
      {"ブラウザで開いたChatGPT・Claude等もAIとして扱う",
       "toggleDetectTabsAction",
       "",
       kCommand,
       "",
       true,
       true,
       0,
       {}},
      {"ログイン時に自動で起動", "toggleLoginAction", "", kCommand, "", true, false, 0, {}},
  };
  EXPECT_EQ(rows(item("設定").submenu), expected);
}

TEST_F(StatusMenuTest, GapAndRatioChecksFollowTheStoredValues) {
  open(deskScene(true));
  struct Case {
    double gap;
    const char* gapChecked;  // "" for none
    double ratio;
    const char* ratioChecked;
  };
  const Case cases[] = {
      {0, "なし", 0.3, "30%"},      {4, "せまい", 0.5, "50%"},
      {16, "ひろい", 0.405, "40%"}, {5, "", 0.35, ""},
      {8.0001, "", 0.395, "40%"},   {-4, "", 0.42, ""},
      {8, "ふつう", 0.2901, "30%"},
  };
  for (const auto& c : cases) {
    Settings::shared().setGap(c.gap);
    Settings::shared().setAiRatio(c.ratio);
    ui.statusItem.open();
    std::string gapOn, ratioOn;
    for (const auto& i : item("設定").submenu) {
      if (!i.on) continue;
      if (i.action == MenuAction::setGap) gapOn += i.title;
      if (i.action == MenuAction::setAIRatio) ratioOn += i.title;
    }
    EXPECT_EQ(gapOn, c.gapChecked) << c.gap;
    EXPECT_EQ(ratioOn, c.ratioChecked) << c.ratio;
  }
}

TEST_F(StatusMenuTest, ModeTabsAndLoginChecks) {
  open(deskScene(true));
  Settings::shared().setDisplayMode(DisplayMode::mouseDisplay);
  Settings::shared().setDetectAITabs(false);
  ui.statusItem.open();
  EXPECT_FALSE(item("各ディスプレイの中で整列").on);
  EXPECT_TRUE(item("マウスのあるディスプレイに集める").on);
  EXPECT_FALSE(item("ブラウザで開いたChatGPT・Claude等もAIとして扱う").on);

  struct Case {
    platform::LoginItemStatus status;
    bool on;
  };
  const Case cases[] = {{platform::LoginItemStatus::enabled, true},
                        {platform::LoginItemStatus::notRegistered, false},
                        {platform::LoginItemStatus::requiresApproval, false},
                        {platform::LoginItemStatus::notFound, false}};
  for (const auto& c : cases) {
    ui.loginItem.current = c.status;
    ui.statusItem.open();
    EXPECT_EQ(item("ログイン時に自動で起動").on, c.on) << static_cast<int>(c.status);
  }
}

TEST_F(StatusMenuTest, TheApplicationsSubmenuListsRunningApplicationsWithTheirKinds) {
  open(deskScene(false));  // available without the permission too
  Settings::shared().setKind(Kind::ai, "com.apple.Safari", "Safari");
  ui.statusItem.open();
  const auto& sub = item("対象アプリ").submenu;
  ASSERT_EQ(sub.size(), 6u);
  EXPECT_EQ(
      rows({sub[0], sub[1]}),
      (std::vector<Row>{plain("起動中のアプリごとに扱いを選べます", "", false), separator()}));
  const std::pair<const char*, const char*> apps[] = {
      {"ChatGPT　—　AI", "com.openai.chat"},
      {"Finder　—　対象外", "com.apple.finder"},
      {"Google Chrome　—　ブラウザ", "com.google.Chrome"},
      {"Safari　—　AI", "com.apple.Safari"},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(sub[i + 2].title, apps[i].first);
    EXPECT_EQ(sub[i + 2].applicationIcon, apps[i].second);
    EXPECT_EQ(sub[i + 2].action, MenuAction::none);
  }
  using Texts = std::vector<std::string>;
  EXPECT_EQ(rows(sub[5].submenu),
            (std::vector<Row>{
                {"ブラウザとして扱う", "setKindAction:", "", kCommand, "", true, false, 0,
                 Texts{"com.apple.Safari", "Safari", "browser"}},
                {"AIとして扱う", "setKindAction:", "", kCommand, "", true, true, 0,
                 Texts{"com.apple.Safari", "Safari", "ai"}},
                {"対象外として扱う", "setKindAction:", "", kCommand, "", true, false, 0,
                 Texts{"com.apple.Safari", "Safari", "ignore"}},
            }));
}

TEST(MenuApplication, FallsBackToTheIdentifierAndToEmptyTexts) {
  platform::MemoryDefaults defaults;
  Settings settings(&defaults);
  struct Case {
    std::optional<std::string> id;
    std::optional<std::string> name;
    std::string expectedId;
    std::string expectedName;
  };
  const Case cases[] = {
      {"com.google.Chrome", "Chrome", "com.google.Chrome", "Chrome"},
      {"com.google.Chrome", std::nullopt, "com.google.Chrome", "com.google.Chrome"},
      {std::nullopt, "Notes", "", "Notes"},
      {std::nullopt, std::nullopt, "", ""},
  };
  for (const auto& c : cases) {
    platform::RunningApplication app;
    app.bundleIdentifier = c.id;
    app.localizedName = c.name;
    const auto entry = menuApplication(app, settings.overrides());
    EXPECT_EQ(entry.bundleID, c.expectedId);
    EXPECT_EQ(entry.name, c.expectedName);
  }
  EXPECT_EQ(menuApplication(platform::RunningApplication{}, settings.overrides()).current,
            Kind::ignore);
}

TEST(BuildStatusMenu, AnApplicationWithoutIdentifierOrNameCarriesEmptyTexts) {
  StatusMenuState state;
  state.applications = {{"", "", Kind::ignore}};
  const auto menu = buildStatusMenu(state);
  const auto& apps = menu.items.at(12);
  ASSERT_EQ(apps.title, "対象アプリ");
  const auto& entry = apps.submenu.at(2);
  EXPECT_EQ(entry.title, "　—　対象外");
  EXPECT_EQ(entry.applicationIcon, "");
  ASSERT_EQ(entry.submenu.size(), 3u);
  EXPECT_EQ(entry.submenu[2].representedObject,
            (RepresentedObject{std::vector<std::string>{"", "", "ignore"}}));
  EXPECT_TRUE(entry.submenu[2].on);
}

TEST_F(StatusMenuTest, TheUpdateItemAsksTheUpdater) {
  withUpdater = true;
  open(deskScene(true));
  EXPECT_TRUE(item("アップデートを確認…").enabled);
  ui.updater.canCheck = false;
  ui.statusItem.open();
  EXPECT_FALSE(item("アップデートを確認…").enabled);
}

TEST_F(StatusMenuTest, TheAboutItemShowsTheVersion) {
  open(deskScene(true));
  ui.installation.info.clear();
  ui.statusItem.open();
  EXPECT_NE(ui.statusItem.find("Tessaloomについて（v-）"), nullptr);
  ui.installation.info.insert_or_assign("CFBundleShortVersionString",
                                        platform::DefaultsValue("1.4"));
  ui.statusItem.open();
  EXPECT_NE(ui.statusItem.find("Tessaloomについて（v1.4）"), nullptr);
}

TEST_F(StatusMenuTest, EveryOpeningReflectsTheMomentAndTouchesNoWindow) {
  open(deskScene(true));
  desktop->quitApplication(201);
  ui.statusItem.open();
  EXPECT_EQ(ui.statusItem.shown.items.front().title, "対象ウィンドウ：ブラウザ 3 ／ AI 0");
  EXPECT_EQ(item("対象アプリ").submenu.size(), 5u);
  EXPECT_EQ(ui.statusItem.menusSet, 2);
  EXPECT_EQ(desktop->log().writes().size(), 0u);
}

}  // namespace
}  // namespace tessaloom
