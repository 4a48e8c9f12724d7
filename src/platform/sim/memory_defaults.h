// A defaults store held in memory, for tests and the simulated desktop. No file access.
#pragma once

#include <cstddef>
#include <mutex>

#include "platform/defaults_store.h"

namespace tessaloom::platform {

class MemoryDefaults final : public DefaultsStore {
 public:
  MemoryDefaults() = default;
  explicit MemoryDefaults(DefaultsValue::Dictionary values) : values_(std::move(values)) {}

  std::optional<DefaultsValue> object(std::string_view key) override;
  bool setObject(std::string_view key, const DefaultsValue& value) override;
  void removeObject(std::string_view key) override;

  /// Every stored key and value.
  DefaultsValue::Dictionary values() const;
  /// How many calls of setObject and removeObject were made (ignored ones included).
  std::size_t writeCount() const;
  /// While set, writes are counted but ignored, as when the storage cannot be written.
  void setReadOnly(bool readOnly);

 private:
  mutable std::mutex mutex_;
  DefaultsValue::Dictionary values_;
  std::size_t writes_ = 0;
  bool readOnly_ = false;
};

}  // namespace tessaloom::platform
