#include "platform/sim/sim_desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/files.h"

namespace tessaloom::platform {
namespace {

std::int32_t pidOf(WindowHandle handle) {
  return static_cast<std::int32_t>(handle >> 16);
}

std::size_t indexOf(WindowHandle handle) {
  return static_cast<std::size_t>(handle & 0xffff);
}

bool finite(Point p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

bool finite(Size s) {
  return std::isfinite(s.width) && std::isfinite(s.height);
}

/// Closes a descriptor when it goes.
struct OpenFile {
  explicit OpenFile(int f) : fd(f) {}
  int fd;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() { ::close(fd); }
};

/// Whether the window's position and size can be read at all.
bool readable(const SceneWindow& w) {
  return !w.failRead.count("AXPosition") && !w.failRead.count("AXSize") &&
         w.positionValue == ValueShape::boxed && w.sizeValue == ValueShape::boxed;
}

}  // namespace

SimDesktop::SimDesktop(Scene scene, MainQueue& clock)
    : scene_(std::move(scene)),
      clock_(clock),
      trusted_(scene_.trusted),
      trustedAt_(scene_.trustedAt),
      screens_(scene_.screens),
      pointer_(scene_.mouse),
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
  for (const SceneWindow& w : facts.windows)
    app.windows.push_back(Window{w, w.frame, w.tiled, false, {}});
  return app;
}

Result<std::unique_ptr<SimDesktop>> SimDesktop::fromJson(std::string_view text, MainQueue& clock,
                                                         std::string_view name) {
  Result<Scene> scene = readScene(text, name);
  if (!scene) return Failure{scene.error()};
  return std::unique_ptr<SimDesktop>(new SimDesktop(std::move(*scene), clock));
}

Result<std::unique_ptr<SimDesktop>> SimDesktop::loadFile(const std::string& path,
                                                         MainQueue& clock) {
  const auto refused = [&path](const std::string& reason) {
    return Failure{path + ": cannot be read (" + reason + ")"};
  };
  // Non-blocking, so that naming a FIFO without a writer cannot hang the open; only regular
  // files are read, so a device or a pipe cannot feed data without end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refused(std::strerror(errno));
  const OpenFile closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return refused(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return refused(std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) return refused("not a regular file");
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refused(std::strerror(errno));
    if (n == 0) break;
    // The file may grow while it is read, so the limit applies to what was read.
    if (text.size() + static_cast<std::size_t>(n) > kMaxSceneBytes) {
      return refused("larger than 16 MiB");
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return fromJson(text, clock, path);
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
      if (w.tiled != w.facts.tiled) appJson["windows"][i]["tiled"] = w.tiled;
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

Outcome SimDesktop::saveFile(const std::string& path) const {
  const Outcome written = files::replaceFile(path, toJson());
  if (written) return written;
  // The reason comes last in the line, after the file it concerns.
  const std::string& line = written.error();
  const std::size_t colon = line.rfind(": ");
  const std::string reason = colon == std::string::npos ? line : line.substr(colon + 2);
  return Failure{path + ": cannot be written (" + reason + ")"};
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
        apply(w, first->origin, first->size);
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

SimDesktop::Window* SimDesktop::window(WindowHandle handle) {
  return window(pidOf(handle), indexOf(handle));
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

std::string SimDesktop::label(WindowHandle handle) const {
  for (const App& app : apps_) {
    if (app.facts.pid == pidOf(handle) && indexOf(handle) < app.windows.size()) {
      return std::to_string(pidOf(handle)) + "/" + std::to_string(indexOf(handle));
    }
  }
  return "?";
}

void SimDesktop::record(SimCallKind kind, std::string argument) {
  log_.add(SimCall{kind, clock_.now(), std::move(argument)});
}

void SimDesktop::apply(Window& w, const std::optional<Point>& origin,
                       const std::optional<Size>& size) {
  if (origin) {
    w.frame.x = origin->x;
    w.frame.y = origin->y;
  }
  if (size) {
    const Size least = w.facts.minSize.value_or(Size{});
    w.frame.width = std::max(size->width, least.width);
    w.frame.height = std::max(size->height, least.height);
  }
}

// The window seam -------------------------------------------------------------------------

DesktopFacts SimDesktop::snapshot() {
  DesktopFacts facts;
  for (AppFacts& app : applications()) {
    AppIdentity identity{std::move(app.id), std::move(app.name),
                         static_cast<std::uint32_t>(app.pid)};
    auto windows = this->windows(app.pid);
    if (!windows || windows->empty()) {
      facts.windowless.push_back(std::move(identity));
      continue;
    }
    for (auto& window : *windows) {
      window.app = identity;
      window.focused = app.frontmost && &window == &windows->front();
      facts.windows.push_back(std::move(window));
    }
  }
  facts.screens = screens();
  return facts;
}

std::vector<AppFacts> SimDesktop::applications() {
  record(SimCallKind::applications);
  settle();
  std::vector<AppFacts> result;
  for (const App& app : apps_) {
    const SceneApp& f = app.facts;
    if (!app.running || f.policy != AppPolicy::regular || f.pid == scene_.self) continue;
    result.push_back(
        AppFacts{f.bundleID.value_or(""), f.name.value_or(""), f.pid, frontmost_ == f.pid});
  }
  return result;
}

std::optional<std::vector<WindowFacts>> SimDesktop::windows(std::int32_t pid) {
  record(SimCallKind::windows, std::to_string(pid));
  settle();
  App* app = runningApp(pid);
  if (!trusted() || !app) return std::nullopt;
  if (app->facts.unresponsive) {
    clock_.sleep(kAnswerTimeout);
    return std::nullopt;
  }
  if (app->facts.failRead.count("AXWindows") || app->facts.windowsValue != WindowsShape::elements) {
    return std::nullopt;
  }
  std::vector<WindowFacts> result;
  for (std::size_t i = 0; i < app->windows.size(); ++i) {
    const Window& w = app->windows[i];
    const SceneWindow& f = w.facts;
    if (w.gone || !readable(f)) continue;
    const auto has = [&f](const char* attribute, const auto& value, const auto& wanted) {
      return !f.failRead.count(attribute) && value == wanted;
    };
    WindowFacts facts;
    facts.handle = (static_cast<WindowHandle>(pid) << 16) | i;
    if (f.title && !f.failRead.count("AXTitle")) facts.title = *f.title;
    facts.frame = w.frame;
    facts.standard =
        has("AXRole", f.role, "AXWindow") && has("AXSubrole", f.subrole, "AXStandardWindow");
    facts.minimized = has("AXMinimized", f.minimized, true);
    facts.fullScreen = has("AXFullScreen", f.fullScreen, true);
    facts.tiled = w.tiled;
    if (!f.failRead.count("AXMinimumSize")) facts.minimum = f.minSize.value_or(Size{});
    result.push_back(std::move(facts));
  }
  return result;
}

std::vector<std::optional<Rect>> SimDesktop::frames(std::span<const WindowHandle> handles) {
  std::string asked;
  std::vector<std::optional<Rect>> result;
  settle();
  for (const WindowHandle handle : handles) {
    asked += (asked.empty() ? "" : " ") + label(handle);
    const Window* w = window(handle);
    const bool answers = w && !runningApp(pidOf(handle))->facts.unresponsive;
    if (trusted() && answers && readable(w->facts)) {
      result.push_back(w->frame);
    } else {
      result.push_back(std::nullopt);
    }
  }
  record(SimCallKind::frames, std::move(asked));
  return result;
}

void SimDesktop::place(std::span<const Placement> placements) {
  for (const Placement& p : placements) placeOne(p);
}

void SimDesktop::placeOne(const Placement& placement) {
  Window* w = window(placement.window);
  record(SimCallKind::place, label(placement.window) + " " + describe(placement.frame) +
                                 (placement.tile ? " tiled" : ""));
  if (!w || !trusted() || runningApp(pidOf(placement.window))->facts.unresponsive) return;
  const SceneWindow& f = w->facts;
  if (f.vanishes) {
    w->gone = true;
    w->pending.clear();
    return;
  }
  if (f.ignoresWrites) return;
  const bool floats = w->tiled && !placement.tile;
  if (floats) unsettledUntil_ = clock_.now() + kFloatWatch;
  w->tiled = placement.tile;
  std::optional<Point> origin = placement.frame.origin();
  std::optional<Size> size = placement.frame.size();
  if (f.failWrite.count("AXPosition") || scene_.pointBoxingFails || !finite(*origin)) {
    origin.reset();
  }
  if (f.failWrite.count("AXSize") || scene_.sizeBoxingFails || !finite(*size)) size.reset();
  if (f.writeDelay > 0) {
    w->pending.push_back({clock_.now() + f.writeDelay, origin, size});
  } else if (floats && f.floatAnswer > 0 && size) {
    // Takes the size asked for; the least size comes with the client's answer.
    apply(*w, origin, std::nullopt);
    w->frame.width = size->width;
    w->frame.height = size->height;
    w->pending.push_back({clock_.now() + f.floatAnswer, std::nullopt, size});
  } else {
    apply(*w, origin, size);
  }
}

double SimDesktop::unsettledFor() {
  return std::max(0.0, unsettledUntil_ - clock_.now());
}

std::vector<Screen> SimDesktop::screens() {
  record(SimCallKind::screens);
  return screens_;
}

Point SimDesktop::pointer() {
  record(SimCallKind::pointer);
  return pointer_;
}

bool SimDesktop::launch(std::string_view id) {
  record(SimCallKind::launch, std::string(id));
  settle();
  for (std::size_t i = 0; i < scene_.installed.size(); ++i) {
    if (scene_.installed[i].app.bundleID != id) continue;
    for (const App& app : apps_) {
      if (app.running && app.installed == i) return true;  // launching a running one shows it
    }
    for (const Launch& l : launches_) {
      if (l.installed == i) return true;
    }
    const Launch launch{clock_.now() + scene_.installed[i].launchDelay, i, freshPid()};
    // Kept in due order, ties in the order asked for, so the due ones are always in front.
    const auto after =
        std::upper_bound(launches_.begin(), launches_.end(), launch.due,
                         [](double due, const Launch& queued) { return due < queued.due; });
    launches_.insert(after, launch);
    return true;
  }
  return false;
}

bool SimDesktop::controlAvailable() {
  record(SimCallKind::controlAvailable);
  return trusted();
}

void SimDesktop::requestControl() {
  record(SimCallKind::requestControl);
}

WindowHandle SimDesktop::windowHandle(std::int32_t pid, std::size_t index) {
  if (index > 0xffff || !window(pid, index)) return 0;
  return (static_cast<WindowHandle>(pid) << 16) | index;
}

// Test hooks --------------------------------------------------------------------------------

std::optional<Rect> SimDesktop::windowFrame(std::int32_t pid, std::size_t index) {
  const Window* w = window(pid, index);
  if (!w) return std::nullopt;
  return w->frame;
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

std::size_t SimDesktop::pendingLaunches() {
  settle();
  return launches_.size();
}

void SimDesktop::setScreens(std::vector<Screen> screens) {
  screens_ = std::move(screens);
  clock_.async([watchers = std::weak_ptr(monitorWatchers_)] {
    if (const auto list = watchers.lock())
      for (const auto& changed : std::vector(*list))
        if (changed) changed();
  });
}

std::shared_ptr<void> SimDesktop::watchMonitors(std::function<void()> changed) {
  monitorWatchers_->push_back(std::move(changed));
  return std::shared_ptr<void>(nullptr, [watchers = std::weak_ptr(monitorWatchers_),
                                         slot = monitorWatchers_->size() - 1](void*) {
    if (const auto list = watchers.lock()) (*list)[slot] = nullptr;
  });
}

}  // namespace tessaloom::platform
