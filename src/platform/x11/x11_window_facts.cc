#include "platform/x11/x11_window_facts.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <array>
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

// The properties read of a window, each asked for only when the window has it.
enum Wanted {
  kClass,
  kApplicationId,
  kNetName,
  kName,
  kPid,
  kType,
  kState,
  kTransient,
  kExtents,
  kDesktop,
  kSizeHints,
  kStrutPartial,
  kStrut,
  kWantedCount
};

struct PropertyRequest {
  xcb_atom_t name;
  xcb_atom_t type;
  std::uint32_t length;
};

std::array<PropertyRequest, kWantedCount> wantedProperties(Connection& c) {
  const auto& e = c.ewmh();
  // Any type for the texts: a reply of another type than asked for carries no bytes, and some
  // clients set _NET_WM_NAME as STRING.
  std::array<PropertyRequest, kWantedCount> r{};
  r[kClass] = {XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kTextLength};
  r[kApplicationId] = {c.atoms().gtkApplicationId, XCB_GET_PROPERTY_TYPE_ANY, kTextLength};
  r[kNetName] = {e._NET_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLength};
  r[kName] = {XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLength};
  r[kPid] = {e._NET_WM_PID, XCB_ATOM_CARDINAL, 1};
  r[kType] = {e._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 64};
  r[kState] = {e._NET_WM_STATE, XCB_ATOM_ATOM, 64};
  r[kTransient] = {XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1};
  r[kExtents] = {e._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4};
  r[kDesktop] = {e._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1};
  r[kSizeHints] = {XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                   XCB_ICCCM_NUM_WM_SIZE_HINTS_ELEMENTS};
  r[kStrutPartial] = {e._NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL, 12};
  r[kStrut] = {e._NET_WM_STRUT, XCB_ATOM_CARDINAL, 4};
  return r;
}

// The first requests of a window: which properties it has, and where it is.
struct FirstCookies {
  xcb_list_properties_cookie_t names;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t position;
};

struct FirstReplies {
  XPtr<xcb_list_properties_reply_t> names;
  XPtr<xcb_get_geometry_reply_t> geometry;
  XPtr<xcb_translate_coordinates_reply_t> position;
  bool gone = false;
};

using PropertyCookies = std::array<std::optional<xcb_get_property_cookie_t>, kWantedCount>;

bool goneCode(int code) {
  return code == kBadWindow || code == kBadDrawable;
}

// Asks for the wanted properties the window has. A property a window lacks would still cost a
// request and an empty reply, and the server's time per request is what a large batch takes:
// a browser's window costs 11 requests this way instead of 15.
PropertyCookies sendProperties(Connection& c, xcb_window_t w,
                               const std::array<PropertyRequest, kWantedCount>& wanted,
                               const xcb_list_properties_reply_t& names) {
  const std::span<const xcb_atom_t> present(xcb_list_properties_atoms(&names),
                                            xcb_list_properties_atoms_length(&names));
  std::array<bool, kWantedCount> has{};
  for (int i = 0; i < kWantedCount; ++i)
    has[i] = wanted[i].name != XCB_ATOM_NONE &&
             std::find(present.begin(), present.end(), wanted[i].name) != present.end();
  has[kName] = has[kName] && !has[kNetName];  // the older title only stands in for the newer
  PropertyCookies k;
  for (int i = 0; i < kWantedCount; ++i)
    if (has[i])
      k[i] = xcb_get_property(c.raw(), 0, w, wanted[i].name, wanted[i].type, 0, wanted[i].length);
  return k;
}

