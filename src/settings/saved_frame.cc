#include "settings/saved_frame.h"

#include <cmath>
#include <nlohmann/json.hpp>

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

std::optional<std::string> encodeSavedFrames(const std::vector<SavedFrame>& frames) {
  try {
    OrderedJson array = OrderedJson::array();
    for (const auto& f : frames) {
      if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.w) || !std::isfinite(f.h))
        return std::nullopt;
      array.push_back(OrderedJson{{"bundleID", f.bundleID},
                                  {"title", f.title},
                                  {"x", f.x},
                                  {"y", f.y},
                                  {"w", f.w},
                                  {"h", f.h}});
    }
    // Text that is not UTF-8 (a title read from a window) is written with U+FFFD.
    return array.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
  } catch (...) {
    return std::nullopt;
  }
}

std::vector<SavedFrame> decodeSavedFrames(std::string_view json) {
  try {
    const Json::parser_callback_t dropDeep = [](int depth, Json::parse_event_t, Json&) {
      return depth <= kRecordMemberDepth;
    };
    const Json array = Json::parse(json.begin(), json.end(), dropDeep, false);
    if (!array.is_array()) return {};
    std::vector<SavedFrame> frames;
    frames.reserve(array.size());
    for (const auto& record : array) {
      if (!record.is_object()) return {};
      SavedFrame f;
      if (!readString(record, "bundleID", f.bundleID) || !readString(record, "title", f.title) ||
          !readNumber(record, "x", f.x) || !readNumber(record, "y", f.y) ||
          !readNumber(record, "w", f.w) || !readNumber(record, "h", f.h))
        return {};
      frames.push_back(std::move(f));
    }
    return frames;
  } catch (...) {
    return {};
  }
}

}  // namespace tessaloom
