#include "menubar/status_menu.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "menubar/shortcuts.h"
#include "settings/settings.h"

namespace tessaloom {
namespace {

// The quit item's chord, as in every application.
constexpr Chord kQuitChord{'q', kControl};

bool chordShown(const StatusMenuState& state, const Chord& chord) {
  return std::find(state.refusedChords.begin(), state.refusedChords.end(), chord) ==
         state.refusedChords.end();
}

constexpr std::array<std::pair<std::string_view, DisplayMode>, 2> kDisplayModes = {{
    {"各ディスプレイの中で整列", DisplayMode::perDisplay},
    {"マウスのあるディスプレイに集める", DisplayMode::mouseDisplay},
}};
constexpr std::array<std::pair<std::string_view, double>, 4> kGaps = {{
    {"なし", 0},
    {"せまい", 4},
    {"ふつう", 8},
    {"ひろい", 16},
}};
constexpr std::array<double, 3> kRatios = {0.3, 0.4, 0.5};

MenuItem item(std::string_view title, MenuAction action = MenuAction::none) {
  MenuItem i;
  i.title = std::string(title);
  i.action = static_cast<int>(action);
  i.mark = markOf(action);
  return i;
}

MenuItem heading(std::string_view title) {
  MenuItem i = item(title);
  i.enabled = false;
  return i;
}

std::vector<MenuItem> applicationsSubmenu(const StatusMenuState& state) {
  std::vector<MenuItem> items;
  items.push_back(heading("起動中のアプリごとに扱いを選べます"));
  items.push_back(MenuItem::makeSeparator());
  for (const auto& app : state.applications) {
    MenuItem entry = item(app.name + "　—　" + std::string(label(app.current)));
    entry.applicationIcon = app.appId;
    for (const Kind choice : kAllKinds) {
      MenuItem c = item(std::string(label(choice)) + "として扱う", MenuAction::setKind);
      c.representedObject =
          std::vector<std::string>{app.appId, app.name, std::string(rawValue(choice))};
      c.on = choice == app.current;
      entry.submenu.push_back(std::move(c));
    }
    items.push_back(std::move(entry));
  }
  return items;
}

std::vector<MenuItem> settingsSubmenu(const StatusMenuState& state) {
  std::vector<MenuItem> items;
  items.push_back(heading("整列する場所"));
  for (const auto& [title, mode] : kDisplayModes) {
    MenuItem c = item(title, MenuAction::setDisplayMode);
    c.representedObject = std::string(rawValue(mode));
    c.on = mode == state.displayMode;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  items.push_back(heading("ウィンドウのすき間"));
  for (const auto& [title, gap] : kGaps) {
    MenuItem c = item(title, MenuAction::setGap);
    c.representedObject = gap;
    c.on = state.gap == gap;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  items.push_back(heading("「ブラウザ左＋AI右」のAIの幅"));
  for (const double ratio : kRatios) {
    MenuItem c = item(std::to_string(static_cast<int>(ratio * 100)) + "%", MenuAction::setAIRatio);
    c.representedObject = ratio;
    c.on = std::fabs(state.aiRatio - ratio) < 0.01;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  MenuItem tabs =
      item("ブラウザで開いたChatGPT・Claude等もAIとして扱う", MenuAction::toggleDetectTabs);
  tabs.on = state.detectAITabs;
  items.push_back(std::move(tabs));
  MenuItem follow =
      item("モニターが変わったら、その構成で保存した配置に戻す", MenuAction::toggleFollowMonitors);
  follow.on = state.followMonitors;
  items.push_back(std::move(follow));
  MenuItem login = item("ログイン時に自動で起動", MenuAction::toggleLogin);
  login.on = state.loginEnabled;
  items.push_back(std::move(login));
  return items;
}

}  // namespace

MenuApplication menuApplication(const platform::AppFacts& app,
                                const std::map<std::string, Kind>& overrides) {
  MenuApplication result;
  result.appId = app.id;
  result.name = app.name.empty() ? app.id : app.name;
  result.current = Settings::kind(overrides, result.appId, result.name);
  return result;
}

MenuModel buildStatusMenu(const StatusMenuState& state) {
  MenuModel menu;
  auto& items = menu.items;

  if (state.trusted) {
    items.push_back(heading("対象ウィンドウ：ブラウザ " + std::to_string(state.browserWindows) +
                            " ／ AI " + std::to_string(state.aiWindows)));
  } else {
    items.push_back(item("⚠️ アクセシビリティの許可が必要です…",
                         MenuAction::askForControl));
  }
  items.push_back(MenuItem::makeSeparator());

  for (const auto& shortcut : kShortcuts) {
    MenuItem i = item(title(shortcut.kind), MenuAction::layout);
    if (chordShown(state, shortcut.chord)) i.shortcut = shortcut.chord;
    i.representedObject = std::string(rawValue(shortcut.kind));
    i.image = std::string(symbol(shortcut.kind));
    i.enabled = state.trusted;
    items.push_back(std::move(i));
  }
  items.push_back(MenuItem::makeSeparator());

  MenuItem undo = item("直前の配置に戻す", MenuAction::undo);
  if (chordShown(state, kUndoChord)) undo.shortcut = kUndoChord;
  undo.image = "arrow.uturn.backward";
  undo.enabled = state.trusted && state.hasUndo;
  items.push_back(std::move(undo));
  MenuItem save = item("今の配置を保存", MenuAction::save);
  save.image = "square.and.arrow.down";
  save.enabled = state.trusted;
  items.push_back(std::move(save));
  MenuItem restore = item("保存したアプリを開いて配置に戻す", MenuAction::restore);
  restore.image = "clock.arrow.circlepath";
  restore.enabled = state.trusted && state.hasSaved;
  items.push_back(std::move(restore));
  MenuItem saveNamed = item("名前を付けて保存…", MenuAction::saveNamed);
  saveNamed.enabled = state.trusted;
  items.push_back(std::move(saveNamed));
  if (!state.named.empty()) {
    // Each name restores its arrangement; the last submenu forgets one.
    MenuItem named = item("名前を付けた配置");
    MenuItem forget = item("削除");
    for (const auto& name : state.named) {
      MenuItem restoreOne = item(name, MenuAction::restoreNamed);
      restoreOne.representedObject = name;
      restoreOne.enabled = state.trusted;
      named.submenu.push_back(std::move(restoreOne));
      MenuItem forgetOne = item(name, MenuAction::forgetNamed);
      forgetOne.representedObject = name;
      forget.submenu.push_back(std::move(forgetOne));
    }
    named.submenu.push_back(MenuItem::makeSeparator());
    named.submenu.push_back(std::move(forget));
    items.push_back(std::move(named));
  }
  items.push_back(MenuItem::makeSeparator());

  MenuItem apps = item("対象アプリ");
  apps.image = "app.badge.checkmark";
  apps.submenu = applicationsSubmenu(state);
  items.push_back(std::move(apps));
  MenuItem settings = item("設定");
  settings.image = "gearshape";
  settings.submenu = settingsSubmenu(state);
  items.push_back(std::move(settings));
  items.push_back(MenuItem::makeSeparator());

  items.push_back(item("使い方", MenuAction::help));
  MenuItem update = item("アップデートを確認…", MenuAction::checkForUpdates);
  update.enabled = state.canCheckForUpdates;
  items.push_back(std::move(update));
  items.push_back(item("Tessaloomについて（v" + state.version + "）", MenuAction::about));
  MenuItem quit = item("Tessaloomを終了", MenuAction::terminate);
  quit.shortcut = kQuitChord;
  items.push_back(std::move(quit));
  return menu;
}

}  // namespace tessaloom
