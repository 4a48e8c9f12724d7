// The user-defaults seam: a key-value store shared by every process of the user, with the
// platform's value model and its typed reads. Storage lives in the implementations.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tessaloom::platform {

/// Raw bytes (a data value).
struct Data {
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const Data&, const Data&) = default;
};

/// One stored value: number (integers are read as doubles), string, boolean, dictionary,
/// array or data.
class DefaultsValue {
 public:
  using Dictionary = std::map<std::string, DefaultsValue, std::less<>>;
  using Array = std::vector<DefaultsValue>;
  using Storage = std::variant<double, std::string, bool, Dictionary, Array, Data>;

  DefaultsValue(double v) : v_(v) {}
  DefaultsValue(int v) : v_(static_cast<double>(v)) {}
  DefaultsValue(std::string v) : v_(std::move(v)) {}
  DefaultsValue(const char* v) : v_(std::string(v)) {}
  DefaultsValue(bool v) : v_(v) {}
  DefaultsValue(Dictionary v) : v_(std::move(v)) {}
  DefaultsValue(Array v) : v_(std::move(v)) {}
  DefaultsValue(Data v) : v_(std::move(v)) {}

  const Storage& storage() const { return v_; }
  template <class T>
  const T* get() const {
    return std::get_if<T>(&v_);
  }

  // The platform's conversions, shared by the typed reads of the store.
  /// A number as itself, a numeric string converted, a boolean as 0 or 1, anything else 0.
  double toDouble() const;
  /// Booleans, numbers (non-zero) and boolean-like strings ("true"/"false"/"yes"/"no"/"1"/"0",
  /// any case); false for anything else.
  bool toBool() const;
  /// A string as itself, a number in its shortest text; nothing for other values.
  std::optional<std::string> toString() const;
  friend bool operator==(const DefaultsValue&, const DefaultsValue&) = default;

 private:
  Storage v_;
};

class DefaultsStore {
 public:
  virtual ~DefaultsStore() = default;

  /// The value under `key`, or nothing when the key holds none.
  virtual std::optional<DefaultsValue> object(std::string_view key) = 0;
  /// Stores `value` under `key` at once; false when the write failed, which leaves the old
  /// value.
  virtual bool setObject(std::string_view key, const DefaultsValue& value) = 0;
  virtual void removeObject(std::string_view key) = 0;

  // Typed reads with the value's conversions; an absent key reads as 0, false or nothing.
  double doubleForKey(std::string_view key);
  bool boolForKey(std::string_view key);
  std::optional<std::string> stringForKey(std::string_view key);
  /// A dictionary as itself; nothing for other values.
  std::optional<DefaultsValue::Dictionary> dictionaryForKey(std::string_view key);
  /// Data as itself; nothing for other values (a string is not data).
  std::optional<Data> dataForKey(std::string_view key);
};

}  // namespace tessaloom::platform
