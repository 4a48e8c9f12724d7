#include "platform/sim/sim_ui.h"

#include <algorithm>

#include "platform/services.h"

namespace tessaloom::platform {
namespace {

const MenuItem* findIn(const std::vector<MenuItem>& items, std::string_view title) {
  for (const auto& item : items) {
    if (!item.separator && item.title == title) return &item;
    if (const auto* found = findIn(item.submenu, title)) return found;
  }
  return nullptr;
}

// A plate handle that writes into the fake's record of it.
class SimPanel : public OverlayPanel {
 public:
  explicit SimPanel(std::shared_ptr<SimOverlay::Plate> plate) : plate_(std::move(plate)) {}
  ~SimPanel() override { plate_->released = true; }
  Size size() const override { return plate_->size; }
  void setFrameOrigin(Point origin) override { plate_->origin = origin; }
  void setAlpha(double alpha) override {
    plate_->alpha = alpha;
    plate_->alphas.push_back(alpha);
  }
  void orderFront() override {
    plate_->visible = true;
    ++plate_->orderFronts;
  }
  void orderOut() override {
    plate_->visible = false;
    ++plate_->orderOuts;
  }

 private:
  std::shared_ptr<SimOverlay::Plate> plate_;
};

}  // namespace

void SimApplication::activateIgnoringOtherApps() {
  ++activations;
  journal_.push_back("activate");
}

void SimApplication::terminate() {
  ++terminations;
  journal_.push_back("terminate");
}

bool SimStatusItem::create() {
  ++creations;
  journal_.push_back("status item");
  return hasButton;
}

void SimStatusItem::setImage(std::string_view symbol, std::string_view description) {
  image = std::string(symbol);
  accessibilityDescription = std::string(description);
}

void SimStatusItem::setToolTip(std::string_view text) {
  toolTip = std::string(text);
}

void SimStatusItem::setMenu(const MenuModel& menu) {
  shown = menu;
  ++menusSet;
}

const MenuModel& SimStatusItem::open() {
  if (delegate) delegate->menuNeedsUpdate();
  return shown;
}

const MenuItem* SimStatusItem::find(std::string_view title) const {
  return findIn(shown.items, title);
}

bool SimStatusItem::choose(std::string_view title) {
  const MenuItem* item = find(title);
  if (!item || !item->enabled || !delegate) return false;
  const MenuItem copy = *item;  // the delegate may rebuild the menu meanwhile
  delegate->menuItemChosen(copy);
  return true;
}

int SimAlerts::runModal(const Alert& alert) {
  shown.push_back(alert);
  journal_.push_back("alert " + alert.messageText);
  if (answers.empty()) return kAlertFirstButtonReturn;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void SimAboutPanel::show(const AboutInfo& info) {
  shown.push_back(info);
  journal_.push_back("about");
}

std::unique_ptr<OverlayPanel> SimOverlay::makePanel(const OverlayContent& content) {
  auto plate = std::make_shared<Plate>();
  plate->content = content;
  plate->size = plateSize;
  plates_.push_back(plate);
  return std::make_unique<SimPanel>(plate);
}

int SimOverlay::visibleCount() const {
  return static_cast<int>(
      std::count_if(plates_.begin(), plates_.end(), [](const auto& p) { return p->visible; }));
}

void SimHotKeys::setPressedHandler(std::function<void(HotKeyId)> handler) {
  ++handlerSets;
  handler_ = std::move(handler);
}

bool SimHotKeys::registerHotKey(HotKeyId id, std::int32_t keyCode, std::uint32_t modifiers) {
  if (heldElsewhere.count({keyCode, modifiers})) return false;
  for (const auto& r : registered)
    if (r.keyCode == keyCode && r.modifiers == modifiers) return false;
  registered.push_back({id, keyCode, modifiers});
  return true;
}

void SimHotKeys::unregisterHotKey(HotKeyId id) {
  unregistered.push_back(id);
  std::erase_if(registered, [id](const Registration& r) { return r.id == id; });
}

bool SimHotKeys::press(std::int32_t keyCode, std::uint32_t modifiers) {
  for (const auto& r : registered) {
    if (r.keyCode != keyCode || r.modifiers != modifiers) continue;
    if (!handler_) return false;
    handler_(r.id);
    return true;
  }
  return false;
}

void SimHotKeys::deliver(HotKeyId id) {
  if (handler_) handler_(id);
}

bool SimLoginItem::registerItem(std::string& error) {
  ++registrations;
  if (failure) {
    error = *failure;
    return false;
  }
  current = LoginItemStatus::enabled;
  return true;
}

bool SimLoginItem::unregisterItem(std::string& error) {
  ++unregistrations;
  if (failure) {
    error = *failure;
    return false;
  }
  current = LoginItemStatus::notRegistered;
  return true;
}

std::optional<DefaultsValue> SimInstallation::infoValue(std::string_view key) {
  const auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  return it->second;
}

bool SimInstallation::trashItem(std::string_view p, std::string& error) {
  if (trashFailure) {
    error = *trashFailure;
    return false;
  }
  files.erase(std::string(p));
  journal_.push_back("trash " + std::string(p));
  return true;
}

bool SimInstallation::copyItem(std::string_view from, std::string_view to, std::string& error) {
  if (copyFailure) {
    error = *copyFailure;
    return false;
  }
  files.insert(std::string(to));
  journal_.push_back("copy " + std::string(from) + " -> " + std::string(to));
  return true;
}

bool SimInstallation::launch(std::string_view executable,
                             const std::vector<std::string>& arguments) {
  std::string line = "launch " + std::string(executable);
  for (const auto& a : arguments) line += " " + a;
  journal_.push_back(line + (launchFails ? " (failed)" : ""));
  return !launchFails;
}

std::vector<std::int32_t> SimInstallation::runningInstances(std::string_view bundleIdentifier) {
  const auto it = instances.find(bundleIdentifier);
  return it == instances.end() ? std::vector<std::int32_t>{} : it->second;
}

bool SimInstallation::startedBeforeThisProcess(std::int32_t pid) {
  return startedLater.count(pid) == 0;
}

void SimInstallation::terminate(std::int32_t pid) {
  terminated.push_back(pid);
  journal_.push_back("quit " + std::to_string(pid));
}

void SimUi::installInto(Services& services, bool withUpdater) {
  services.application = &application;
  services.statusItem = &statusItem;
  services.alerts = &alerts;
  services.aboutPanel = &aboutPanel;
  services.overlay = &overlay;
  services.hotKeys = &hotKeys;
  services.loginItem = &loginItem;
  services.installation = &installation;
  services.updater = withUpdater ? &updater : nullptr;
}

}  // namespace tessaloom::platform
