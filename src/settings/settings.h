// The user's settings and the two stored arrangements, read from and written to the user
// defaults at every access; nothing is cached here. Stored values out of range read as the
// nearest sensible value, so no stored number can push a window off its display.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/records.h"
#include "base/result.h"
#include "settings/named_arrangement.h"
#include "settings/saved_frame.h"

namespace tessaloom {
namespace platform {
class DefaultsStore;
}

class Settings {
 public:
  /// The gap and AI share that stored values are held to; every value the menu offers lies
  /// inside.
  static constexpr double kMaxGap = 64;
  static constexpr double kMinAiRatio = 0.1;
  static constexpr double kMaxAiRatio = 0.9;

  explicit Settings(platform::DefaultsStore& store) : store_(store) {}

  double gap() const;  // default 8, held to 0 ... kMaxGap
  void setGap(double value);
  DisplayMode displayMode() const;  // default perDisplay
  void setDisplayMode(DisplayMode mode);
  double aiRatio() const;  // default 0.4, held to kMinAiRatio ... kMaxAiRatio
  void setAiRatio(double value);
  bool detectAITabs() const;  // default true
  void setDetectAITabs(bool value);
  /// Whether the tray restores the arrangement saved for the monitors when they change.
  bool followMonitors() const;  // default false
  void setFollowMonitors(bool value);
  std::map<std::string, Kind> overrides() const;
  void setOverrides(const std::map<std::string, Kind>& overrides);

  /// The user's override for the application, else the catalogue's kind.
  Kind kind(std::string_view appId, std::string_view name) const;
  /// The same against `overrides` read before, so that one read serves a pass over many
  /// applications.
  static Kind kind(const std::map<std::string, Kind>& overrides, std::string_view appId,
                   std::string_view name);
  /// Stores the user's choice; a choice equal to the catalogue's default removes the override.
  void setKind(Kind kind, std::string_view appId, std::string_view name);

  /// The records stored under `key`; empty when nothing readable is stored.
  std::vector<SavedFrame> snapshot(std::string_view key) const;
  /// Replaces the records under `key` (titles cut to kMaxTitleCharacters). Records with a
  /// number that is not finite remove the key; records too large to read back are refused and
  /// the old value stays.
  Outcome setSnapshot(const std::vector<SavedFrame>& frames, std::string_view key);

  /// The named arrangements, oldest first; none when nothing readable is stored.
  std::vector<NamedArrangement> namedArrangements() const;
  /// Replaces them all; a list too large to read back is refused and the old one stays.
  Outcome setNamedArrangements(const std::vector<NamedArrangement>& list);

 private:
  platform::DefaultsStore& store_;
};

}  // namespace tessaloom
