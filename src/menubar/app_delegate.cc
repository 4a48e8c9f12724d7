#include "menubar/app_delegate.h"

#include <chrono>
#include <cmath>
#include <string>
#include <utility>

#include "arrange/arranger.h"
#include "base/language.h"
#include "menubar/hot_key_center.h"
#include "menubar/hud.h"
#include "menubar/installer.h"
#include "menubar/shortcuts.h"
#include "menubar/status_menu.h"
#include "platform/window_system.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom {
namespace {

// Wraps `body` so that it runs only while the delegate behind `self` still exists.
template <class Body>
auto guarded(std::weak_ptr<AppDelegate*> self, Body body) {
  return [self = std::move(self), body = std::move(body)](auto&&... args) {
    if (auto alive = self.lock()) body(**alive, std::forward<decltype(args)>(args)...);
  };
}

}  // namespace

AppDelegate::AppDelegate(Context& ctx, platform::UiServices& ui)
    : ctx_(ctx),
      ui_(ui),
      hotKeys_(ui.hotKeys, ctx.queue),
      hud_(ui.overlay, ctx.desktop, ctx.queue),
      self_(std::make_shared<AppDelegate*>(this)) {}

AppDelegate::~AppDelegate() {
  self_.reset();
  if (trustTimer_) trustTimer_->cancel();
  if (hasStatusItem_) ui_.statusItem.setMenuDelegate(nullptr);
}

void AppDelegate::applicationDidFinishLaunching() {
  auto& statusItem = ui_.statusItem;
  hasStatusItem_ = true;
  if (statusItem.create()) {
    statusItem.setImage("rectangle.split.2x2", "Tessaloom");
    statusItem.setToolTip(language::tr("Tessaloom：ブラウザとAIのウィンドウを整える"));
  }
  statusItem.setMenuDelegate(this);

  // A key another program holds stays unregistered; the menu still reaches the operation.
  for (const auto& shortcut : kShortcuts) {
    const LayoutKind kind = shortcut.kind;
    if (!hotKeys_.registerHotKey(shortcut.chord,
                                 guarded(weakSelf(), [kind](AppDelegate& d) { d.run(kind); })))
      refusedChords_.push_back(shortcut.chord);
  }
  if (!hotKeys_.registerHotKey(kUndoChord,
                               guarded(weakSelf(), [](AppDelegate& d) { d.undoWithFeedback(); })))
    refusedChords_.push_back(kUndoChord);
  monitors_ = std::make_unique<MonitorFollower>(
      ctx_, ui_.application, [this](const std::string& name) { restoreNamedAction(name); });

  if (ctx_.desktop.controlAvailable()) return;
  ctx_.queue.asyncAfter(kPromptDelaySeconds,
                        guarded(weakSelf(), [](AppDelegate& d) { d.askForControl(); }));
  watchForTrust();
}

void AppDelegate::run(LayoutKind kind) {
  if (!ctx_.desktop.controlAvailable()) {
    askForControl();
    return;
  }
  const int n = Arranger::arrange(ctx_, kind);
  if (n < 1) {
    hud_.show(language::tr("整列できるウィンドウがありません"), "exclamationmark.triangle");
    return;
  }
  hud_.show(language::format(language::trn("%s（%d枚）", "%s（%d枚）", n),
                             std::string(title(kind)).c_str(), n),
            symbol(kind));
}

void AppDelegate::undoWithFeedback() {
  if (!ctx_.desktop.controlAvailable()) {
    askForControl();
    return;
  }
  const int n = Arranger::undo(ctx_);
  hud_.show(language::tr(n < 1 ? N_("戻せる配置がありません") : N_("直前の配置に戻しました")),
            "arrow.uturn.backward");
}

void AppDelegate::askForControl() {
  // A desktop where control takes a step of the user's says which; any other refusal gets a
  // plain note.
  platform::Alert alert{language::tr("ウィンドウを動かせません"),
                        language::tr("このデスクトップは Tessaloom "
                                     "にウィンドウを動かさせません。デスクトップのウィンドウ"
                                     "マネージャーが動いていることを確かめてください。"),
                        {language::tr("もう一度試す"), language::tr("あとで")}};
  if (auto prompt = ctx_.desktop.controlPrompt())
    alert = {std::move(prompt->title), std::move(prompt->text), std::move(prompt->buttons)};
  // A program without windows would otherwise show its dialog behind the active one.
  ui_.application.bringToFront();
  if (ui_.alerts.runModal(alert) == 0) ctx_.desktop.requestControl();
  if (!trustTimer_) watchForTrust();
}

void AppDelegate::watchForTrust() {
  if (trustTimer_) trustTimer_->cancel();
  trustTimer_ = ctx_.queue.repeating(
      kTrustWatchSeconds, guarded(weakSelf(), [](AppDelegate& d) {
        if (!d.ctx_.desktop.controlAvailable()) return;
        if (d.trustTimer_) d.trustTimer_->cancel();
        d.trustTimer_.reset();
        d.hud_.show(language::format(language::tr("準備OK！ %s で整列できます"),
                                     describe(kShortcuts[0].chord).c_str()),
                    "checkmark.circle.fill");
      }));
}

