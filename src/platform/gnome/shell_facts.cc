#include "platform/gnome/shell_facts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace tessaloom::platform::gnome {
namespace {

using nlohmann::json;

Rect rectOf(const json& a) {
  if (!a.is_array() || a.size() != 4) throw json::type_error::create(302, "not a rectangle", &a);
  return {a[0].get<double>(), a[1].get<double>(), a[2].get<double>(), a[3].get<double>()};
}

Rect shifted(Rect r, Point origin) {
  return {r.x - origin.x, r.y - origin.y, r.width, r.height};
}

long long whole(double v) {
  return std::llround(v);
}

// The whole number under `key` when it fits T; `fallback` when it is absent, not a number,
// fractional or out of range. A number outside T's range is never converted: that is undefined.
template <class T>
T integerOf(const json& j, const char* key, T fallback) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number()) return fallback;
  using Limits = std::numeric_limits<T>;
  if (it->is_number_unsigned()) {
    const auto v = it->get<std::uint64_t>();
    return v <= static_cast<std::uint64_t>(Limits::max()) ? static_cast<T>(v) : fallback;
  }
  if (it->is_number_integer()) {
    const auto v = it->get<std::int64_t>();
    return v >= static_cast<std::int64_t>(Limits::min()) &&
                   (v < 0 || static_cast<std::uint64_t>(v) <= Limits::max())
               ? static_cast<T>(v)
               : fallback;
  }
  const double v = it->get<double>();
  const bool fits = v >= static_cast<double>(Limits::min()) &&
                    v < std::ldexp(1.0, Limits::digits) && v == std::floor(v);
  return fits ? static_cast<T>(v) : fallback;
}

