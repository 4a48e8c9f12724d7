// The tray application: its launch sequence, the permission prompt and watch, the layout and
// undo runs with their feedback, and the status menu with every action it sends. Reaches the
// desktop through the context and the tray services it is given.
#pragma once

#include <memory>
#include <optional>

#include "base/menu_model.h"
#include "base/records.h"
#include "menubar/hot_key_center.h"
#include "menubar/hud.h"
#include "menubar/menu_action.h"
#include "menubar/monitor_follower.h"
#include "platform/main_queue.h"
#include "platform/status_item.h"
#include "platform/ui_services.h"
#include "windows/context.h"

namespace tessaloom {

class Settings;

class AppDelegate : public platform::MenuDelegate {
 public:
  /// Delay of the first permission prompt after launch, and the period of the permission watch.
  static constexpr double kPromptDelaySeconds = 0.5;
  static constexpr double kTrustWatchSeconds = 1.0;

  /// The delegate over `ctx` and the tray services `ui`; both must outlive it.
  AppDelegate(Context& ctx, platform::UiServices& ui);
  /// Stops the permission watch and gives the hot keys back; queued work that refers to the
  /// delegate then does nothing.
  ~AppDelegate() override;
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  /// The launch sequence: status item, menu, hot keys, the check for window control.
  void applicationDidFinishLaunching();

  /// Arranges the target windows with `kind` and shows the outcome; the permission prompt
  /// instead when the permission is missing.
  void run(LayoutKind kind);
  /// Takes the last arrangement back and shows the outcome; the prompt without permission.
  void undoWithFeedback();
  /// The modal permission prompt; starts the watch unless one runs.
  void askForControl();
  /// Starts (or restarts) the once-a-second watch that reports when the permission arrives.
  void watchForTrust();
  /// Whether the permission watch runs.
  bool isWatchingForTrust() const { return trustTimer_.has_value(); }

  /// Rebuilds the status menu from the current state and hands it to the status item.
  void menuNeedsUpdate() override;
  /// Carries out the item's action; an item with unexpected data does nothing.
  void menuItemChosen(const MenuItem& item) override;

 private:
  // The handle that queued work and hot keys hold instead of the delegate itself.
  using Self = std::weak_ptr<AppDelegate*>;
  Self weakSelf() const { return self_; }

  void saveAction();
  void restoreAction();
  void saveNamedAction();
  void restoreNamedAction(const std::string& name);
  void forgetNamedAction(const std::string& name);
  void setKindAction(const MenuItem& item);
  void setDisplayModeAction(const MenuItem& item);
  void setNumberAction(const MenuItem& item, void (Settings::*store)(double));
  void toggleLoginAction();
  void helpAction();
  void aboutAction();

  Context& ctx_;
  platform::UiServices& ui_;
  HotKeyCenter hotKeys_;
  std::vector<Chord> refusedChords_;
  HUD hud_;
  std::shared_ptr<AppDelegate*> self_;
  bool hasStatusItem_ = false;
  std::optional<platform::WorkItem> trustTimer_;
  std::unique_ptr<MonitorFollower> monitors_;
};

}  // namespace tessaloom
