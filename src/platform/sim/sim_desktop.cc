#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

namespace tessaloom::platform {
namespace {

constexpr std::string_view kLocationPrefix = "sim://installed/";

bool finite(const AttributeValue& value) {
  if (const auto* p = std::get_if<Point>(&value)) return std::isfinite(p->x) && std::isfinite(p->y);
  if (const auto* s = std::get_if<Size>(&value)) {
    return std::isfinite(s->width) && std::isfinite(s->height);
  }
  return true;
}

std::string location(const SceneInstalled& entry) {
  return std::string(kLocationPrefix) + entry.app.bundleID.value_or("");
}

}  // namespace

SimDesktop::SimDesktop(Scene scene, MainQueue& clock)
    : scene_(std::move(scene)),
      clock_(clock),
      trusted_(scene_.trusted),
      trustedAt_(scene_.trustedAt),
      screens_(scene_.screens),
      mouse_(scene_.mouse),
      frontmost_(scene_.frontmost) {
  std::int64_t highest = scene_.self;
  for (const SceneApp& facts : scene_.apps) {
    apps_.push_back(makeApp(facts, facts.pid));
    highest = std::max<std::int64_t>(highest, facts.pid);
  }
  nextPid_ = highest + 1;
}

SimDesktop::App SimDesktop::makeApp(const SceneApp& facts, std::int32_t pid) const {
  App app;
  app.facts = facts;
  app.facts.pid = pid;
  app.facts.windows.clear();
  for (std::size_t i = 0; i < facts.windows.size(); ++i) {
    Window w;
    w.facts = facts.windows[i];
    w.frame = w.facts.frame;
    w.element = std::make_shared<SimElement>(this, pid, i);
    app.windows.push_back(std::move(w));
  }
  return app;
}

std::unique_ptr<SimDesktop> SimDesktop::fromJson(std::string_view text, MainQueue& clock,
                                                 std::string& error, std::string_view name) {
  std::optional<Scene> scene = readScene(text, name, error);
  if (!scene) return nullptr;
  return std::unique_ptr<SimDesktop>(new SimDesktop(std::move(*scene), clock));
}

std::unique_ptr<SimDesktop> SimDesktop::loadFile(const std::string& path, MainQueue& clock,
                                                 std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  std::string text;
  if (file) {
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
  }
  // A directory opens but fails to read, so both steps are checked.
  if (!file || std::ferror(file.get())) {
    error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return nullptr;
  }
  return fromJson(text, clock, error, path);
}

std::string SimDesktop::toJson() const {
  return currentDocument().dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

nlohmann::ordered_json SimDesktop::currentDocument() const {
  using Json = nlohmann::ordered_json;
  Json document = scene_.document;
  const auto patchWindows = [](Json& appJson, const App& app) {
    for (std::size_t i = 0; i < app.windows.size(); ++i) {
      const Window& w = app.windows[i];
      if (w.frame != w.facts.frame) appJson["windows"][i]["frame"] = frameJson(w.frame);
    }
  };
  for (std::size_t i = 0; i < scene_.apps.size(); ++i) {
    patchWindows(document["apps"][i], apps_[i]);
  }

  // Launched applications in the order they appeared, then those that are due but have not
  // been looked at since: they are there as soon as anyone looks.
  std::vector<std::pair<const App*, const Launch*>> launched;
  for (std::size_t i = scene_.apps.size(); i < apps_.size(); ++i) {
    if (apps_[i].running) launched.push_back({&apps_[i], nullptr});
  }
  const double now = clock_.now();
  for (const Launch& l : launches_) {
    if (l.due > now) break;
    launched.push_back({nullptr, &l});
  }

  std::vector<std::size_t> moved;
  for (const auto& [app, launch] : launched) {
    const std::size_t index = app ? *app->installed : launch->installed;
    const Json& entry = scene_.document["installed"][index];
    Json appJson = Json::object();
    appJson["pid"] = app ? app->facts.pid : launch->pid;
    for (const auto& item : entry.items()) {
      if (item.key() != "launchDelay") appJson[item.key()] = item.value();
    }
    if (app) patchWindows(appJson, *app);
    if (!document.contains("apps")) document["apps"] = Json::array();
    document["apps"].push_back(std::move(appJson));
    moved.push_back(index);
  }
  std::sort(moved.rbegin(), moved.rend());
  for (const std::size_t index : moved) document["installed"].erase(index);
  return document;
}

bool SimDesktop::changed() const {
  return currentDocument() != scene_.document;
}

bool SimDesktop::saveFile(const std::string& path, std::string& error) const {
  const std::string text = toJson();
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      error = path + ": cannot be written (" + std::strerror(errno) + ")";
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": cannot be written (" + std::strerror(errno) + ")";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// Time-driven state ------------------------------------------------------------------------

void SimDesktop::settle() {
  const double now = clock_.now();
  std::size_t done = 0;
  for (; done < launches_.size() && launches_[done].due <= now; ++done) {
    const Launch& l = launches_[done];
    App app = makeApp(scene_.installed[l.installed].app, l.pid);
    app.installed = l.installed;
    apps_.push_back(std::move(app));
  }
  launches_.erase(launches_.begin(), launches_.begin() + static_cast<std::ptrdiff_t>(done));

  for (App& app : apps_) {
    for (Window& w : app.windows) {
      auto first = w.pending.begin();
      for (; first != w.pending.end() && first->due <= now; ++first) {
        applyWrite(w, first->attribute, first->value);
      }
      w.pending.erase(w.pending.begin(), first);
    }
  }
}

bool SimDesktop::trusted() {
  return trusted_ || (trustedAt_ && clock_.now() >= *trustedAt_);
}

void SimDesktop::setTrusted(bool trusted) {
  trusted_ = trusted;
  trustedAt_.reset();
}

SimDesktop::App* SimDesktop::runningApp(std::int32_t pid) {
  for (App& app : apps_) {
    if (app.running && app.facts.pid == pid) return &app;
  }
  return nullptr;
}

SimDesktop::Window* SimDesktop::window(std::int32_t pid, std::size_t index) {
  settle();
  App* app = runningApp(pid);
  if (!app || index >= app->windows.size() || app->windows[index].gone) return nullptr;
  return &app->windows[index];
}

std::int32_t SimDesktop::freshPid() {
  if (nextPid_ <= std::numeric_limits<std::int32_t>::max()) {
    return static_cast<std::int32_t>(nextPid_++);
  }
  const auto used = [this](std::int32_t pid) {
    if (pid == scene_.self) return true;
    for (const App& app : apps_) {
      if (app.facts.pid == pid) return true;
    }
    for (const Launch& l : launches_) {
      if (l.pid == pid) return true;
    }
    return false;
  };
  std::int32_t pid = 1;
  while (used(pid)) ++pid;
  return pid;
}

void SimDesktop::record(SimCallKind kind, std::string element, std::string argument,
                        AttributeValue value, AXError result, std::optional<double> time) {
  log_.add(SimCall{kind, time.value_or(clock_.now()), std::move(element), std::move(argument),
                   std::move(value), result});
}

// Accessibility ----------------------------------------------------------------------------

ElementRef SimDesktop::createApplication(std::int32_t pid) {
  ElementRef element = std::make_shared<SimElement>(this, pid, std::nullopt);
  record(SimCallKind::createApplication, describeElement(element));
  return element;
}

void SimDesktop::setMessagingTimeout(const ElementRef& application, float seconds) {
  record(SimCallKind::setMessagingTimeout, describeElement(application), {},
         static_cast<double>(seconds));
  auto* element = dynamic_cast<SimElement*>(application.get());
  if (!element || element->desktop() != this || !element->isApplication()) return;
  // Zero, negative or NaN puts back the default, as the platform does for zero.
  const double timeout = seconds > 0 ? static_cast<double>(seconds) : 0;
  element->setMessagingTimeout(timeout);
  settle();
  if (App* app = runningApp(element->pid())) app->messagingTimeout = timeout;
}

SimDesktop::Target SimDesktop::resolve(const ElementRef& element) {
  Target target;
  target.element = dynamic_cast<const SimElement*>(element.get());
  if (!target.element || target.element->desktop() != this) {
    target.error = AXError::illegalArgument;
    return target;
  }
  if (!trusted()) {
    target.error = AXError::apiDisabled;
    return target;
  }
  target.app = runningApp(target.element->pid());
  if (!target.app) {
    target.error = AXError::invalidUIElement;
    return target;
  }
  if (const auto index = target.element->window()) {
    if (*index >= target.app->windows.size() || target.app->windows[*index].gone) {
      target.error = AXError::invalidUIElement;
      return target;
    }
    target.window = &target.app->windows[*index];
  }
  if (target.app->facts.unresponsive) {
    waitForTimeout(target);
    target.error = AXError::cannotComplete;
  }
  return target;
}

void SimDesktop::waitForTimeout(const Target& target) {
  double timeout =
      target.window ? target.app->messagingTimeout : target.element->messagingTimeout();
  if (!(timeout > 0)) timeout = kDefaultMessagingTimeout;
  clock_.sleep(timeout);
}

AXError SimDesktop::copyAttributeValue(const ElementRef& element, std::string_view attribute,
                                       AttributeValue& value) {
  const double arrived = clock_.now();
  settle();
  const Target target = resolve(element);
  AttributeValue read;
  AXError result = target.error;
  if (result == AXError::success) {
    result = target.window ? readWindow(*target.window, attribute, read)
                           : readApp(*target.app, attribute, read);
  }
  if (result == AXError::success) value = read;
  record(SimCallKind::copyAttributeValue, describeElement(element), std::string(attribute),
         result == AXError::success ? read : AttributeValue{}, result, arrived);
  return result;
}

AXError SimDesktop::readApp(App& app, std::string_view attribute, AttributeValue& value) {
  if (app.facts.failRead.count(attribute)) return AXError::failure;
  if (attribute == "AXWindows") {
    if (app.facts.windowsValue == WindowsShape::string) {
      value = std::string("AXWindows");
      return AXError::success;
    }
    std::vector<ElementRef> windows;
    for (const Window& w : app.windows) {
      if (!w.gone) windows.push_back(w.element);
    }
    if (app.facts.windowsValue == WindowsShape::withNull) windows.push_back(nullptr);
    value = std::move(windows);
    return AXError::success;
  }
  if (attribute == "AXEnhancedUserInterface") {
    if (!app.facts.enhancedUI) return AXError::attributeUnsupported;
    value = *app.facts.enhancedUI;
    return AXError::success;
  }
  if (attribute == "AXTitle") {
    if (!app.facts.name) return AXError::noValue;
    value = *app.facts.name;
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimDesktop::readWindow(const Window& w, std::string_view attribute, AttributeValue& value) {
  const SceneWindow& s = w.facts;
  if (s.failRead.count(attribute)) return AXError::failure;
  // A fact the scene may leave without a value.
  const auto fact = [&value](const auto& v) {
    if (!v) return AXError::noValue;
    value = *v;
    return AXError::success;
  };
  if (attribute == "AXRole") return fact(s.role);
  if (attribute == "AXSubrole") return fact(s.subrole);
  if (attribute == "AXTitle") return fact(s.title);
  if (attribute == "AXMinimized") return fact(s.minimized);
  if (attribute == "AXFullScreen") return fact(s.fullScreen);
  if (attribute == "AXPosition") {
    value = s.positionValue == ValueShape::number ? AttributeValue{w.frame.x}
                                                  : AttributeValue{w.frame.origin()};
    return AXError::success;
  }
  if (attribute == "AXSize") {
    value = s.sizeValue == ValueShape::number ? AttributeValue{w.frame.width}
                                              : AttributeValue{w.frame.size()};
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimDesktop::setAttributeValue(const ElementRef& element, std::string_view attribute,
                                      const AttributeValue& value) {
  const double arrived = clock_.now();
  settle();
  const Target target = resolve(element);
  AXError result = target.error;
  if (result == AXError::success) {
    result = target.window ? writeWindow(*target.window, attribute, value)
                           : writeApp(*target.app, attribute, value);
  }
  record(SimCallKind::setAttributeValue, describeElement(element), std::string(attribute), value,
         result, arrived);
  return result;
}

AXError SimDesktop::writeApp(App& app, std::string_view attribute, const AttributeValue& value) {
  if (attribute != "AXEnhancedUserInterface" || !app.facts.enhancedUI) {
    return AXError::attributeUnsupported;
  }
  if (app.facts.failWrite.count(attribute)) return AXError::failure;
  const bool* flag = std::get_if<bool>(&value);
  if (!flag) return AXError::illegalArgument;
  app.facts.enhancedUI = *flag;
  return AXError::success;
}

AXError SimDesktop::writeWindow(Window& w, std::string_view attribute,
                                const AttributeValue& value) {
  if (w.facts.vanishes) {
    w.gone = true;
    w.pending.clear();
    return AXError::invalidUIElement;
  }
  if (attribute != "AXPosition" && attribute != "AXSize") return AXError::attributeUnsupported;
  if (w.facts.failWrite.count(attribute)) return AXError::failure;
  const bool fits = attribute == "AXPosition" ? std::holds_alternative<Point>(value)
                                              : std::holds_alternative<Size>(value);
  if (!fits || !finite(value)) return AXError::illegalArgument;
  if (w.facts.ignoresWrites) return AXError::success;
  if (w.facts.writeDelay > 0) {
    w.pending.push_back({clock_.now() + w.facts.writeDelay, std::string(attribute), value});
  } else {
    applyWrite(w, attribute, value);
  }
  return AXError::success;
}

void SimDesktop::applyWrite(Window& w, std::string_view attribute, const AttributeValue& value) {
  if (attribute == "AXPosition") {
    const Point p = std::get<Point>(value);
    w.frame.x = p.x;
    w.frame.y = p.y;
    return;
  }
  const Size s = std::get<Size>(value);
  const Size least = w.facts.minSize.value_or(Size{});
  w.frame.width = std::max(s.width, least.width);
  w.frame.height = std::max(s.height, least.height);
}

std::optional<AttributeValue> SimDesktop::createValue(Point point) {
  const bool fails = scene_.pointBoxingFails;
  record(SimCallKind::createValue, {}, "point", point, fails ? AXError::failure : AXError::success);
  if (fails) return std::nullopt;
  return AttributeValue{point};
}

std::optional<AttributeValue> SimDesktop::createValue(Size size) {
  const bool fails = scene_.sizeBoxingFails;
  record(SimCallKind::createValue, {}, "size", size, fails ? AXError::failure : AXError::success);
  if (fails) return std::nullopt;
  return AttributeValue{size};
}

bool SimDesktop::isProcessTrusted(bool prompt) {
  record(SimCallKind::isProcessTrusted, {}, {}, prompt);
  return trusted();
}

// Workspace --------------------------------------------------------------------------------

RunningApplication SimDesktop::describeApp(const App& app) const {
  return RunningApplication{app.facts.pid, app.facts.policy, app.facts.bundleID, app.facts.name,
                            app.facts.hidden};
}

std::vector<RunningApplication> SimDesktop::runningApps() {
  settle();
  std::vector<RunningApplication> result;
  for (const App& app : apps_) {
    if (app.running) result.push_back(describeApp(app));
  }
  return result;
}

std::vector<RunningApplication> SimDesktop::runningApplications() {
  record(SimCallKind::runningApplications);
  return runningApps();
}

std::optional<RunningApplication> SimDesktop::frontmostApplication() {
  record(SimCallKind::frontmostApplication);
  settle();
  if (!frontmost_) return std::nullopt;
  const App* app = runningApp(*frontmost_);
  if (!app) return std::nullopt;
  return describeApp(*app);
}

std::optional<std::string> SimDesktop::urlForApplication(std::string_view bundleIdentifier) {
  std::optional<std::string> url;
  for (const SceneInstalled& entry : scene_.installed) {
    if (entry.app.bundleID == bundleIdentifier) url = location(entry);
  }
  record(SimCallKind::urlForApplication, {}, std::string(bundleIdentifier),
         url ? AttributeValue{*url} : AttributeValue{});
  return url;
}

void SimDesktop::openApplication(std::string_view url) {
  record(SimCallKind::openApplication, {}, std::string(url));
  settle();
  for (std::size_t i = 0; i < scene_.installed.size(); ++i) {
    if (location(scene_.installed[i]) != url) continue;
    for (const App& app : apps_) {
      if (app.running && app.installed == i) return;  // opening a running one shows it
    }
    for (const Launch& l : launches_) {
      if (l.installed == i) return;
    }
    const Launch launch{clock_.now() + scene_.installed[i].launchDelay, i, freshPid()};
    // Kept in due order, ties in the order asked for, so the due ones are always in front.
    const auto after =
        std::upper_bound(launches_.begin(), launches_.end(), launch.due,
                         [](double due, const Launch& queued) { return due < queued.due; });
    launches_.insert(after, launch);
    return;
  }
}

void SimDesktop::openURL(std::string_view url) {
  record(SimCallKind::openURL, {}, std::string(url));
}

std::int32_t SimDesktop::currentProcessIdentifier() {
  record(SimCallKind::currentProcessIdentifier);
  return scene_.self;
}

// Screens ----------------------------------------------------------------------------------

std::vector<Screen> SimDesktop::screens() {
  record(SimCallKind::screens);
  return screens_;
}

Point SimDesktop::mouseLocation() {
  record(SimCallKind::mouseLocation);
  return mouse_;
}

// Test accessors ---------------------------------------------------------------------------

std::optional<Rect> SimDesktop::windowFrame(std::int32_t pid, std::size_t index) {
  const Window* w = window(pid, index);
  if (!w) return std::nullopt;
  return w->frame;
}

ElementRef SimDesktop::windowElement(std::int32_t pid, std::size_t index) {
  const Window* w = window(pid, index);
  return w ? w->element : nullptr;
}

bool SimDesktop::setWindowFrame(std::int32_t pid, std::size_t index, const Rect& frame) {
  Window* w = window(pid, index);
  if (!w) return false;
  w->pending.clear();
  w->frame = frame;
  return true;
}

bool SimDesktop::closeWindow(std::int32_t pid, std::size_t index) {
  Window* w = window(pid, index);
  if (!w) return false;
  w->gone = true;
  w->pending.clear();
  return true;
}

bool SimDesktop::quitApplication(std::int32_t pid) {
  settle();
  App* app = runningApp(pid);
  if (!app) return false;
  app->running = false;
  return true;
}

std::optional<bool> SimDesktop::enhancedUserInterface(std::int32_t pid) {
  settle();
  const App* app = runningApp(pid);
  return app ? app->facts.enhancedUI : std::nullopt;
}

std::size_t SimDesktop::pendingLaunches() {
  settle();
  return launches_.size();
}

}  // namespace tessaloom::platform
