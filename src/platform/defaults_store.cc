#include "platform/defaults_store.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tessaloom::platform {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

/// The number a whole string spells (white space around it allowed); nothing for any other
/// text, for "inf"/"nan" and for numbers beyond the double range.
std::optional<double> numberFromText(std::string_view s) {
  s = trimmed(s);
  // from_chars takes no plus sign; one is allowed, but not before a minus.
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

std::optional<bool> boolFromText(std::string_view s) {
  s = trimmed(s);
  for (std::string_view yes : {"true", "yes", "1"})
    if (equalsIgnoringCase(s, yes)) return true;
  for (std::string_view no : {"false", "no", "0"})
    if (equalsIgnoringCase(s, no)) return false;
  return std::nullopt;
}

}  // namespace

double DefaultsValue::toDouble() const {
  if (const auto* d = get<double>()) return *d;
  if (const auto* b = get<bool>()) return *b ? 1 : 0;
  if (const auto* s = get<std::string>()) return numberFromText(*s).value_or(0);
  return 0;
}

bool DefaultsValue::toBool() const {
  if (const auto* b = get<bool>()) return *b;
  if (const auto* d = get<double>()) return *d != 0;
  if (const auto* s = get<std::string>()) return boolFromText(*s).value_or(false);
  return false;
}

std::optional<std::string> DefaultsValue::toString() const {
  if (const auto* s = get<std::string>()) return *s;
  if (const auto* d = get<double>()) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), *d);
    if (ec != std::errc()) return std::nullopt;
    return std::string(buffer.data(), end);
  }
  return std::nullopt;
}

double DefaultsStore::doubleForKey(std::string_view key) {
  const auto value = object(key);
  return value ? value->toDouble() : 0;
}

bool DefaultsStore::boolForKey(std::string_view key) {
  const auto value = object(key);
  return value && value->toBool();
}

std::optional<std::string> DefaultsStore::stringForKey(std::string_view key) {
  const auto value = object(key);
  return value ? value->toString() : std::nullopt;
}

std::optional<DefaultsValue::Dictionary> DefaultsStore::dictionaryForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  if (const auto* d = value->get<DefaultsValue::Dictionary>()) return *d;
  return std::nullopt;
}

std::optional<Data> DefaultsStore::dataForKey(std::string_view key) {
  auto value = object(key);
  if (!value) return std::nullopt;
  if (const auto* d = value->get<Data>()) return *d;
  return std::nullopt;
}

}  // namespace tessaloom::platform
