// Named arrangements: each one's name, when it was saved, the monitors it was saved on and its
// window frames, and their JSON form, bounded like the other stored arrangements. No storage
// here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/saved_frame.h"

namespace tessaloom {

/// One monitor as an arrangement remembers it: the desktop's name for it and its size.
struct MonitorFacts {
  std::string name;
  double width = 0;
  double height = 0;
  friend bool operator==(const MonitorFacts&, const MonitorFacts&) = default;
};

struct NamedArrangement {
  std::string name;
  /// Seconds since the epoch.
  double savedAt = 0;
  std::vector<MonitorFacts> monitors;
  std::vector<SavedFrame> frames;
  friend bool operator==(const NamedArrangement&, const NamedArrangement&) = default;
};

/// How many named arrangements are kept, and how long a name may be, in characters.
inline constexpr std::size_t kMaxNamedArrangements = 32;
inline constexpr std::size_t kMaxNameCharacters = 64;
/// The largest encoded list that is stored: beside the two other arrangements it keeps the
/// defaults file under what its reader accepts.
inline constexpr std::size_t kMaxEncodedNamedBytes = std::size_t{512} << 10;

/// The name as stored, trimmed of white space; nothing when it is empty, longer than
/// kMaxNameCharacters or holds a control character.
std::optional<std::string> arrangementName(std::string_view name);
/// Whether two monitor sets are the same: the same names with the same sizes, in any order.
bool sameMonitors(std::vector<MonitorFacts> a, std::vector<MonitorFacts> b);
/// Compact JSON array, every text bounded; nothing when a number is not finite.
std::optional<std::string> encodeNamedArrangements(const std::vector<NamedArrangement>& list);
/// Reads what encodeNamedArrangements wrote: an entry with any fault is left out, and so is a
/// second entry of one name; anything that is not an array reads as none.
std::vector<NamedArrangement> decodeNamedArrangements(std::string_view json);

}  // namespace tessaloom
