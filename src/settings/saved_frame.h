// One stored window frame and the JSON form of a stored arrangement, bounded so that what is
// written can always be read back. No storage here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom {

struct SavedFrame {
  /// Stored under the member name "bundleID".
  std::string appId;
  std::string title;
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
  /// The window itself, while the desktop session that named it lasts (stored as "window"
  /// only where known): undo finds exactly the windows it recorded by it.
  std::optional<WindowHandle> window = std::nullopt;
  /// Held by a tiling layout (stored as "tiled" only when true).
  bool tiled = false;

  Rect rect() const { return {x, y, w, h}; }
  friend bool operator==(const SavedFrame&, const SavedFrame&) = default;
};

/// Titles and identifiers longer than this many characters are cut when stored.
inline constexpr std::size_t kMaxTitleCharacters = 1024;
/// The largest encoded arrangement that is stored: with both arrangements and their base64
/// form, the defaults file stays well under what its reader accepts.
inline constexpr std::size_t kMaxEncodedBytes = std::size_t{1} << 20;

/// `s` cut to at most kMaxTitleCharacters code points and four bytes per kept code point, on
/// a character boundary.
std::string boundedText(std::string_view s);
/// Compact JSON array of objects with every text bounded; nothing when a number is not finite.
std::optional<std::string> encodeSavedFrames(const std::vector<SavedFrame>& frames);
/// The same as a JSON value, for a document that holds arrangements.
std::optional<nlohmann::ordered_json> savedFramesJson(const std::vector<SavedFrame>& frames);
/// The records of a JSON array as decodeSavedFrames reads them; nothing for any fault.
std::optional<std::vector<SavedFrame>> savedFramesFrom(const nlohmann::json& array);
/// Strict reader: any fault anywhere (not JSON, not an array, an element that is not an object,
/// a missing member or one of the wrong type) gives an empty list. Extra members are ignored,
/// and so is a "window" or "tiled" member of the wrong type.
std::vector<SavedFrame> decodeSavedFrames(std::string_view json);

}  // namespace tessaloom
