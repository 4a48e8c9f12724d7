#include "platform/kwin/kwin_report.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace tessaloom::platform::kwin {
namespace {

using nlohmann::json;

std::string text(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool flag(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_boolean() && it->get<bool>();
}

std::optional<Rect> rect(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_array() || it->size() != 4) return std::nullopt;
  for (const json& n : *it)
    if (!n.is_number() || !std::isfinite(n.get<double>())) return std::nullopt;
  return Rect{(*it)[0].get<double>(), (*it)[1].get<double>(), (*it)[2].get<double>(),
              (*it)[3].get<double>()};
}

std::optional<Size> size(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_array() || it->size() != 2) return std::nullopt;
  for (const json& n : *it)
    if (!n.is_number() || !std::isfinite(n.get<double>())) return std::nullopt;
  return Size{(*it)[0].get<double>(), (*it)[1].get<double>()};
}

std::string outputName(std::size_t index, std::size_t count) {
  return count > 1 ? "screen-" + std::to_string(index + 1) : "screen";
}

// KWin's "maximize full": both directions.
constexpr int kMaximizeFull = 3;
constexpr std::uint64_t kLargestPid = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::optional<Report> parseReport(std::string_view raw) {
  const json doc = json::parse(raw, nullptr, false);
  if (!doc.is_object()) return std::nullopt;
  const auto windows = doc.find("windows");
  const auto outputs = doc.find("outputs");
  if (windows == doc.end() || !windows->is_array() || outputs == doc.end() || !outputs->is_array())
    return std::nullopt;
  Report report;
  for (const json& o : *outputs) {
    if (!o.is_object()) continue;
    const auto frame = rect(o, "frame");
    const auto usable = rect(o, "usable");
    if (!frame || !usable) continue;
    report.outputs.push_back({text(o, "name"), *frame, *usable});
  }
  for (std::size_t i = 0; i < report.outputs.size(); ++i)
    if (report.outputs[i].name.empty()) report.outputs[i].name = outputName(i, outputs->size());
  for (const json& w : *windows) {
    if (!w.is_object()) continue;
    const auto frame = rect(w, "frame");
    if (!frame || text(w, "id").empty()) continue;
    ReportedWindow window;
    window.id = text(w, "id");
    window.desktopFileName = text(w, "desktopFileName");
    window.resourceClass = text(w, "resourceClass");
    window.resourceName = text(w, "resourceName");
    window.caption = text(w, "caption");
    // A pid beyond pid_t is none: cut down to 32 bits it would name another process.
    if (const auto pid = w.find("pid");
        pid != w.end() && pid->is_number_unsigned() && pid->get<std::uint64_t>() <= kLargestPid)
      window.pid = pid->get<std::uint32_t>();
    window.frame = *frame;
    // KWin keeps the client's least size; the decorations come on top of it.
    const auto least = size(w, "minSize");
    const auto client = rect(w, "client");
    if (least && client && (least->width > 0 || least->height > 0))
      window.minimum = {
          std::max(0.0, least->width) + std::max(0.0, frame->width - client->width),
          std::max(0.0, least->height) + std::max(0.0, frame->height - client->height)};
    window.normal = flag(w, "normal");
    window.special = flag(w, "special");
    window.deleted = flag(w, "deleted");
    window.minimized = flag(w, "minimized");
    window.fullScreen = flag(w, "fullScreen");
    window.active = flag(w, "active");
    if (const auto out = w.find("output"); out != w.end() && out->is_string())
      window.output = out->get<std::string>();
    else if (out != w.end() && out->is_number_unsigned() &&
             out->get<std::size_t>() < report.outputs.size())
      window.output = report.outputs[out->get<std::size_t>()].name;
    if (const auto mode = w.find("maximizeMode"); mode != w.end() && mode->is_number_integer()) {
      window.maximized = mode->get<std::int64_t>() == kMaximizeFull;
    } else {
      for (const auto& o : report.outputs)
        if (o.name == window.output) window.maximized = o.usable == window.frame;
    }
    if (const auto desktops = w.find("desktops"); desktops != w.end() && desktops->is_array())
      for (const json& d : *desktops)
        if (d.is_string()) window.desktops.push_back(d.get<std::string>());
    report.windows.push_back(std::move(window));
  }
  report.desktop = text(doc, "desktop");
  if (const auto c = doc.find("cursor"); c != doc.end() && c->is_array() && c->size() == 2 &&
                                         (*c)[0].is_number() && (*c)[1].is_number())
    report.cursor = {(*c)[0].get<double>(), (*c)[1].get<double>()};
  return report;
}

bool onDesktop(const ReportedWindow& window, const std::string& desktop) {
  if (window.desktops.empty()) return true;
  for (const std::string& d : window.desktops)
    if (d == desktop) return true;
  return false;
}

WindowHandle handleOf(std::string_view id) {
  // FNV-1a: KWin's ids are random UUIDs, so 64 bits of hash keep them apart.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : id) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::optional<std::string> keySequence(Chord chord) {
  if (chord.letter < 'a' || chord.letter > 'z') return std::nullopt;
  std::string keys;
  if (chord.modifiers & kControl) keys += "Ctrl+";
  if (chord.modifiers & kAlt) keys += "Alt+";
  if (chord.modifiers & kShift) keys += "Shift+";
  if (chord.modifiers & kSuper) keys += "Meta+";
  return keys + static_cast<char>(chord.letter - 'a' + 'A');
}

std::set<int> loadedScriptIds(std::string_view rootXml, std::string_view scriptingXml) {
  std::set<int> ids;
  const auto collect = [&](std::string_view xml, std::string_view prefix) {
    constexpr std::string_view kNode = "<node name=\"";
    for (auto at = xml.find(kNode); at != std::string_view::npos; at = xml.find(kNode, at)) {
      at += kNode.size();
      const auto end = xml.find('"', at);
      if (end == std::string_view::npos) break;
      const std::string_view name = xml.substr(at, end - at);
      if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
      int id = 0;
      const char* last = name.data() + name.size();
      if (const auto [p, error] = std::from_chars(name.data() + prefix.size(), last, id);
          error == std::errc() && p == last)
        ids.insert(id);
    }
  };
  collect(rootXml, "");
  collect(scriptingXml, "Script");
  return ids;
}

std::string reportRequest() {
  return R"({"op":"report"})";
}

std::string idleRequest() {
  return R"({"op":"idle"})";
}

std::string quitRequest() {
  return R"({"op":"quit"})";
}

std::string placeRequest(std::span<const Move> moves) {
  json list = json::array();
  for (const Move& m : moves)
    list.push_back({{"id", m.id},
                    {"frame",
                     {std::lround(m.frame.x), std::lround(m.frame.y), std::lround(m.frame.width),
                      std::lround(m.frame.height)}}});
  return json{{"op", "place"}, {"moves", list}}.dump();
}

std::string outputsRequest(const std::string& service, const std::string& interface) {
  return json{{"op", "outputs"}, {"service", service}, {"interface", interface}}.dump();
}

std::string bindRequest(const std::string& name, const std::string& keys,
                        const std::string& service) {
  return json{{"op", "bind"}, {"name", name}, {"text", name}, {"keys", keys}, {"service", service}}
      .dump();
}

}  // namespace tessaloom::platform::kwin