WindowFacts collect(Connection& c, ReplyBatch& batch, xcb_window_t w, const FirstReplies& first,
                    const PropertyCookies& k, Size screen) {
  WindowFacts facts;
  facts.id = w;
  bool gone = first.gone;
  std::array<XPtr<xcb_get_property_reply_t>, kWantedCount> replies;
  for (int i = 0; i < kWantedCount; ++i) {
    if (!k[i]) continue;
    int code = 0;
    replies[i] = batch.take<xcb_get_property_reply_t>(*k[i], &code);
    gone = gone || goneCode(code);
  }
  if (gone) {
    facts.status = WindowFacts::Status::gone;
    return facts;
  }
  const auto& geometry = first.geometry;
  const auto& position = first.position;
  if (!geometry || !position) return facts;  // unreadable
  auto value = [&](Wanted property) { return replies[property].get(); };

  const std::string_view classBytes = bytesOf(value(kClass));
  const auto split = classBytes.find('\0');
  facts.instance = decodeText(classBytes.substr(0, split), TextEncoding::latin1);
  if (split != std::string_view::npos)
    facts.wmClass = decodeText(classBytes.substr(split + 1), TextEncoding::latin1);
  if (auto id = textOf(c, value(kApplicationId))) facts.gtkApplicationId = *id;
  facts.title = textOf(c, value(kNetName));
  if (!facts.title) facts.title = textOf(c, value(kName));
  if (const auto p = longsOf(value(kPid)); !p.empty()) facts.pid = p[0];
  if (const auto d = longsOf(value(kDesktop)); !d.empty()) facts.desktop = d[0];
  facts.type = typeOf(c, value(kType));
  if (const auto t = longsOf(value(kTransient)); !t.empty()) facts.transient = t[0] != XCB_NONE;
  if (const auto partial = longsOf(value(kStrutPartial)); partial.size() == 12)
    facts.strut.assign(partial.begin(), partial.end());
  else if (const auto whole = longsOf(value(kStrut)); whole.size() == 4)
    facts.strut.assign(whole.begin(), whole.end());
  const auto& e = c.ewmh();
  for (const std::uint32_t atom : longsOf(value(kState))) {
    if (atom == e._NET_WM_STATE_HIDDEN) facts.hidden = true;
    if (atom == e._NET_WM_STATE_FULLSCREEN) facts.fullscreen = true;
    if (atom == e._NET_WM_STATE_MAXIMIZED_VERT || atom == e._NET_WM_STATE_MAXIMIZED_HORZ)
      facts.maximized = true;
  }
  // Any client may set the property; absurd extents would make absurd frames.
  facts.extents = plausibleExtents(longsOf(value(kExtents)), screen).value_or(FrameExtents{});
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
  if (value(kSizeHints) && xcb_icccm_get_wm_size_hints_from_reply(&hints, value(kSizeHints)) &&
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
      facts.monitors = monitorsFromReply(*reply);
      if (!facts.monitors.empty()) facts.origin = facts.monitors.front().rect.origin();
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
                                          Size screen, const std::function<void()>& meanwhile) {
  std::vector<WindowFacts> facts(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) facts[i].id = windows[i];
  if (windows.empty() || !c.alive()) {
    if (meanwhile) meanwhile();
    return facts;
  }
  // First which properties each window has and where it is, then the properties it has.
  std::vector<FirstCookies> firstCookies;
  firstCookies.reserve(windows.size());
  for (const xcb_window_t w : windows)
    firstCookies.push_back({xcb_list_properties(c.raw(), w), xcb_get_geometry(c.raw(), w),
                            xcb_translate_coordinates(c.raw(), w, c.root(), 0, 0)});
  c.flush();
  if (meanwhile) meanwhile();
  std::vector<FirstReplies> first(windows.size());
  {
    ReplyBatch batch(c);
    for (std::size_t i = 0; i < windows.size(); ++i) {
      int code = 0;
      first[i].names = batch.take<xcb_list_properties_reply_t>(firstCookies[i].names, &code);
      first[i].gone = goneCode(code);
      first[i].geometry = batch.take<xcb_get_geometry_reply_t>(firstCookies[i].geometry, &code);
      first[i].gone = first[i].gone || goneCode(code);
      first[i].position =
          batch.take<xcb_translate_coordinates_reply_t>(firstCookies[i].position, &code);
      first[i].gone = first[i].gone || goneCode(code);
    }
    if (batch.failed()) return facts;
  }
  const auto wanted = wantedProperties(c);
  std::vector<PropertyCookies> cookies(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i)
    if (first[i].names && !first[i].gone)
      cookies[i] = sendProperties(c, windows[i], wanted, *first[i].names);
  ReplyBatch batch(c);
  for (std::size_t i = 0; i < windows.size(); ++i)
    if (first[i].names || first[i].gone)
      facts[i] = collect(c, batch, windows[i], first[i], cookies[i], screen);
  return facts;
}

}  // namespace tessaloom::platform::x11