void AppDelegate::menuNeedsUpdate() {
  auto& settings = ctx_.settings;
  StatusMenuState state;
  state.trusted = ctx_.desktop.controlAvailable();
  if (!state.trusted)
    if (auto prompt = ctx_.desktop.controlPrompt()) state.controlStep = prompt->title;
  const auto facts = ctx_.desktop.snapshot();
  if (state.trusted) {
    for (const auto& window : WindowManager::targetWindows(ctx_, facts)) {
      state.browserWindows += window.kind() == Kind::browser;
      state.aiWindows += window.kind() == Kind::ai;
    }
  }
  const auto overrides = settings.overrides();  // one read for every application listed
  for (const auto& app : WindowManager::regularApps(ctx_, facts))
    state.applications.push_back(menuApplication(app, overrides));
  state.gap = settings.gap();
  state.displayMode = settings.displayMode();
  state.aiRatio = settings.aiRatio();
  state.detectAITabs = settings.detectAITabs();
  state.followMonitors = settings.followMonitors();
  state.loginEnabled = ui_.loginItem.enabled();
  state.hasUndo = Arranger::hasUndo(ctx_);
  state.hasSaved = Arranger::hasSaved(ctx_);
  for (const auto& entry : settings.namedArrangements()) state.named.push_back(entry.name);
  state.version = Installer::version(ui_.installation);
  state.refusedChords = refusedChords_;
  ui_.statusItem.setMenu(buildStatusMenu(state));
}

void AppDelegate::menuItemChosen(const MenuItem& item) {
  switch (const MenuAction action = actionOf(item)) {
    case MenuAction::none:
      return;
    case MenuAction::layout: {
      // Queued, so the layout runs once the menu has closed.
      const auto* raw = std::get_if<std::string>(&item.representedObject);
      if (!raw) return;
      if (const auto kind = layoutKindFromRaw(*raw))
        ctx_.queue.async(guarded(weakSelf(), [k = *kind](AppDelegate& d) { d.run(k); }));
      return;
    }
    case MenuAction::undo:
      ctx_.queue.async(guarded(weakSelf(), [](AppDelegate& d) { d.undoWithFeedback(); }));
      return;
    case MenuAction::save:
      return saveAction();
    case MenuAction::restore:
      return restoreAction();
    case MenuAction::saveNamed:
      return saveNamedAction();
    case MenuAction::restoreNamed:
    case MenuAction::forgetNamed:
      if (const auto* name = std::get_if<std::string>(&item.representedObject))
        return action == MenuAction::forgetNamed ? forgetNamedAction(*name)
                                                 : restoreNamedAction(*name);
      return;
    case MenuAction::setKind:
      return setKindAction(item);
    case MenuAction::setDisplayMode:
      return setDisplayModeAction(item);
    case MenuAction::setGap:
      return setNumberAction(item, &Settings::setGap);
    case MenuAction::setAIRatio:
      return setNumberAction(item, &Settings::setAiRatio);
    case MenuAction::toggleDetectTabs:
      ctx_.settings.setDetectAITabs(!ctx_.settings.detectAITabs());
      return;
    case MenuAction::toggleFollowMonitors:
      ctx_.settings.setFollowMonitors(!ctx_.settings.followMonitors());
      return;
    case MenuAction::toggleLogin:
      return toggleLoginAction();
    case MenuAction::help:
      return helpAction();
    case MenuAction::about:
      return aboutAction();
    case MenuAction::askForControl:
      return askForControl();
    case MenuAction::terminate:
      ui_.application.quit();
      return;
  }
}

void AppDelegate::saveAction() {
  // The item is disabled without the permission, so there is no check here.
  const auto saved = Arranger::saveCurrent(ctx_);
  hud_.show(saved ? language::format(language::trn("%d枚の配置を保存しました",
                                                   "%d枚の配置を保存しました", *saved),
                                     *saved)
                  : language::tr("配置を保存できませんでした"),
            "square.and.arrow.down");
}

void AppDelegate::restoreAction() {
  ctx_.queue.async(guarded(weakSelf(), [](AppDelegate& d) {
    Arranger::restoreSaved(
        d.ctx_, guarded(d.weakSelf(), [](AppDelegate& self, int n) {
          self.hud_.show(
              n < 1 ? language::tr("戻せるウィンドウがありません")
                    : language::format(language::trn("保存した配置に戻しました（%d枚）",
                                                     "保存した配置に戻しました（%d枚）", n),
                                       n),
              "clock.arrow.circlepath");
        }));
  }));
}

