// The defaults store the program uses: one JSON file shared by every process of the user, read
// afresh at every access and replaced whole, under a lock, at every write. Never throws.
// Safe to use from any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "base/result.h"
#include "platform/defaults_store.h"

namespace tessaloom::platform {

class FileDefaultsCache;

/// The file holds one JSON object from key to value. Numbers, strings, booleans, dictionaries
/// and arrays are stored as themselves; data is an object whose only member "$data" holds
/// base64 text. A member name that begins with "$" is stored with one more "$" in front, so
/// no dictionary is ever taken for data. An object whose "$data" is not valid base64 is an
/// ordinary dictionary. JSON null has no value: such a member or element reads as absent. A
/// write replaces the one member of its key and leaves every other member as it was.
class FileDefaults final : public DefaultsStore {
 public:
  /// Files larger than this are not defaults files (they are kept aside like corrupt ones).
  static constexpr std::size_t kMaxFileSize = std::size_t{4} << 20;
  /// Deepest nesting of arrays, dictionaries and data a defaults file may hold; a value of the
  /// top-level object is at depth 1.
  static constexpr int kMaxDepth = 64;

  /// $TESSALOOM_DEFAULTS when set, else $XDG_CONFIG_HOME/tessaloom/defaults.json, with
  /// ~/.config for a missing or relative XDG_CONFIG_HOME; empty when no home folder is known.
  static std::string defaultPath();

  /// The store at defaultPath().
  FileDefaults();
  /// The store kept in the file at `path`. An empty path gives a store that is always empty
  /// and ignores writes.
  explicit FileDefaults(std::string path);

  const std::string& path() const { return path_; }

  std::optional<DefaultsValue> object(std::string_view key) override;
  /// Ignored (the file stays as it was) when the value holds a non-finite number, nests deeper
  /// than kMaxDepth allows, or the file cannot be read or replaced; the last is said on
  /// standard error, once per process.
  bool setObject(std::string_view key, const DefaultsValue& value) override;
  void removeObject(std::string_view key) override;

  /// Every value in the file now; empty when the file is missing, unreadable or corrupt.
  DefaultsValue::Dictionary values();

  /// The values that the text of a defaults file holds; nothing when the text is not a
  /// defaults file (not one JSON object, larger than kMaxFileSize or nested too deeply).
  static std::optional<DefaultsValue::Dictionary> parse(std::string_view text);
  /// The file text of `values`; nothing when a number is not finite or the nesting is deeper
  /// than kMaxDepth. Text that is not UTF-8 is written with U+FFFD in place of bad bytes.
  static std::optional<std::string> serialize(const DefaultsValue::Dictionary& values);

 private:
  /// Read-modify-write of the file's top-level object under the lock; `change` returns whether
  /// it changed anything. A failure leaves the file as it was.
  Outcome update(const std::function<bool(nlohmann::json&)>& change);
  /// The file's top-level object as it is now; empty when there is no readable defaults file.
  std::shared_ptr<const nlohmann::json> currentObject();
  /// Says on standard error, once per process, that a write was dropped.
  static void report(const Outcome& outcome);

  std::string path_;
  std::shared_ptr<FileDefaultsCache> cache_;
};

}  // namespace tessaloom::platform
