#include "platform/x11/x11_desktop.h"

#include <unistd.h>

#include <cstdio>
#include <limits>

#include "base/language.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_monitor_watch.h"
#include "platform/x11/x11_properties.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_window_cache.h"
#include "platform/x11/x11_window_moves.h"
#include "platform/xdg/desktop_entries.h"

namespace tessaloom::platform {
namespace {

// How long a placement waits for the manager to take windows out of the maximized state.
constexpr auto kLeaveStatesWait = std::chrono::milliseconds(500);

// The window _NET_SUPPORTING_WM_CHECK names on `window`, or none.
xcb_window_t supportingCheck(x11::Connection& c, xcb_window_t window) {
  auto cookie = xcb_get_property(c.raw(), 0, window, c.ewmh()._NET_SUPPORTING_WM_CHECK,
                                 XCB_ATOM_WINDOW, 0, 1);
  x11::ReplyBatch batch(c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  const auto named = x11::longsOf(reply.get());
  return named.empty() ? xcb_window_t{XCB_WINDOW_NONE} : named[0];
}

Rect moved(const Rect& r, double dx, double dy) {
  return {r.x + dx, r.y + dy, r.width, r.height};
}

}  // namespace

X11Desktop::X11Desktop() = default;
X11Desktop::~X11Desktop() = default;

Result<std::unique_ptr<X11Desktop>> X11Desktop::connect(const std::string& display) {
  std::string error;
  auto connection = x11::Connection::open(display, error);
  if (!connection) return Failure{error};
  // An EWMH manager names a child window that names itself.
  const xcb_window_t check = supportingCheck(*connection, connection->root());
  if (check == XCB_WINDOW_NONE || supportingCheck(*connection, check) != check) {
    const std::string& name = connection->displayName();
    if (!connection->alive()) return Failure{"lost the connection to the X server at " + name};
    // A server that stops answering after the handshake tells nothing about its manager.
    if (connection->missedDeadline())
      return Failure{"the X server at " + name + " does not answer"};
    return Failure{"no EWMH window manager is running on " + name};
  }
  std::unique_ptr<X11Desktop> desktop(new X11Desktop());
  desktop->connection_ = std::move(connection);
  desktop->cache_ = std::make_unique<x11::WindowCache>(*desktop->connection_);
  return desktop;
}

DesktopFacts X11Desktop::snapshot() {
  // The installed applications are read while the server answers for the windows.
  cache_->refresh([] { (void)xdg::DesktopEntryIndex::installed(); });
  if (!cache_->ok()) return {};
  const auto& root = cache_->root();
  const auto shown = [&](xcb_window_t id) {
    const x11::WindowFacts* w = cache_->window(id);
    return w && x11::isApplicationWindow(*w) && x11::onDesktop(*w, root.currentDesktop);
  };
  // The active window has the focus; without one, the topmost window shown here.
  xcb_window_t focused = shown(root.active) ? root.active : xcb_window_t{XCB_WINDOW_NONE};
  for (auto it = root.stacking.rbegin(); !focused && it != root.stacking.rend(); ++it)
    if (shown(*it)) focused = *it;
  DesktopFacts found;
  const auto& entries = xdg::DesktopEntryIndex::installed();
  const auto self = static_cast<std::uint32_t>(::getpid());
  const Point origin = cache_->origin();
  for (const x11::WindowFacts& w : cache_->windows()) {
    if (w.status != x11::WindowFacts::Status::ok || !x11::isApplicationWindow(w) || w.pid == self)
      continue;
    const auto identity =
        xdg::identifyApplication(entries, {w.gtkApplicationId, w.instance, w.wmClass});
    found.windows.push_back({w.id,
                             w.title.value_or(""),
                             moved(w.frame, -origin.x, -origin.y),
                             x11::isStandard(w),
                             w.hidden,
                             w.fullscreen,
                             false,
                             w.minimum,
                             {identity.id, identity.name, w.pid},
                             w.id == focused,
                             !x11::onDesktop(w, root.currentDesktop)});
  }
  found.screens = x11::screensOf(*connection_, root, cache_->windows());
  return found;
}

std::vector<std::optional<Rect>> X11Desktop::frames(std::span<const WindowHandle> handles) {
  std::vector<std::optional<Rect>> frames(handles.size());
  std::vector<xcb_window_t> ids;
  for (const WindowHandle h : handles)
    ids.push_back(h <= std::numeric_limits<xcb_window_t>::max() ? static_cast<xcb_window_t>(h)
                                                                : xcb_window_t{XCB_WINDOW_NONE});
  const Point origin = cache_->origin();
  const auto facts = cache_->fetch(ids);
  for (std::size_t i = 0; i < facts.size(); ++i)
    if (ids[i] != XCB_WINDOW_NONE && facts[i].status == x11::WindowFacts::Status::ok)
      frames[i] = moved(facts[i].frame, -origin.x, -origin.y);
  return frames;
}

void X11Desktop::place(std::span<const Placement> placements) {
  auto& c = *connection_;
  if (!c.alive() || placements.empty()) return;
  const Point origin = cache_->origin();
  std::vector<xcb_window_t> ids;
  std::vector<Rect> targets;  // root coordinates
  for (const Placement& p : placements) {
    if (p.window == 0 || p.window > std::numeric_limits<xcb_window_t>::max()) continue;
    ids.push_back(static_cast<xcb_window_t>(p.window));
    targets.push_back(moved(p.frame, origin.x, origin.y));
  }
  auto facts = cache_->current(ids);
  auto movable = [&](std::size_t i) {
    return facts[i].status == x11::WindowFacts::Status::ok &&
           x11::frameRequest(targets[i], facts[i].extents).has_value();
  };
  // Managers drop moves of maximized windows, and the extents change with the state.
  std::vector<x11::WindowFacts> inState;
  for (std::size_t i = 0; i < facts.size(); ++i)
    if (movable(i) && (facts[i].maximized || facts[i].fullscreen)) inState.push_back(facts[i]);
  if (!inState.empty()) {
    x11::leaveStates(c, inState, x11::Clock::now() + kLeaveStatesWait);
    std::vector<xcb_window_t> again;
    for (const auto& f : inState) again.push_back(f.id);
    for (auto& fresh : cache_->fetch(again))
      for (auto& f : facts)
        if (f.id == fresh.id) f = fresh;
  }
  for (std::size_t i = 0; i < facts.size(); ++i) {
    if (facts[i].status != x11::WindowFacts::Status::ok) continue;
    const auto request = x11::frameRequest(targets[i], facts[i].extents);
    if (!request) continue;
    x11::requestFrame(c, ids[i], *request);
    cache_->markStale(ids[i]);
  }
  c.flush();
}

std::shared_ptr<void> X11Desktop::watchMonitors(std::function<void()> changed) {
  auto watch = x11::MonitorWatch::open(connection_->displayName(), std::move(changed));
  if (!watch) {
    std::fprintf(stderr, "%s\n",
                 language::format(language::tr("モニターの変化を受け取れません（%s）"),
                                  watch.error().c_str())
                     .c_str());
    return nullptr;
  }
  return std::shared_ptr<x11::MonitorWatch>(std::move(*watch));
}

std::vector<Screen> X11Desktop::screens() {
  cache_->refresh();
  return x11::screensOf(*connection_, cache_->root(), cache_->windows());
}

Point X11Desktop::pointer() {
  return x11::fetchPointer(*connection_).value_or(Point{});
}

bool X11Desktop::launch(std::string_view id) {
  const auto path = xdg::desktopEntryPath(id);
  return path && xdg::launchDesktopEntry(*path, connection_->displayName());
}

std::optional<std::string> X11Desktop::i3SocketPath() {
  x11::Connection& c = *connection_;
  const xcb_atom_t atom = c.atoms().i3SocketPath;
  if (atom == XCB_ATOM_NONE || !c.alive()) return std::nullopt;
  auto cookie = xcb_get_property(c.raw(), 0, c.root(), atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
  x11::ReplyBatch batch(c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  const std::string_view path = x11::bytesOf(reply.get());
  if (path.empty()) return std::nullopt;
  return std::string(path);
}

std::string X11Desktop::windowManagerName() {
  x11::Connection& c = *connection_;
  const xcb_window_t check = supportingCheck(c, c.root());
  if (check == XCB_WINDOW_NONE || !c.alive()) return {};
  auto cookie =
      xcb_get_property(c.raw(), 0, check, c.ewmh()._NET_WM_NAME, c.ewmh().UTF8_STRING, 0, 64);
  x11::ReplyBatch batch(c);
  auto reply = batch.take<xcb_get_property_reply_t>(cookie);
  return std::string(x11::bytesOf(reply.get()));
}

bool X11Desktop::alive() const {
  return connection_->alive();
}

std::optional<std::string> X11Desktop::trouble() const {
  const std::string& name = connection_->displayName();
  if (!connection_->alive()) return "lost the connection to the X server at " + name;
  if (connection_->missedDeadline()) return "the X server at " + name + " does not answer";
  return std::nullopt;
}

x11::WindowCache& X11Desktop::windowCache() {
  return *cache_;
}

x11::Connection& X11Desktop::connection() {
  return *connection_;
}

}  // namespace tessaloom::platform
