// One stored window frame and the JSON form of a stored arrangement. No storage here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.h"

namespace tessaloom {

struct SavedFrame {
  std::string bundleID;
  std::string title;
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;

  Rect rect() const { return {x, y, w, h}; }
  friend bool operator==(const SavedFrame&, const SavedFrame&) = default;
};

/// Compact JSON array of objects; nothing when a number is not finite.
std::optional<std::string> encodeSavedFrames(const std::vector<SavedFrame>& frames);
/// Strict reader: any fault anywhere (not JSON, not an array, an element that is not an object,
/// a missing member or one of the wrong type) gives an empty list. Extra members are ignored.
std::vector<SavedFrame> decodeSavedFrames(std::string_view json);

}  // namespace tessaloom
