// Recording fakes of the tray application's services: application, status item and menu,
// alerts, about panel, overlay, hot keys, login item, and installation. Each keeps
// what it was asked to do, and several write one shared journal so tests can check the order.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/chord.h"
#include "base/menu_model.h"
#include "platform/about_panel.h"
#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/hot_keys.h"
#include "platform/installation.h"
#include "platform/login_item.h"
#include "platform/overlay.h"
#include "platform/status_item.h"
#include "platform/ui_services.h"

namespace tessaloom::platform {

/// One line per visible effect, in order: "front", "quit", "alert <message>", "about",
/// "status item", "trash <path>", "copy <from> -> <to>", "open <path>", "quit <pid>".
using UiJournal = std::vector<std::string>;

class SimApplication : public Application {
 public:
  explicit SimApplication(UiJournal& journal) : journal_(journal) {}
  void bringToFront() override;
  void quit() override;

  int frontings = 0;
  int quits = 0;

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
  /// Records the alert and answers with the next of `answers`, else with the first button (0).
  int runModal(const Alert& alert) override;
  /// Records the alert and answers with the next of `texts`, else with nothing.
  std::optional<std::string> askForText(const Alert& alert) override;

  std::vector<Alert> shown;
  std::deque<int> answers;
  std::deque<std::optional<std::string>> texts;

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
    std::optional<Point> origin;  // top-left; nothing until set
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

/// Orders chords so they can be kept in a set.
struct ChordOrder {
  bool operator()(const Chord& a, const Chord& b) const {
    return a.letter != b.letter ? a.letter < b.letter : a.modifiers < b.modifiers;
  }
};

class SimHotKeys : public HotKeys {
 public:
  struct Registration {
    HotKeyId id;
    Chord chord;
    friend bool operator==(const Registration&, const Registration&) = default;
  };

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  /// Refuses chords in `heldElsewhere` and chords already registered.
  bool registerHotKey(HotKeyId id, Chord chord) override;
  void unregisterHotKey(HotKeyId id) override;

  /// Presses a chord: the handler gets its id when it is registered; false when nothing was
  /// delivered.
  bool press(Chord chord);
  /// Delivers a raw id, as a backend does when it cannot tell which chord it was (0).
  void deliver(HotKeyId id);

  /// Chords another program holds.
  std::set<Chord, ChordOrder> heldElsewhere;
  /// The registrations in force, in the order made.
  std::vector<Registration> registered;
  int handlerSets = 0;
  std::vector<HotKeyId> unregistered;

 private:
  std::function<void(HotKeyId)> handler_;
};

class SimLoginItem : public LoginItem {
 public:
  bool enabled() override { return on; }
  /// Counts the request; fails with `failure`, changing nothing, when that is set.
  Outcome setEnabled(bool enabled) override;

  bool on = false;
  std::optional<std::string> failure;
  int enables = 0;
  int disables = 0;
};

class SimInstallation : public Installation {
 public:
  std::string version() override { return versionText; }

  std::string versionText = "0.1.0";
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
  SimInstallation installation;

  /// These fakes as the tray's services.
  UiServices services();
};

}  // namespace tessaloom::platform
