#include "platform/x11/x11_screens.h"

#include <algorithm>

#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_text.h"

namespace tessaloom::platform::x11 {

std::vector<Strut> strutsFrom(std::span<const std::uint32_t> v, double rootWidth,
                              double rootHeight) {
  std::vector<Strut> struts;
  using Edge = Strut::Edge;
  auto add = [&](Edge edge, double x, double y, double w, double h) {
    if (w > 0 && h > 0) struts.push_back({edge, Rect(x, y, w, h)});
  };
  auto span = [](std::uint32_t start, std::uint32_t end) {
    return end < start ? 0.0 : static_cast<double>(end) - start + 1;
  };
  if (v.size() == 12) {
    add(Edge::left, 0, v[4], v[0], span(v[4], v[5]));
    add(Edge::right, rootWidth - v[1], v[6], v[1], span(v[6], v[7]));
    add(Edge::top, v[8], 0, span(v[8], v[9]), v[2]);
    add(Edge::bottom, v[10], rootHeight - v[3], span(v[10], v[11]), v[3]);
  } else if (v.size() == 4) {
    add(Edge::left, 0, 0, v[0], rootHeight);
    add(Edge::right, rootWidth - v[1], 0, v[1], rootHeight);
    add(Edge::top, 0, 0, rootWidth, v[2]);
    add(Edge::bottom, 0, rootHeight - v[3], rootWidth, v[3]);
  }
  return struts;
}

Rect usableArea(const Rect& monitor, const std::vector<Strut>& struts) {
  double left = monitor.minX(), right = monitor.maxX();
  double top = monitor.minY(), bottom = monitor.maxY();
  for (const Strut& strut : struts) {
    const Rect common = strut.area.intersection(monitor);
    if (common.isNull() || common.width <= 0 || common.height <= 0) continue;
    switch (strut.edge) {
      case Strut::Edge::left:
        left = std::max(left, strut.area.maxX());
        break;
      case Strut::Edge::right:
        right = std::min(right, strut.area.minX());
        break;
      case Strut::Edge::top:
        top = std::max(top, strut.area.maxY());
        break;
      case Strut::Edge::bottom:
        bottom = std::min(bottom, strut.area.minY());
        break;
    }
  }
  if (right <= left || bottom <= top) return monitor;
  return {left, top, right - left, bottom - top};
}

namespace {

Rect relativeTo(const Rect& r, Point origin) {
  return {r.x - origin.x, r.y - origin.y, r.width, r.height};
}

}  // namespace

std::vector<Screen> screensOf(Connection& c, const RootFacts& rootFacts,
                              std::span<const WindowFacts> windows) {
  if (!c.alive() || rootFacts.rootSize.width <= 0 || rootFacts.rootSize.height <= 0) return {};
  const Rect root(0, 0, rootFacts.rootSize.width, rootFacts.rootSize.height);
  std::vector<Monitor> monitors = rootFacts.monitors;
  std::vector<Strut> struts;
  for (const WindowFacts& w : windows)
    if (w.status == WindowFacts::Status::ok)
      for (const Strut& s : strutsFrom(w.strut, root.width, root.height)) struts.push_back(s);
  std::vector<xcb_get_atom_name_cookie_t> nameCookies;
  for (const Monitor& m : monitors) nameCookies.push_back(xcb_get_atom_name(c.raw(), m.name));
  std::vector<std::string> names;
  {
    ReplyBatch batch(c);
    for (const auto& cookie : nameCookies) {
      auto reply = batch.take<xcb_get_atom_name_reply_t>(cookie);
      std::string name;
      if (reply)
        name = decodeText({xcb_get_atom_name_name(reply.get()),
                           static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get()))},
                          TextEncoding::latin1);
      names.push_back(std::move(name));
    }
  }

  if (monitors.empty()) monitors.push_back({XCB_ATOM_NONE, root, true});
  names.resize(monitors.size());
  if (names.front().empty() && monitors.size() == 1) names.front() = "screen";
  const Point origin = monitors.front().rect.origin();
  std::vector<Screen> result;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const Rect& m = monitors[i].rect;
    result.push_back({relativeTo(m, origin), relativeTo(usableArea(m, struts), origin), names[i]});
  }
  return result;
}

std::optional<Point> fetchPointer(Connection& c) {
  if (!c.alive()) return std::nullopt;
  auto monitorsCookie = requestMonitors(c);
  auto pointerCookie = xcb_query_pointer(c.raw(), c.root());
  ReplyBatch batch(c);
  Point origin;
  if (monitorsCookie)
    if (auto reply = batch.take<xcb_randr_get_monitors_reply_t>(*monitorsCookie))
      if (const auto monitors = monitorsFromReply(*reply); !monitors.empty())
        origin = monitors.front().rect.origin();
  auto pointer = batch.take<xcb_query_pointer_reply_t>(pointerCookie);
  if (!pointer) return std::nullopt;
  return Point{pointer->root_x - origin.x, pointer->root_y - origin.y};
}

}  // namespace tessaloom::platform::x11