void AppDelegate::saveNamedAction() {
  const auto name = ui_.alerts.askForText(
      {language::tr("今の配置に名前を付けて保存"),
       language::format(language::tr("名前は%zu文字まで。同じ名前の配置は置き換えます。"),
                        kMaxNameCharacters),
       {language::tr("保存"), language::tr("キャンセル")}});
  if (!name) return;
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  const auto saved = Arranger::saveNamed(ctx_, *name, std::floor(now));
  hud_.show(saved ? language::format(language::trn("「%s」に%d枚の配置を保存しました",
                                                   "「%s」に%d枚の配置を保存しました", *saved),
                                     arrangementName(*name)->c_str(), *saved)
                  : saved.error(),
            "square.and.arrow.down");
}

void AppDelegate::restoreNamedAction(const std::string& name) {
  ctx_.queue.async(guarded(weakSelf(), [name](AppDelegate& d) {
    const bool started = Arranger::restoreNamed(
        d.ctx_, name, guarded(d.weakSelf(), [name](AppDelegate& self, int n) {
          self.hud_.show(
              n < 1 ? language::tr("戻せるウィンドウがありません")
                    : language::format(language::trn("「%s」の配置に戻しました（%d枚）",
                                                     "「%s」の配置に戻しました（%d枚）", n),
                                       name.c_str(), n),
              "clock.arrow.circlepath");
        }));
    if (!started)
      d.hud_.show(language::format(language::tr("保存した配置「%s」はありません"), name.c_str()),
                  "clock.arrow.circlepath");
  }));
}

void AppDelegate::forgetNamedAction(const std::string& name) {
  if (Arranger::forgetNamed(ctx_, name))
    hud_.show(language::format(language::tr("「%s」を削除しました"), name.c_str()), "trash");
}

void AppDelegate::setKindAction(const MenuItem& item) {
  const auto* entries = std::get_if<std::vector<std::string>>(&item.representedObject);
  if (!entries || entries->size() != 3) return;
  if (const auto kind = kindFromRaw((*entries)[2]))
    ctx_.settings.setKind(*kind, (*entries)[0], (*entries)[1]);
}

void AppDelegate::setDisplayModeAction(const MenuItem& item) {
  const auto* raw = std::get_if<std::string>(&item.representedObject);
  if (!raw) return;
  if (const auto mode = displayModeFromRaw(*raw)) ctx_.settings.setDisplayMode(*mode);
}

void AppDelegate::setNumberAction(const MenuItem& item, void (Settings::*store)(double)) {
  if (const auto* value = std::get_if<double>(&item.representedObject))
    (ctx_.settings.*store)(*value);
}

void AppDelegate::toggleLoginAction() {
  auto& login = ui_.loginItem;
  const Outcome changed = login.setEnabled(!login.enabled());
  if (changed) return;
  ui_.alerts.runModal(platform::Alert{
      language::tr("ログイン時の自動起動を変更できませんでした"),
      language::format(
          language::tr("自動起動の設定ファイル（~/.config/autostart/tessaloom.desktop）"
                       "を書けるか確かめてから、もう一度お試しください。\n\n%s"),
          changed.error().c_str()),
      {}});
}

void AppDelegate::helpAction() {
  ui_.application.bringToFront();
  // The chords as the desktop shows them, in the order of the help's lines.
  std::vector<std::string> chords;
  for (const auto& shortcut : kShortcuts) chords.push_back(describe(shortcut.chord));
  chords.push_back(describe(kUndoChord));
  ui_.alerts.runModal(platform::Alert{
      language::tr("Tessaloom の使い方"),
      language::format(
          language::tr(
              "パネルのアイコン、またはショートカットで、開いているブラウザとAIのウィンドウを一発で"
              "整えます。\n\n%s　自動タイル（画面の形に合わせて敷き詰め）\n%s　横一列（ワイドモ"
              "ニター向け）\n%s　ブラウザ左＋AI右\n%s　同じサイズで重ねる\n%s　手前のウィンドウ"
              "とサイズだけ揃える\n%s　直前の配置に戻す\n\n・対象：Firefox / Chromium / Google "
              "Chrome / Brave / Microsoft Edge / Vivaldi / Epiphany などのブラウザと、ChatGPT / "
              "Claude などのAIアプリ。\n・ブラウザで ChatGPT や Claude "
              "を開いているウィンドウも、AIとして右側に寄せます。\n・対象を増やしたり外したりす"
              "るには「対象アプリ」から選んでください。\n・最小化中・フルスクリーンのウィンドウ"
              "は動かしません。"),
          chords[0].c_str(), chords[1].c_str(), chords[2].c_str(), chords[3].c_str(),
          chords[4].c_str(), chords[5].c_str()),
      {}});
}

void AppDelegate::aboutAction() {
  ui_.application.bringToFront();
  ui_.aboutPanel.show(
      platform::AboutInfo{"Tessaloom", Installer::version(ui_.installation),
                          language::tr("ブラウザとAIのウィンドウを、ワンキーで整える。"), 11});
}

}  // namespace tessaloom
