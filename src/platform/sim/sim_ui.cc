#include "platform/sim/sim_ui.h"

#include <algorithm>

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

void SimApplication::bringToFront() {
  ++frontings;
  journal_.push_back("front");
}

void SimApplication::quit() {
  ++quits;
  journal_.push_back("quit");
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
  if (answers.empty()) return 0;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> SimAlerts::askForText(const Alert& alert) {
  shown.push_back(alert);
  journal_.push_back("ask " + alert.messageText);
  if (texts.empty()) return std::nullopt;
  auto text = std::move(texts.front());
  texts.pop_front();
  return text;
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

bool SimHotKeys::registerHotKey(HotKeyId id, Chord chord) {
  if (heldElsewhere.count(chord)) return false;
  for (const auto& r : registered)
    if (r.chord == chord) return false;
  registered.push_back({id, chord});
  return true;
}

void SimHotKeys::unregisterHotKey(HotKeyId id) {
  unregistered.push_back(id);
  std::erase_if(registered, [id](const Registration& r) { return r.id == id; });
}

bool SimHotKeys::press(Chord chord) {
  for (const auto& r : registered) {
    if (r.chord != chord) continue;
    if (!handler_) return false;
    handler_(r.id);
    return true;
  }
  return false;
}

void SimHotKeys::deliver(HotKeyId id) {
  if (handler_) handler_(id);
}

Outcome SimLoginItem::setEnabled(bool enabled) {
  ++(enabled ? enables : disables);
  if (failure) return Failure{*failure};
  on = enabled;
  return {};
}

UiServices SimUi::services() {
  return {application, statusItem, alerts, aboutPanel, overlay, hotKeys, loginItem, installation};
}

}  // namespace tessaloom::platform