// One window of the report; nothing when it is malformed or its id names no window (a
// negative number must not become a large handle).
std::optional<ShellWindow> windowOf(const json& w) {
  try {
    ShellWindow s;
    if (!w.at("id").is_number_unsigned() || w.at("id").get<WindowHandle>() == 0)
      return std::nullopt;
    s.id = w.at("id").get<WindowHandle>();
    s.sequence = integerOf(w, "sequence", std::uint64_t{0});
    s.sandboxedAppId = w.value("sandboxedAppId", "");
    s.gtkApplicationId = w.value("gtkApplicationId", "");
    s.wmClass = w.value("wmClass", "");
    s.wmInstance = w.value("wmInstance", "");
    s.processId = integerOf(w, "pid", std::int32_t{0});
    s.title = w.value("title", "");
    s.frame = rectOf(w.at("frame"));
    s.type = integerOf(w, "type", 0);
    s.minimized = w.value("minimized", false);
    s.fullScreen = w.value("fullScreen", false);
    s.maximized = w.value("maximized", false);
    s.resizable = w.value("resizable", true);
    s.monitor = integerOf(w, "monitor", -1);
    s.workspace = integerOf(w, "workspace", 0);
    return s;
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

}  // namespace

Point ShellFacts::origin() const {
  if (primary < 0 || static_cast<std::size_t>(primary) >= monitors.size()) return {};
  return monitors[static_cast<std::size_t>(primary)].frame.origin();
}

const ShellWindow* ShellFacts::find(WindowHandle id) const {
  for (const ShellWindow& w : windows)
    if (w.id == id) return &w;
  return nullptr;
}

std::optional<ShellFacts> parseFacts(std::string_view text) {
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("windows") || !j["windows"].is_array())
    return std::nullopt;
  try {
    ShellFacts facts;
    // One window the reader cannot take is left out; the others are still arranged.
    for (const json& w : j["windows"])
      if (auto window = windowOf(w)) facts.windows.push_back(std::move(*window));
    std::stable_sort(
        facts.windows.begin(), facts.windows.end(),
        [](const ShellWindow& a, const ShellWindow& b) { return a.sequence < b.sequence; });
    for (const json& m : j.at("monitors"))
      facts.monitors.push_back({rectOf(m.at("frame")), rectOf(m.at("workArea"))});
    facts.primary = integerOf(j, "primary", 0);
    const Rect pointer = rectOf(json::array({j.at("pointer").at(0), j.at("pointer").at(1), 0, 0}));
    facts.pointer = pointer.origin();
    facts.focus = integerOf(j, "focus", WindowHandle{0});
    facts.workspace = integerOf(j, "workspace", 0);
    return facts;
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

xdg::WindowClassHints hintsOf(const ShellWindow& w) {
  const std::string& named = w.sandboxedAppId.empty() ? w.gtkApplicationId : w.sandboxedAppId;
  return {named, w.wmInstance, w.wmClass};
}

bool counts(const ShellWindow& w, int currentWorkspace) {
  if (w.type == kDesktop || w.type == kDock) return false;
  return w.workspace == -1 || w.workspace == currentWorkspace;
}

WindowFacts factsOf(const ShellWindow& w, Point origin) {
  return {w.id,  w.title, shifted(w.frame, origin), w.type == kNormal, w.minimized, w.fullScreen,
          false, {}};
}

std::vector<Screen> screensOf(const ShellFacts& facts) {
  const Point origin = facts.origin();
  std::vector<Screen> screens;
  for (std::size_t i = 0; i < facts.monitors.size(); ++i) {
    const ShellMonitor& m = facts.monitors[i];
    Screen s{shifted(m.frame, origin), shifted(m.workArea, origin),
             "Monitor " + std::to_string(i + 1)};
    if (static_cast<int>(i) == facts.primary)
      screens.insert(screens.begin(), std::move(s));
    else
      screens.push_back(std::move(s));
  }
  return screens;
}

std::string movesFor(const ShellFacts& facts, std::span<const Placement> placements) {
  const Point origin = facts.origin();
  json moves = json::array();
  for (const Placement& p : placements) {
    const ShellWindow* w = facts.find(p.window);
    if (!w || !(p.frame.width >= 1) || !(p.frame.height >= 1)) continue;
    // Mutter refuses a size to a maximized or full-screen window, and lets it go once they
    // are left.
    const bool resize = w->resizable || w->maximized || w->fullScreen;
    json m = {{"id", w->id},
              {"x", whole(p.frame.x + origin.x)},
              {"y", whole(p.frame.y + origin.y)},
              {"width", whole(p.frame.width)},
              {"height", whole(p.frame.height)},
              {"resize", resize}};
    if (w->fullScreen) m["leaveFullScreen"] = true;
    if (w->maximized) m["unmaximize"] = true;
    moves.push_back(std::move(m));
  }
  return moves.dump();
}

bool mergeFrames(std::string_view text, ReportedFrames& into) {
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return false;
  ReportedFrames read;
  try {
    for (const auto& [key, frame] : j.items()) {
      WindowHandle id = 0;
      const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
      if (error != std::errc() || end != key.data() + key.size() || id == 0) return false;
      read[id] = frame.is_null() ? std::nullopt : std::optional(rectOf(frame));
    }
  } catch (const json::exception&) {
    return false;
  }
  for (auto& [id, frame] : read) into[id] = frame;
  return true;
}

std::optional<std::vector<std::optional<Rect>>> framesAtTargets(
    const std::map<WindowHandle, Rect>& sent, const ReportedFrames& reported,
    std::span<const WindowHandle> windows, Point origin) {
  std::vector<std::optional<Rect>> frames;
  for (const WindowHandle w : windows) {
    const auto target = sent.find(w);
    const auto seen = reported.find(w);
    if (target == sent.end() || seen == reported.end() || !seen->second ||
        shifted(*seen->second, origin) != target->second)
      return std::nullopt;
    frames.push_back(shifted(*seen->second, origin));
  }
  return frames;
}

}  // namespace tessaloom::platform::gnome
