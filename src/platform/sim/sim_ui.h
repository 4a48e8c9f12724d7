// Recording fakes of the tray application's services: application, status item and menu,
// alerts, about panel, overlay, hot keys, login item, installation and updater. Each keeps
// what it was asked to do, and all write one shared journal so tests can check the order.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/menu_model.h"
#include "platform/about_panel.h"
#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/hot_keys.h"
#include "platform/installation.h"
#include "platform/login_item.h"
#include "platform/overlay.h"
#include "platform/status_item.h"
#include "platform/updater.h"

namespace tessaloom::platform {

struct Services;

/// One line per visible effect, in order: "activate", "terminate", "alert <message>",
/// "about", "status item", "trash <path>", "copy <from> -> <to>", "launch <argv...>",
/// "quit <pid>".
using UiJournal = std::vector<std::string>;

class SimApplication : public Application {
 public:
  explicit SimApplication(UiJournal& journal) : journal_(journal) {}
  void activateIgnoringOtherApps() override;
  void terminate() override;

  int activations = 0;
  int terminations = 0;

 private:
  UiJournal& journal_;
};

class SimStatusItem : public StatusItem {
 public:
  explicit SimStatusItem(UiJournal& journal) : journal_(journal) {}
  bool create() override;
  void setImage(std::string_view symbol, std::string_view accessibilityDescription) override;
  void setToolTip(std::string_view text) override;
  void setMenuDelegate(MenuDelegate* d) override { delegate = d; }
  void setMenu(const MenuModel& menu) override;

  /// Opens the menu as the user would: asks the delegate, then returns what it handed over.
  const MenuModel& open();
  /// The first item titled `title`, searched depth-first through the shown menu and its
  /// submenus; null when there is none.
  const MenuItem* find(std::string_view title) const;
  /// Chooses the first item titled `title` of the shown menu as the user would: false, and
  /// nothing sent, when there is none or it is disabled.
  bool choose(std::string_view title);

  /// Whether the item has a button (set before launch).
  bool hasButton = true;
  int creations = 0;
  std::string image;
  std::string accessibilityDescription;
  std::string toolTip;
  MenuDelegate* delegate = nullptr;
  MenuModel shown;
  int menusSet = 0;

 private:
  UiJournal& journal_;
};

class SimAlerts : public Alerts {
 public:
  explicit SimAlerts(UiJournal& journal) : journal_(journal) {}
  /// Records the alert and answers with the next of `answers`, else with the first button.
  int runModal(const Alert& alert) override;

  std::vector<Alert> shown;
  std::deque<int> answers;

 private:
  UiJournal& journal_;
};

class SimAboutPanel : public AboutPanel {
 public:
  explicit SimAboutPanel(UiJournal& journal) : journal_(journal) {}
  void show(const AboutInfo& info) override;

  std::vector<AboutInfo> shown;

 private:
  UiJournal& journal_;
};

class SimOverlay : public Overlay {
 public:
  /// Everything one plate went through.
  struct Plate {
    OverlayContent content;
    Size size;
    std::optional<Point> origin;  // nothing until set
    double alpha = 1;
    std::vector<double> alphas;  // every value set, in order
    bool visible = false;
    int orderFronts = 0;
    int orderOuts = 0;
    bool released = false;  // the core dropped its last handle
  };

  std::unique_ptr<OverlayPanel> makePanel(const OverlayContent& content) override;
  /// The plates shown so far, oldest first.
  const std::vector<std::shared_ptr<Plate>>& plates() const { return plates_; }
  /// The visible plates.
  int visibleCount() const;

  /// The fitting size every plate reports.
  Size plateSize{240, 48};

 private:
  std::vector<std::shared_ptr<Plate>> plates_;
};

class SimHotKeys : public HotKeys {
 public:
  struct Registration {
    HotKeyId id;
    std::int32_t keyCode;
    std::uint32_t modifiers;
    friend bool operator==(const Registration&, const Registration&) = default;
  };

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  /// Refuses combinations in `heldElsewhere` and combinations already registered.
  bool registerHotKey(HotKeyId id, std::int32_t keyCode, std::uint32_t modifiers) override;
  void unregisterHotKey(HotKeyId id) override;

  /// Presses a combination: the handler gets its id when it is registered; false when nothing
  /// was delivered.
  bool press(std::int32_t keyCode, std::uint32_t modifiers);
  /// Delivers a raw id, as the system does when it cannot read one (0).
  void deliver(HotKeyId id);

  /// Combinations another program holds.
  std::set<std::pair<std::int32_t, std::uint32_t>> heldElsewhere;
  /// The registrations in force, in the order made.
  std::vector<Registration> registered;
  int handlerSets = 0;
  std::vector<HotKeyId> unregistered;

 private:
  std::function<void(HotKeyId)> handler_;
};

class SimLoginItem : public LoginItem {
 public:
  LoginItemStatus status() override { return current; }
  bool registerItem(std::string& error) override;
  bool unregisterItem(std::string& error) override;

  LoginItemStatus current = LoginItemStatus::notRegistered;
  /// When set, both changes fail with this text and change nothing.
  std::optional<std::string> failure;
  int registrations = 0;
  int unregistrations = 0;
};

class SimInstallation : public Installation {
 public:
  explicit SimInstallation(UiJournal& journal) : journal_(journal) {}
  std::string bundlePath() override { return path; }
  std::optional<std::string> bundleIdentifier() override { return identifier; }
  std::optional<DefaultsValue> infoValue(std::string_view key) override;
  std::string homeDirectory() override { return home; }
  bool fileExists(std::string_view p) override { return files.count(std::string(p)) > 0; }
  bool trashItem(std::string_view p, std::string& error) override;
  bool copyItem(std::string_view from, std::string_view to, std::string& error) override;
  bool launch(std::string_view executable, const std::vector<std::string>& arguments) override;
  std::vector<std::int32_t> runningInstances(std::string_view bundleIdentifier) override;
  /// True unless `pid` is in `startedLater`.
  bool startedBeforeThisProcess(std::int32_t pid) override;
  void terminate(std::int32_t pid) override;

  std::string path;
  std::optional<std::string> identifier = "tessaloom";
  std::map<std::string, DefaultsValue, std::less<>> info;
  std::string home = "/home/user";
  /// Paths that exist; copies add theirs, the trash takes its away.
  std::set<std::string> files;
  std::optional<std::string> trashFailure;
  std::optional<std::string> copyFailure;
  bool launchFails = false;
  /// Running copies per identifier.
  std::map<std::string, std::vector<std::int32_t>, std::less<>> instances;
  /// Running copies that started after this process.
  std::set<std::int32_t> startedLater;
  std::vector<std::int32_t> terminated;

 private:
  UiJournal& journal_;
};

class SimUpdater : public Updater {
 public:
  bool canCheckForUpdates() override { return canCheck; }
  void checkForUpdates() override { ++checks; }

  bool canCheck = true;
  int checks = 0;
};

/// Every fake of the tray services, writing one journal.
struct SimUi {
  UiJournal journal;
  SimApplication application{journal};
  SimStatusItem statusItem{journal};
  SimAlerts alerts{journal};
  SimAboutPanel aboutPanel{journal};
  SimOverlay overlay;
  SimHotKeys hotKeys;
  SimLoginItem loginItem;
  SimInstallation installation{journal};
  SimUpdater updater;

  /// Sets the tray members of `services` to these fakes; the updater only when `withUpdater`.
  void installInto(Services& services, bool withUpdater = false);
};

}  // namespace tessaloom::platform
