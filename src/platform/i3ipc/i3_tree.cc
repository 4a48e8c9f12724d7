#include "platform/i3ipc/i3_tree.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tessaloom::platform::i3ipc {
namespace {

using nlohmann::json;

const json& field(const json& object, const char* key) {
  static const json none;
  if (!object.is_object()) return none;
  auto it = object.find(key);
  return it == object.end() ? none : *it;
}

std::string text(const json& object, const char* key) {
  const json& value = field(object, key);
  return value.is_string() ? value.get<std::string>() : std::string();
}

std::uint64_t unsignedNumber(const json& object, const char* key) {
  const json& value = field(object, key);
  return value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() > 0)
             ? value.get<std::uint64_t>()
             : 0;
}

bool flag(const json& object, const char* key) {
  const json& value = field(object, key);
  return value.is_boolean() && value.get<bool>();
}

Rect rect(const json& object, const char* key) {
  const json& r = field(object, key);
  auto number = [&](const char* k) {
    const json& v = field(r, k);
    return v.is_number() ? v.get<double>() : 0.0;
  };
  return {number("x"), number("y"), number("width"), number("height")};
}

const json& children(const json& node, const char* key) {
  static const json empty = json::array();
  const json& list = field(node, key);
  return list.is_array() ? list : empty;
}

// The child list `key` of a container the walk goes into; a list that is there but is no list
// of objects makes the tree malformed.
const json& walkedChildren(const json& node, const char* key, bool& wellFormed) {
  const json& list = field(node, key);
  if (!list.is_null() && !(list.is_array() && std::ranges::all_of(list, &json::is_object)))
    wellFormed = false;
  return children(node, key);
}

// A leaf container that holds a client: a native window has an app id (or a pid), an X11
// window an X window id.
bool holdsWindow(const json& node) {
  const std::string type = text(node, "type");
  if (type != "con" && type != "floating_con") return false;
  if (!children(node, "nodes").empty() || !children(node, "floating_nodes").empty()) return false;
  return field(node, "window").is_number() || field(node, "app_id").is_string() ||
         unsignedNumber(node, "pid") > 0;
}

TreeWindow windowOf(const json& node, Flavour flavour, bool floating) {
  TreeWindow w;
  w.con = unsignedNumber(node, "id");
  w.appId = text(node, "app_id");
  const json& properties = field(node, "window_properties");
  w.instance = text(properties, "instance");
  w.wmClass = text(properties, "class");
  w.title = text(node, "name");
  if (w.title.empty()) w.title = text(properties, "title");
  w.pid = static_cast<std::uint32_t>(unsignedNumber(node, "pid"));
  w.x11Window = static_cast<std::uint32_t>(unsignedNumber(node, "window"));
  w.frame = rect(node, "rect");
  if (flavour == Flavour::sway) {
    // The title bar sits above sway's rect.
    const double title = rect(node, "deco_rect").height;
    w.frame.y -= title;
    w.frame.height += title;
  }
  // i3 puts the X window type on the container, sway among the X11 window's properties.
  std::string type = text(node, "window_type");
  if (type.empty()) type = text(properties, "window_type");
  w.standard = type.empty() || type == "normal" || type == "unknown";
  const json& fullscreen = field(node, "fullscreen_mode");
  w.fullScreen = fullscreen.is_number_integer() && fullscreen.get<int>() != 0;
  w.floating = floating;
  w.focused = flag(node, "focused");
  return w;
}

// Recursion stays shallow: readReply() refuses replies deeper than kMaxDepth.
void collect(const json& node, Flavour flavour, bool floating, std::vector<TreeWindow>& out,
             bool& wellFormed) {
  // i3 marks scratchpad windows shown on a workspace; they are the user's to toggle.
  const std::string scratchpad = text(node, "scratchpad_state");
  if (!scratchpad.empty() && scratchpad != "none") return;
  if (holdsWindow(node)) {
    // Without its id a window cannot be named in a command.
    if (unsignedNumber(node, "id") > 0)
      out.push_back(windowOf(node, flavour, floating || text(node, "type") == "floating_con"));
    return;
  }
  for (const json& child : walkedChildren(node, "nodes", wellFormed))
    collect(child, flavour, floating, out, wellFormed);
  for (const json& child : walkedChildren(node, "floating_nodes", wellFormed))
    collect(child, flavour, true, out, wellFormed);
}

