#include "platform/i3ipc/i3_desktop.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/language.h"
#include "platform/i3ipc/i3_event_watch.h"
#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"
#include "platform/xdg/desktop_entries.h"

namespace tessaloom::platform {
namespace {

using nlohmann::json;

std::string pixels(double value) {
  return std::to_string(static_cast<long long>(std::lround(value)));
}

std::string conSelector(WindowHandle con) {
  return "[con_id=" + std::to_string(con) + "] ";
}

// What the request of `type` is called in a failure line.
const char* requestName(std::uint32_t type) {
  switch (type) {
    case i3ipc::kGetWorkspaces:
      return "GET_WORKSPACES";
    case i3ipc::kGetOutputs:
      return "GET_OUTPUTS";
    case i3ipc::kGetTree:
      return "GET_TREE";
    case i3ipc::kGetVersion:
      return "GET_VERSION";
    default:
      return "a request";
  }
}

// Whether a reply has the shape every reply of its type has: the tree and the version are
// objects, the workspaces and the outputs lists of objects.
bool shapedAs(std::uint32_t type, const json& reply) {
  if (type == i3ipc::kGetWorkspaces || type == i3ipc::kGetOutputs)
    return reply.is_array() && std::ranges::all_of(reply, &json::is_object);
  return reply.is_object();
}

std::string joined(const std::vector<std::string>& commands) {
  std::string all;
  for (const std::string& c : commands) all += (all.empty() ? "" : "; ") + c;
  return all;
}

xdg::WindowClassHints hintsOf(const i3ipc::TreeWindow& w) {
  // A native window's app id plays the part of both the GTK application id and the class.
  if (!w.appId.empty()) return {w.appId, "", w.appId};
  return {"", w.instance, w.wmClass};
}

}  // namespace

I3Desktop::~I3Desktop() = default;

Result<std::unique_ptr<I3Desktop>> I3Desktop::connect(const std::string& path, X11Pids pids) {
  auto socket = i3ipc::IpcSocket::connect(path, "the window manager");
  if (!socket) return Failure{socket.error()};
  std::unique_ptr<I3Desktop> desktop(new I3Desktop());
  desktop->socket_ = std::move(*socket);
  desktop->path_ = path;
  desktop->x11Pids_ = std::move(pids);
  const auto version = desktop->fetch(i3ipc::kGetVersion);
  if (!version)
    return Failure{desktop->alive() ? path + " does not answer as sway or i3 do"
                                    : desktop->lostMessage()};
  const bool sway = i3ipc::isSway(*version);
  desktop->flavour_ = sway ? i3ipc::Flavour::sway : i3ipc::Flavour::i3;
  desktop->name_ = sway ? "sway" : "i3";
  return desktop;
}

bool I3Desktop::alive() const {
  return socket_->alive();
}

std::shared_ptr<void> I3Desktop::watchMonitors(std::function<void()> changed) {
  // sway before 1.8 has no output events; it creates and moves workspaces as outputs come and
  // go, and the follower reads the monitors anew after each.
  auto watch = i3ipc::EventWatch::open(path_, R"(["output"])",
                                       [changed](std::uint32_t, const std::string&) { changed(); });
  if (!watch)
    watch = i3ipc::EventWatch::open(path_, R"(["workspace"])",
                                    [changed](std::uint32_t, const std::string&) { changed(); });
  if (!watch) {
    std::fprintf(stderr, "%s\n",
                 language::format(language::tr("%s のモニターの変化を受け取れません（%s）"),
                                  name_.c_str(), watch.error().c_str())
                     .c_str());
    return nullptr;
  }
  return std::shared_ptr<i3ipc::EventWatch>(std::move(*watch));
}

std::optional<std::string> I3Desktop::trouble() const {
  if (!alive()) return lostMessage();
  return refused_;
}

void I3Desktop::refuse(std::uint32_t type, const std::string& why) {
  if (!refused_) refused_ = name_ + "'s reply to " + requestName(type) + " " + why;
}

std::string I3Desktop::lostMessage() const {
  return socket_->lostMessage();
}

std::optional<json> I3Desktop::fetch(std::uint32_t type) {
  auto reply = socket_->request(type);
  if (!reply) return std::nullopt;
  std::string why;
  if (auto parsed = i3ipc::readReply(*reply, why)) {
    if (shapedAs(type, *parsed)) {
      json value = std::move(*parsed);
      return value;
    }
    why = "has the wrong shape";
  }
  refuse(type, why);
  return std::nullopt;
}

std::optional<std::vector<i3ipc::TreeWindow>> I3Desktop::fetchWindows(
    const std::set<std::uint64_t>* visible) {
  const auto tree = fetch(i3ipc::kGetTree);
  if (!tree) return std::nullopt;
  auto found = i3ipc::treeWindows(*tree, flavour_, visible);
  if (!found) refuse(i3ipc::kGetTree, "holds a malformed container");
  return found;
}

std::vector<Screen> I3Desktop::fetchScreens() {
  const auto outputs = fetch(i3ipc::kGetOutputs);
  const auto workspaces = fetch(i3ipc::kGetWorkspaces);
  if (!outputs || !workspaces) return {};
  return screensOf(*outputs, *workspaces);
}

std::vector<Screen> I3Desktop::screensOf(const json& outputs, const json& workspaces) {
  auto screens = i3ipc::outputScreens(outputs, workspaces);
  if (!screens.empty()) origin_ = screens.front().frame.origin();
  return screens;
}

Rect I3Desktop::toGlobal(Rect r) const {
  const Point o = origin_.value_or(Point{});
  return {r.x - o.x, r.y - o.y, r.width, r.height};
}

Point I3Desktop::toGlobal(Point p) const {
  const Point o = origin_.value_or(Point{});
  return {p.x - o.x, p.y - o.y};
}

bool I3Desktop::readWindows() {
  auto windows = fetchWindows(nullptr);
  if (!windows) return false;
  windows_.clear();
  for (auto& w : *windows) windows_[w.con] = std::move(w);
  return true;
}

std::vector<Screen> I3Desktop::toGlobal(std::vector<Screen> screens) const {
  for (Screen& s : screens) {
    s.frame = toGlobal(s.frame);
    s.usable = toGlobal(s.usable);
  }
  return screens;
}

DesktopFacts I3Desktop::snapshot() {
  windows_.clear();
  const auto workspaces = fetch(i3ipc::kGetWorkspaces);
  if (!workspaces) return {};
  const auto visible = i3ipc::visibleWorkspaces(*workspaces);
  auto windows = fetchWindows(&visible);
  const auto outputs = fetch(i3ipc::kGetOutputs);
  if (!windows || !outputs) return {};
  // Outputs may have come or gone since the last look.
  DesktopFacts found;
  found.screens = toGlobal(screensOf(*outputs, *workspaces));
  if (const auto centre = i3ipc::focusedOutputCentre(*outputs, *workspaces))
    found.pointer = toGlobal(*centre);
  const auto self = static_cast<std::uint32_t>(::getpid());
  const auto& entries = xdg::DesktopEntryIndex::installed();
  auto& all = *windows;
  // i3 leaves process ids out of its tree: X has them.
  if (flavour_ == i3ipc::Flavour::i3 && x11Pids_) {
    std::vector<std::uint32_t> x11Windows;
    for (const auto& w : all)
      if (w.x11Window) x11Windows.push_back(w.x11Window);
    const auto pids = x11Pids_(x11Windows);
    for (auto& w : all)
      if (auto it = pids.find(w.x11Window); !w.pid && it != pids.end()) w.pid = it->second;
  }
  for (auto& w : all) {
    if (w.pid == self) continue;
    AppIdentity app = xdg::identifyApplication(entries, hintsOf(w));
    app.processId = w.pid;
    found.windows.push_back({w.con,
                             w.title,
                             toGlobal(w.frame),
                             w.standard,
                             false,
                             w.fullScreen,
                             !w.floating,
                             {},
                             std::move(app),
                             w.focused,
                             w.hidden});
    windows_[w.con] = std::move(w);
  }
  return found;
}

std::vector<std::optional<Rect>> I3Desktop::frames(std::span<const WindowHandle> handles) {
  std::vector<std::optional<Rect>> frames(handles.size());
  std::this_thread::sleep_until(floatedAt_ + kFloatAnswer);
  if (!readWindows()) return frames;
  for (std::size_t i = 0; i < handles.size(); ++i)
    if (auto it = windows_.find(handles[i]); it != windows_.end())
      frames[i] = toGlobal(it->second.frame);
  return frames;
}

bool I3Desktop::settle() {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + milliseconds(kSettleMilliseconds);
  std::optional<std::vector<i3ipc::TreeWindow>> last;
  while (steady_clock::now() < deadline) {
    auto now = fetchWindows(nullptr);
    if (!now) return false;
    if (last && *last == *now) return true;
    last = std::move(*now);
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

void I3Desktop::place(std::span<const Placement> placements) {
  if (!alive() || placements.empty()) return;
  const bool known = std::ranges::all_of(
      placements, [this](const Placement& p) { return windows_.contains(p.window); });
  if (!known && !readWindows()) return;
  if (!origin_) fetchScreens();
  const auto& current = windows_;
  std::vector<std::string> prepare;
  std::vector<std::string> moves;
  std::vector<const Placement*> retile;
  const Point o = origin_.value_or(Point{});
  for (const Placement& p : placements) {
    auto it = current.find(p.window);
    if (it == current.end()) continue;
    const std::string con = conSelector(p.window);
    // Back into the layout, which gives it its frame.
    if (p.tile) {
      if (it->second.floating) retile.push_back(&p);
      continue;
    }
    if (p.frame.width < 1 || p.frame.height < 1) continue;
    // Floated, sized and moved in one command: the client's first configure is its last, and
    // a browser does not take the size it floated at for the one it is given.
    if (!it->second.floating && flavour_ == i3ipc::Flavour::sway)
      floatedAt_ = std::chrono::steady_clock::now();
    moves.push_back(con + (it->second.fullScreen ? "fullscreen disable, " : "") +
                    (it->second.floating ? "" : "floating enable, ") + "resize set width " +
                    pixels(p.frame.width) + " px height " + pixels(p.frame.height) +
                    " px, move absolute position " + pixels(p.frame.x + o.x) + " " +
                    pixels(p.frame.y + o.y));
  }
  // A window goes back into the layout after the one focused last: in their old order, left to
  // right and top to bottom, each focused in turn, they take their old places; then the focus
  // goes back where it was.
  std::stable_sort(retile.begin(), retile.end(), [](const Placement* a, const Placement* b) {
    return std::pair(a->frame.x, a->frame.y) < std::pair(b->frame.x, b->frame.y);
  });
  for (const Placement* p : retile) {
    prepare.push_back(conSelector(p->window) + "floating disable");
    prepare.push_back(conSelector(p->window) + "focus");
  }
  if (!retile.empty())
    for (const auto& [con, w] : current)
      if (w.focused) prepare.push_back(conSelector(con) + "focus");
  // Windows going back into the layout re-tile the rest: that settles before any is moved.
  if (!prepare.empty()) {
    if (!socket_->request(i3ipc::kRunCommand, joined(prepare))) return;
    if (!settle()) return;
  }
  // Not waited for: the window manager moves the windows while the caller lets them settle.
  if (!moves.empty()) (void)socket_->post(i3ipc::kRunCommand, joined(moves));
}

double I3Desktop::unsettledFor() {
  using namespace std::chrono;
  const auto left = floatedAt_ + kFloatWatch - steady_clock::now();
  return std::max(0.0, duration<double>(left).count());
}

std::vector<Screen> I3Desktop::screens() {
  return toGlobal(fetchScreens());
}

Point I3Desktop::pointer() {
  const auto outputs = fetch(i3ipc::kGetOutputs);
  const auto workspaces = fetch(i3ipc::kGetWorkspaces);
  if (!outputs || !workspaces) return {};
  if (!origin_) screensOf(*outputs, *workspaces);
  const auto centre = i3ipc::focusedOutputCentre(*outputs, *workspaces);
  if (!centre) return {};
  return toGlobal(*centre);
}

bool I3Desktop::launch(std::string_view id) {
  const auto path = xdg::desktopEntryPath(id);
  // The program's own environment already names the session's display.
  return path && xdg::launchDesktopEntry(*path, "");
}

}  // namespace tessaloom::platform
