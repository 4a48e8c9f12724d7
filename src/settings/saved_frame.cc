#include "settings/saved_frame.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "catalog/text.h"

namespace tessaloom {
namespace {

// Members are written in the order of the record's fields.
using OrderedJson = nlohmann::ordered_json;
using Json = nlohmann::json;

// Records sit at depth 1 and their members at depth 2; anything deeper belongs to an extra
// member, which is ignored, so it is dropped while parsing and never built.
constexpr int kRecordMemberDepth = 2;

bool readString(const Json& record, const char* name, std::string& out) {
  const auto it = record.find(name);
  if (it == record.end() || !it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

bool readNumber(const Json& record, const char* name, double& out) {
  const auto it = record.find(name);
  if (it == record.end() || !it->is_number()) return false;
  out = it->get<double>();
  return true;
}

}  // namespace

std::string boundedText(std::string_view s) {
  std::string valid = text::sanitize(s);
  std::size_t characters = 0;
  for (std::size_t i = 0; i < valid.size(); ++i) {
    // A byte that is not a continuation byte starts a character.
    if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80 &&
        ++characters > kMaxTitleCharacters) {
      valid.resize(i);
      break;
    }
  }
  return valid;
}

std::optional<OrderedJson> savedFramesJson(const std::vector<SavedFrame>& frames) {
  OrderedJson array = OrderedJson::array();
  for (const auto& f : frames) {
    if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.w) || !std::isfinite(f.h))
      return std::nullopt;
    OrderedJson record{{"bundleID", boundedText(f.appId)},
                       {"title", boundedText(f.title)},
                       {"x", f.x},
                       {"y", f.y},
                       {"w", f.w},
                       {"h", f.h}};
    if (f.window) record["window"] = *f.window;
    if (f.tiled) record["tiled"] = true;
    array.push_back(std::move(record));
  }
  return array;
}

std::optional<std::string> encodeSavedFrames(const std::vector<SavedFrame>& frames) {
  try {
    const auto array = savedFramesJson(frames);
    if (!array) return std::nullopt;
    return array->dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::optional<std::vector<SavedFrame>> savedFramesFrom(const Json& array) {
  if (!array.is_array()) return std::nullopt;
  std::vector<SavedFrame> frames;
  frames.reserve(array.size());
  for (const auto& record : array) {
    if (!record.is_object()) return std::nullopt;
    SavedFrame f;
    if (!readString(record, "bundleID", f.appId) || !readString(record, "title", f.title) ||
        !readNumber(record, "x", f.x) || !readNumber(record, "y", f.y) ||
        !readNumber(record, "w", f.w) || !readNumber(record, "h", f.h))
      return std::nullopt;
    if (const auto it = record.find("window"); it != record.end() && it->is_number_unsigned())
      f.window = it->get<WindowHandle>();
    if (const auto it = record.find("tiled"); it != record.end() && it->is_boolean())
      f.tiled = it->get<bool>();
    frames.push_back(std::move(f));
  }
  return frames;
}

std::vector<SavedFrame> decodeSavedFrames(std::string_view json) {
  try {
    const Json::parser_callback_t dropDeep = [](int depth, Json::parse_event_t, Json&) {
      return depth <= kRecordMemberDepth;
    };
    return savedFramesFrom(Json::parse(json.begin(), json.end(), dropDeep, false))
        .value_or(std::vector<SavedFrame>{});
  } catch (const nlohmann::json::exception&) {
    return {};
  }
}

}  // namespace tessaloom
