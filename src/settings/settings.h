// The user's settings and the two stored arrangements, read from and written to the user
// defaults at every access; nothing is cached here.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/records.h"
#include "settings/saved_frame.h"

namespace tessaloom {
namespace platform {
class DefaultsStore;
}

class Settings {
 public:
  /// The instance over the platform's defaults store (whatever store is installed at the call).
  static Settings& shared();
  /// An instance over `store`; a null store means the installed one.
  explicit Settings(platform::DefaultsStore* store = nullptr) : store_(store) {}

  double gap() const;  // default 8
  void setGap(double value);
  DisplayMode displayMode() const;  // default perDisplay
  void setDisplayMode(DisplayMode mode);
  double aiRatio() const;  // default 0.4
  void setAiRatio(double value);
  bool detectAITabs() const;  // default true
  void setDetectAITabs(bool value);
  std::map<std::string, Kind> overrides() const;
  void setOverrides(const std::map<std::string, Kind>& overrides);

  /// The user's override for the application, else the catalogue's kind.
  Kind kind(std::string_view bundleID, std::string_view name) const;
  /// The same against `overrides` read before, so that one read serves a pass over many
  /// applications.
  static Kind kind(const std::map<std::string, Kind>& overrides, std::string_view bundleID,
                   std::string_view name);
  /// Stores the user's choice; a choice equal to the catalogue's default removes the override.
  void setKind(Kind kind, std::string_view bundleID, std::string_view name);

  /// The records stored under `key`; empty when nothing readable is stored.
  std::vector<SavedFrame> snapshot(std::string_view key) const;
  /// Replaces the records under `key`; records that cannot be encoded remove the key.
  void setSnapshot(const std::vector<SavedFrame>& frames, std::string_view key);

 private:
  platform::DefaultsStore& store() const;
  platform::DefaultsStore* store_;
};

}  // namespace tessaloom