// Calls `each` with every workspace of the tree except the scratchpad's, below the outputs
// (sway) or the outputs' content containers (i3); dock areas are not looked into.
template <class Each>
void forEachWorkspace(const json& node, Each each, bool& wellFormed) {
  for (const json& child : walkedChildren(node, "nodes", wellFormed)) {
    const std::string type = text(child, "type");
    if (type == "workspace") {
      if (text(child, "name") != "__i3_scratch") each(child);
    } else if (type == "output" || (type == "con" && text(child, "name") == "content")) {
      forEachWorkspace(child, each, wellFormed);
    }
  }
}

// The workspace shown on each output, by output name.
const json* visibleWorkspaceOn(const json& workspaces, const std::string& output) {
  if (!workspaces.is_array()) return nullptr;
  for (const json& ws : workspaces)
    if (flag(ws, "visible") && text(ws, "output") == output) return &ws;
  return nullptr;
}

}  // namespace

std::set<std::uint64_t> visibleWorkspaces(const json& workspaces) {
  std::set<std::uint64_t> ids;
  if (workspaces.is_array())
    for (const json& ws : workspaces)
      if (flag(ws, "visible")) ids.insert(unsignedNumber(ws, "id"));
  return ids;
}

std::optional<json> readReply(std::string_view payload, std::string& why) {
  // The parser keeps a value for every level it is in: a reply nested a million levels deep
  // is refused before it is parsed.
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < payload.size() && depth <= kMaxDepth; ++i) {
    const char c = payload[i];
    if (inString) {
      i += c == '\\';  // an escaped character cannot end the string
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  if (depth > kMaxDepth) {
    why = "nests deeper than " + std::to_string(kMaxDepth) + " levels";
    return std::nullopt;
  }
  json parsed = json::parse(payload, nullptr, false);
  if (!parsed.is_discarded()) return parsed;
  why = "is not JSON";
  return std::nullopt;
}

std::optional<std::vector<TreeWindow>> treeWindows(const json& tree, Flavour flavour,
                                                   const std::set<std::uint64_t>* visible) {
  if (!field(tree, "nodes").is_array()) return std::nullopt;
  std::vector<TreeWindow> windows;
  bool wellFormed = true;
  forEachWorkspace(
      tree,
      [&](const json& ws) {
        const std::size_t first = windows.size();
        collect(ws, flavour, false, windows, wellFormed);
        if (visible && !visible->count(unsignedNumber(ws, "id")))
          for (std::size_t i = first; i < windows.size(); ++i) windows[i].hidden = true;
      },
      wellFormed);
  if (!wellFormed) return std::nullopt;
  return windows;
}

std::vector<Screen> outputScreens(const json& outputs, const json& workspaces) {
  std::vector<Screen> screens;
  std::optional<std::size_t> primary;
  if (!outputs.is_array()) return screens;
  for (const json& output : outputs) {
    if (!flag(output, "active")) continue;
    const Rect frame = rect(output, "rect");
    if (frame.width <= 0 || frame.height <= 0) continue;
    const std::string name = text(output, "name");
    const json* ws = visibleWorkspaceOn(workspaces, name);
    Rect usable = ws ? rect(*ws, "rect") : frame;
    if (usable.width <= 0 || usable.height <= 0) usable = frame;
    if (flag(output, "primary") && !primary) primary = screens.size();
    screens.push_back({frame, usable, name});
  }
  if (primary) {
    const auto at = screens.begin() + static_cast<std::ptrdiff_t>(*primary);
    std::rotate(screens.begin(), at, at + 1);
  }
  return screens;
}

std::optional<Point> focusedOutputCentre(const json& outputs, const json& workspaces) {
  if (!workspaces.is_array() || !outputs.is_array()) return std::nullopt;
  for (const json& ws : workspaces) {
    if (!flag(ws, "focused")) continue;
    for (const json& output : outputs)
      if (text(output, "name") == text(ws, "output")) {
        const Rect r = rect(output, "rect");
        return Point{r.x + r.width / 2, r.y + r.height / 2};
      }
  }
  return std::nullopt;
}

bool isSway(const json& version) {
  return text(version, "variant") == "sway";
}

bool commandsSucceeded(const json& reply) {
  if (!reply.is_array()) return false;
  for (const json& result : reply)
    if (!flag(result, "success")) return false;
  return true;
}

}  // namespace tessaloom::platform::i3ipc
