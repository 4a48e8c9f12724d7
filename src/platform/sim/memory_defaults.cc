#include "platform/sim/memory_defaults.h"

namespace tessaloom::platform {

std::optional<DefaultsValue> MemoryDefaults::object(std::string_view key) {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool MemoryDefaults::setObject(std::string_view key, const DefaultsValue& value) {
  std::lock_guard lock(mutex_);
  ++writes_;
  if (readOnly_) return false;
  values_.insert_or_assign(std::string(key), value);
  return true;
}

void MemoryDefaults::removeObject(std::string_view key) {
  std::lock_guard lock(mutex_);
  ++writes_;
  if (readOnly_) return;
  if (const auto it = values_.find(key); it != values_.end()) values_.erase(it);
}

DefaultsValue::Dictionary MemoryDefaults::values() const {
  std::lock_guard lock(mutex_);
  return values_;
}

std::size_t MemoryDefaults::writeCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void MemoryDefaults::setReadOnly(bool readOnly) {
  std::lock_guard lock(mutex_);
  readOnly_ = readOnly;
}

}  // namespace tessaloom::platform
