#include "menubar/status_menu.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "base/language.h"
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
    {N_("各ディスプレイの中で整列"), DisplayMode::perDisplay},
    {N_("マウスのあるディスプレイに集める"), DisplayMode::mouseDisplay},
}};
constexpr std::array<std::pair<std::string_view, double>, 4> kGaps = {{
    {N_("なし"), 0},
    {N_("せまい"), 4},
    {N_("ふつう"), 8},
    {N_("ひろい"), 16},
}};
constexpr std::array<double, 3> kRatios = {0.3, 0.4, 0.5};

MenuItem named(std::string title, MenuAction action = MenuAction::none) {
  MenuItem i;
  i.title = std::move(title);
  i.action = static_cast<int>(action);
  i.mark = markOf(action);
  return i;
}

// An item titled with a text of the program, in the user's language.
MenuItem item(const char* title, MenuAction action = MenuAction::none) {
  return named(language::tr(title), action);
}

MenuItem heading(const char* title) {
  MenuItem i = item(title);
  i.enabled = false;
  return i;
}

std::vector<MenuItem> applicationsSubmenu(const StatusMenuState& state) {
  std::vector<MenuItem> items;
  items.push_back(heading(N_("起動中のアプリごとに扱いを選べます")));
  items.push_back(MenuItem::makeSeparator());
  for (const auto& app : state.applications) {
    MenuItem entry = named(language::format(language::tr("%s　—　%s"), app.name.c_str(),
                                            std::string(label(app.current)).c_str()));
    entry.applicationIcon = app.appId;
    for (const Kind choice : kAllKinds) {
      MenuItem c =
          named(language::format(language::tr("%sとして扱う"), std::string(label(choice)).c_str()),
                MenuAction::setKind);
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
  items.push_back(heading(N_("整列する場所")));
  for (const auto& [title, mode] : kDisplayModes) {
    MenuItem c = item(title.data(), MenuAction::setDisplayMode);
    c.representedObject = std::string(rawValue(mode));
    c.on = mode == state.displayMode;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  items.push_back(heading(N_("ウィンドウのすき間")));
  for (const auto& [title, gap] : kGaps) {
    MenuItem c = item(title.data(), MenuAction::setGap);
    c.representedObject = gap;
    c.on = state.gap == gap;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  items.push_back(heading(N_("「ブラウザ左＋AI右」のAIの幅")));
  for (const double ratio : kRatios) {
    MenuItem c = named(language::format(language::tr("%d%%"), static_cast<int>(ratio * 100)),
                       MenuAction::setAIRatio);
    c.representedObject = ratio;
    c.on = std::fabs(state.aiRatio - ratio) < 0.01;
    c.indentationLevel = 1;
    items.push_back(std::move(c));
  }
  items.push_back(MenuItem::makeSeparator());
  MenuItem tabs =
      item(N_("ブラウザで開いたChatGPT・Claude等もAIとして扱う"), MenuAction::toggleDetectTabs);
  tabs.on = state.detectAITabs;
  items.push_back(std::move(tabs));
  MenuItem follow = item(N_("モニターが変わったら、その構成で保存した配置に戻す"),
                         MenuAction::toggleFollowMonitors);
  follow.on = state.followMonitors;
  items.push_back(std::move(follow));
  MenuItem login = item(N_("ログイン時に自動で起動"), MenuAction::toggleLogin);
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
    MenuItem status = named(language::format(language::tr("対象ウィンドウ：ブラウザ %d ／ AI %d"),
                                             state.browserWindows, state.aiWindows));
    status.enabled = false;
    items.push_back(std::move(status));
  } else {
    // The step this desktop needs, as its prompt names it.
    items.push_back(
        named(language::format(language::tr("⚠️ %s…"),
                               state.controlStep.empty() ? language::tr("ウィンドウを動かせません")
                                                         : state.controlStep.c_str()),
              MenuAction::askForControl));
  }
  items.push_back(MenuItem::makeSeparator());

  for (const auto& shortcut : kShortcuts) {
    MenuItem i = named(std::string(title(shortcut.kind)), MenuAction::layout);
    if (chordShown(state, shortcut.chord)) i.shortcut = shortcut.chord;
    i.representedObject = std::string(rawValue(shortcut.kind));
    i.image = std::string(symbol(shortcut.kind));
    i.enabled = state.trusted;
    items.push_back(std::move(i));
  }
  items.push_back(MenuItem::makeSeparator());

  MenuItem undo = item(N_("直前の配置に戻す"), MenuAction::undo);
  if (chordShown(state, kUndoChord)) undo.shortcut = kUndoChord;
  undo.image = "arrow.uturn.backward";
  undo.enabled = state.trusted && state.hasUndo;
  items.push_back(std::move(undo));
  MenuItem save = item(N_("今の配置を保存"), MenuAction::save);
  save.image = "square.and.arrow.down";
  save.enabled = state.trusted;
  items.push_back(std::move(save));
  MenuItem restore = item(N_("保存したアプリを開いて配置に戻す"), MenuAction::restore);
  restore.image = "clock.arrow.circlepath";
  restore.enabled = state.trusted && state.hasSaved;
  items.push_back(std::move(restore));
  MenuItem saveNamed = item(N_("名前を付けて保存…"), MenuAction::saveNamed);
  saveNamed.enabled = state.trusted;
  items.push_back(std::move(saveNamed));
  if (!state.named.empty()) {
    // Each name restores its arrangement; the last submenu forgets one.
    MenuItem arrangements = item(N_("名前を付けた配置"));
    MenuItem forget = item(N_("削除"));
    for (const auto& name : state.named) {
      MenuItem restoreOne = named(name, MenuAction::restoreNamed);
      restoreOne.representedObject = name;
      restoreOne.enabled = state.trusted;
      arrangements.submenu.push_back(std::move(restoreOne));
      MenuItem forgetOne = named(name, MenuAction::forgetNamed);
      forgetOne.representedObject = name;
      forget.submenu.push_back(std::move(forgetOne));
    }
    arrangements.submenu.push_back(MenuItem::makeSeparator());
    arrangements.submenu.push_back(std::move(forget));
    items.push_back(std::move(arrangements));
  }
  items.push_back(MenuItem::makeSeparator());

  MenuItem apps = item(N_("対象アプリ"));
  apps.image = "app.badge.checkmark";
  apps.submenu = applicationsSubmenu(state);
  items.push_back(std::move(apps));
  MenuItem settings = item(N_("設定"));
  settings.image = "gearshape";
  settings.submenu = settingsSubmenu(state);
  items.push_back(std::move(settings));
  items.push_back(MenuItem::makeSeparator());

  items.push_back(item(N_("使い方"), MenuAction::help));
  items.push_back(
      named(language::format(language::tr("Tessaloomについて（v%s）"), state.version.c_str()),
            MenuAction::about));
  MenuItem quit = item(N_("Tessaloomを終了"), MenuAction::terminate);
  quit.shortcut = kQuitChord;
  items.push_back(std::move(quit));
  return menu;
}

}  // namespace tessaloom
