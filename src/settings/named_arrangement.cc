#include "settings/named_arrangement.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "catalog/text.h"

namespace tessaloom {
namespace {

using OrderedJson = nlohmann::ordered_json;
using Json = nlohmann::json;

// Entries sit at depth 1, their members at 2, frames and monitors at 3 and their members at
// 4; anything deeper belongs to an extra member, which is dropped while parsing.
constexpr int kFrameMemberDepth = 4;

bool isSpace(std::string_view s, std::size_t at, std::size_t& length) {
  static constexpr std::string_view kIdeographicSpace = "\u3000";
  if (s.substr(at, kIdeographicSpace.size()) == kIdeographicSpace) {
    length = kIdeographicSpace.size();
    return true;
  }
  length = 1;
  return std::string_view(" \t\n\r\v\f").find(s[at]) != std::string_view::npos;
}

std::optional<MonitorFacts> monitorFrom(const Json& j) {
  if (!j.is_object()) return std::nullopt;
  const auto name = j.find("name"), w = j.find("w"), h = j.find("h");
  if (name == j.end() || !name->is_string() || w == j.end() || !w->is_number() || h == j.end() ||
      !h->is_number())
    return std::nullopt;
  return MonitorFacts{name->get<std::string>(), w->get<double>(), h->get<double>()};
}

std::optional<NamedArrangement> entryFrom(const Json& j) {
  if (!j.is_object()) return std::nullopt;
  const auto name = j.find("name"), at = j.find("savedAt"), monitors = j.find("monitors"),
             frames = j.find("frames");
  if (name == j.end() || !name->is_string() || at == j.end() || !at->is_number() ||
      monitors == j.end() || !monitors->is_array() || frames == j.end())
    return std::nullopt;
  NamedArrangement entry{name->get<std::string>(), at->get<double>(), {}, {}};
  if (arrangementName(entry.name) != entry.name) return std::nullopt;
  for (const auto& m : *monitors) {
    auto monitor = monitorFrom(m);
    if (!monitor) return std::nullopt;
    entry.monitors.push_back(std::move(*monitor));
  }
  auto records = savedFramesFrom(*frames);
  if (!records) return std::nullopt;
  entry.frames = std::move(*records);
  return entry;
}

}  // namespace

std::optional<std::string> arrangementName(std::string_view name) {
  std::size_t length = 0;
  while (!name.empty() && isSpace(name, 0, length)) name.remove_prefix(length);
  while (!name.empty()) {
    // The last character: back over continuation bytes to its first byte.
    std::size_t last = name.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(name[last]) & 0xC0) == 0x80) --last;
    if (!isSpace(name, last, length) || last + length != name.size()) break;
    name.remove_suffix(length);
  }
  const std::string valid = text::sanitize(name);
  std::size_t characters = 0;
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const auto c = static_cast<unsigned char>(valid[i]);
    const auto next = i + 1 < valid.size() ? static_cast<unsigned char>(valid[i + 1]) : 0;
    if (c < 0x20 || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F)) return std::nullopt;
    if ((c & 0xC0) != 0x80) ++characters;
  }
  if (valid.empty() || characters > kMaxNameCharacters) return std::nullopt;
  return valid;
}

bool sameMonitors(std::vector<MonitorFacts> a, std::vector<MonitorFacts> b) {
  const auto order = [](const MonitorFacts& x, const MonitorFacts& y) {
    return std::tie(x.name, x.width, x.height) < std::tie(y.name, y.width, y.height);
  };
  std::sort(a.begin(), a.end(), order);
  std::sort(b.begin(), b.end(), order);
  return a == b;
}

std::optional<std::string> encodeNamedArrangements(const std::vector<NamedArrangement>& list) {
  try {
    OrderedJson array = OrderedJson::array();
    for (const auto& entry : list) {
      auto frames = savedFramesJson(entry.frames);
      if (!frames || !std::isfinite(entry.savedAt)) return std::nullopt;
      OrderedJson monitors = OrderedJson::array();
      for (const auto& m : entry.monitors) {
        if (!std::isfinite(m.width) || !std::isfinite(m.height)) return std::nullopt;
        monitors.push_back({{"name", boundedText(m.name)}, {"w", m.width}, {"h", m.height}});
      }
      array.push_back({{"name", entry.name},
                       {"savedAt", entry.savedAt},
                       {"monitors", std::move(monitors)},
                       {"frames", std::move(*frames)}});
    }
    return array.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::vector<NamedArrangement> decodeNamedArrangements(std::string_view json) {
  try {
    const Json::parser_callback_t dropDeep = [](int depth, Json::parse_event_t, Json&) {
      return depth <= kFrameMemberDepth;
    };
    const Json array = Json::parse(json.begin(), json.end(), dropDeep, false);
    if (!array.is_array()) return {};
    std::vector<NamedArrangement> list;
    std::set<std::string> names;
    for (const auto& j : array) {
      auto entry = entryFrom(j);
      if (entry && list.size() < kMaxNamedArrangements && names.insert(entry->name).second)
        list.push_back(std::move(*entry));
    }
    return list;
  } catch (const nlohmann::json::exception&) {
    return {};
  }
}

}  // namespace tessaloom
