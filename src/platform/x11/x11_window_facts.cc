#include "platform/x11/x11_window_facts.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <string_view>

#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_properties.h"
#include "platform/x11/x11_text.h"

namespace tessaloom::platform::x11 {
namespace {

constexpr std::uint32_t kTextLength = 1024;  // longs: titles up to 4 KiB
constexpr int kBadWindow = 3;
constexpr int kBadDrawable = 9;

xcb_get_property_cookie_t property(Connection& c, xcb_window_t window, xcb_atom_t name,
                                   xcb_atom_t type, std::uint32_t length) {
  return xcb_get_property(c.raw(), 0, window, name, type, 0, length);
}

std::optional<std::string> textOf(Connection& c, const xcb_get_property_reply_t* reply) {
  if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8) return std::nullopt;
  TextEncoding encoding = TextEncoding::latin1;
  if (reply->type == c.ewmh().UTF8_STRING)
    encoding = TextEncoding::utf8;
  else if (reply->type == c.atoms().compoundText)
    encoding = TextEncoding::compoundText;
  return decodeText(bytesOf(reply), encoding);
}

WindowType typeOf(Connection& c, const xcb_get_property_reply_t* reply) {
  const auto atoms = longsOf(reply);
  if (atoms.empty()) return WindowType::none;
  const auto& e = c.ewmh();
  // The first type the backend knows wins, as the client listed them by preference.
  for (const std::uint32_t atom : atoms) {
    if (atom == e._NET_WM_WINDOW_TYPE_NORMAL) return WindowType::normal;
    if (atom == e._NET_WM_WINDOW_TYPE_DIALOG) return WindowType::dialog;
    if (atom == e._NET_WM_WINDOW_TYPE_UTILITY) return WindowType::utility;
    if (atom == e._NET_WM_WINDOW_TYPE_TOOLBAR) return WindowType::toolbar;
    if (atom == e._NET_WM_WINDOW_TYPE_DOCK) return WindowType::dock;
    if (atom == e._NET_WM_WINDOW_TYPE_DESKTOP) return WindowType::desktop;
  }
  return WindowType::other;
}

// The requests of one window, sent together.
struct WindowCookies {
  xcb_get_property_cookie_t wmClass, gtkApplicationId, netName, wmName, pid, type, state, transient,
      extents, desktop, sizeHints;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t position;
};

WindowCookies send(Connection& c, xcb_window_t w) {
  const auto& e = c.ewmh();
  WindowCookies k;
  k.wmClass = property(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kTextLength);
  k.gtkApplicationId =
      property(c, w, c.atoms().gtkApplicationId, XCB_GET_PROPERTY_TYPE_ANY, kTextLength);
  // Any type: a reply of another type than asked for carries no bytes, and some clients set
  // _NET_WM_NAME as STRING.
  k.netName = property(c, w, e._NET_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLength);
  k.wmName = property(c, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLength);
  k.pid = property(c, w, e._NET_WM_PID, XCB_ATOM_CARDINAL, 1);
  k.type = property(c, w, e._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 64);
  k.state = property(c, w, e._NET_WM_STATE, XCB_ATOM_ATOM, 64);
  k.transient = property(c, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
  k.extents = property(c, w, e._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4);
  k.desktop = property(c, w, e._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1);
  k.sizeHints = property(c, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                         XCB_ICCCM_NUM_WM_SIZE_HINTS_ELEMENTS);
  k.geometry = xcb_get_geometry(c.raw(), w);
  k.position = xcb_translate_coordinates(c.raw(), w, c.root(), 0, 0);
  return k;
}

WindowFacts collect(Connection& c, ReplyBatch& batch, xcb_window_t w, const WindowCookies& k,
                    Size screen) {
  WindowFacts facts;
  facts.id = w;
  bool gone = false;
  auto take = [&](xcb_get_property_cookie_t cookie) {
    int code = 0;
    auto reply = batch.take<xcb_get_property_reply_t>(cookie, &code);
    if (code == kBadWindow || code == kBadDrawable) gone = true;
    return reply;
  };
  auto wmClass = take(k.wmClass);
  auto gtkApplicationId = take(k.gtkApplicationId);
  auto netName = take(k.netName);
  auto wmName = take(k.wmName);
  auto pid = take(k.pid);
  auto type = take(k.type);
  auto state = take(k.state);
  auto transient = take(k.transient);
  auto extents = take(k.extents);
  auto desktop = take(k.desktop);
  auto sizeHints = take(k.sizeHints);
  int code = 0;
  auto geometry = batch.take<xcb_get_geometry_reply_t>(k.geometry, &code);
  if (code == kBadWindow || code == kBadDrawable) gone = true;
  auto position = batch.take<xcb_translate_coordinates_reply_t>(k.position, &code);
  if (code == kBadWindow || code == kBadDrawable) gone = true;

  if (gone) {
    facts.status = WindowFacts::Status::gone;
    return facts;
  }
  if (!geometry || !position) return facts;  // unreadable

  const std::string_view classBytes = bytesOf(wmClass.get());
  const auto split = classBytes.find('\0');
  facts.instance = decodeText(classBytes.substr(0, split), TextEncoding::latin1);
  if (split != std::string_view::npos)
    facts.wmClass = decodeText(classBytes.substr(split + 1), TextEncoding::latin1);
  if (auto id = textOf(c, gtkApplicationId.get())) facts.gtkApplicationId = *id;
  facts.title = textOf(c, netName.get());
  if (!facts.title) facts.title = textOf(c, wmName.get());
  if (const auto p = longsOf(pid.get()); !p.empty()) facts.pid = p[0];
  if (const auto d = longsOf(desktop.get()); !d.empty()) facts.desktop = d[0];
  facts.type = typeOf(c, type.get());
  if (const auto t = longsOf(transient.get()); !t.empty()) facts.transient = t[0] != XCB_NONE;
  const auto& e = c.ewmh();
  for (const std::uint32_t atom : longsOf(state.get())) {
    if (atom == e._NET_WM_STATE_HIDDEN) facts.hidden = true;
    if (atom == e._NET_WM_STATE_FULLSCREEN) facts.fullscreen = true;
    if (atom == e._NET_WM_STATE_MAXIMIZED_VERT || atom == e._NET_WM_STATE_MAXIMIZED_HORZ)
      facts.maximized = true;
  }
  // Any client may set the property; absurd extents would make absurd frames.
  facts.extents = plausibleExtents(longsOf(extents.get()), screen).value_or(FrameExtents{});
  const int border = geometry->border_width;
  facts.extents.left += border;
  facts.extents.right += border;
  facts.extents.top += border;
  facts.extents.bottom += border;
  // The translation gives the client's inside corner; the frame reaches out by the extents.
  facts.frame = Rect(position->dst_x - facts.extents.left, position->dst_y - facts.extents.top,
                     geometry->width + facts.extents.left + facts.extents.right,
                     geometry->height + facts.extents.top + facts.extents.bottom);
  // Any client may set the hints: a negative least size is none.
  xcb_size_hints_t hints{};
  if (sizeHints && xcb_icccm_get_wm_size_hints_from_reply(&hints, sizeHints.get()) &&
      (hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) &&
      (hints.min_width > 0 || hints.min_height > 0))
    facts.minimum = {static_cast<double>(std::max(0, hints.min_width)) + facts.extents.left +
                         facts.extents.right,
                     static_cast<double>(std::max(0, hints.min_height)) + facts.extents.top +
                         facts.extents.bottom};
  facts.status = WindowFacts::Status::ok;
  return facts;
}

}  // namespace

std::optional<FrameExtents> plausibleExtents(std::span<const std::uint32_t> x, Size screen) {
  if (x.size() != 4) return std::nullopt;
  const double across[] = {screen.width, screen.width, screen.height, screen.height};
  for (int i = 0; i < 4; ++i)
    if (x[i] > kMaxExtent || (across[i] > 0 && x[i] > across[i] / 4)) return std::nullopt;
  return FrameExtents{static_cast<int>(x[0]), static_cast<int>(x[1]), static_cast<int>(x[2]),
                      static_cast<int>(x[3])};
}

RootFacts fetchRootFacts(Connection& c) {
  RootFacts facts;
  if (!c.alive()) return facts;
  c.drainEvents();
  const auto& e = c.ewmh();
  const xcb_window_t root = c.root();
  auto clients = property(c, root, e._NET_CLIENT_LIST, XCB_ATOM_WINDOW, kListLength);
  auto stacking = property(c, root, e._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW, kListLength);
  auto active = property(c, root, e._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 1);
  auto desktop = property(c, root, e._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 1);
  auto monitors = requestMonitors(c);
  auto geometry = xcb_get_geometry(c.raw(), root);

  ReplyBatch batch(c);
  auto clientsReply = batch.take<xcb_get_property_reply_t>(clients);
  auto stackingReply = batch.take<xcb_get_property_reply_t>(stacking);
  auto activeReply = batch.take<xcb_get_property_reply_t>(active);
  auto desktopReply = batch.take<xcb_get_property_reply_t>(desktop);
  if (monitors) {
    if (auto reply = batch.take<xcb_randr_get_monitors_reply_t>(*monitors)) {
      const auto list = monitorsFromReply(*reply);
      if (!list.empty()) facts.origin = list.front().rect.origin();
    }
  }
  if (auto reply = batch.take<xcb_get_geometry_reply_t>(geometry))
    facts.rootSize = Size{static_cast<double>(reply->width), static_cast<double>(reply->height)};
  if (batch.failed() || !clientsReply) return facts;
  for (const std::uint32_t w : longsOf(clientsReply.get())) facts.clients.push_back(w);
  for (const std::uint32_t w : longsOf(stackingReply.get())) facts.stacking.push_back(w);
  if (const auto a = longsOf(activeReply.get()); !a.empty()) facts.active = a[0];
  if (const auto d = longsOf(desktopReply.get()); !d.empty()) facts.currentDesktop = d[0];
  facts.ok = true;
  return facts;
}

std::vector<WindowFacts> fetchWindowFacts(Connection& c, std::span<const xcb_window_t> windows,
                                          Size screen) {
  std::vector<WindowFacts> facts(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) facts[i].id = windows[i];
  if (windows.empty() || !c.alive()) return facts;
  std::vector<WindowCookies> cookies;
  cookies.reserve(windows.size());
  for (const xcb_window_t w : windows) cookies.push_back(send(c, w));
  ReplyBatch batch(c);
  for (std::size_t i = 0; i < windows.size(); ++i)
    facts[i] = collect(c, batch, windows[i], cookies[i], screen);
  return facts;
}

}  // namespace tessaloom::platform::x11
