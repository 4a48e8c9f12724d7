#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "base/language.h"
#include "catalog/catalog.h"
#include "platform/defaults_store.h"

namespace tessaloom {
namespace {

using platform::DefaultsStore;
using platform::DefaultsValue;

/// One stored setting: its key and the value its getter gives while the key holds nothing.
template <class T>
struct Setting {
  std::string_view key;
  T fallback;
};

// The settings table. The defaults are never written to the store: each getter supplies its
// own while the key is absent, so a stored 0 or false is honoured.
constexpr Setting<double> kGap{"gap", 8.0};
constexpr Setting<DisplayMode> kDisplayMode{"displayMode", DisplayMode::perDisplay};
constexpr Setting<double> kAiRatio{"aiRatio", 0.4};
constexpr Setting<bool> kDetectAITabs{"detectAITabs", true};
constexpr Setting<bool> kFollowMonitors{"restoreForMonitors", false};
constexpr std::string_view kOverridesKey = "overrides";  // absent: no overrides
constexpr std::string_view kNamedKey = "namedLayouts";   // absent: none

// A stored number outside [low, high] reads as the nearest bound; one that is not a finite
// number as the default.
double read(DefaultsStore& store, const Setting<double>& setting, double low, double high) {
  const auto value = store.object(setting.key);
  const double v = value ? value->toDouble() : setting.fallback;
  return std::isfinite(v) ? std::clamp(v, low, high) : setting.fallback;
}

bool read(DefaultsStore& store, const Setting<bool>& setting) {
  const auto value = store.object(setting.key);
  return value ? value->toBool() : setting.fallback;
}

// Only the exact raw value of the other mode selects it; anything else is the default.
DisplayMode read(DefaultsStore& store, const Setting<DisplayMode>& setting) {
  const auto raw = store.stringForKey(setting.key);
  const auto mode = raw ? displayModeFromRaw(*raw) : std::nullopt;
  return mode.value_or(setting.fallback);
}

std::map<std::string, Kind> readOverrides(DefaultsStore& store) {
  const auto stored = store.dictionaryForKey(kOverridesKey);
  if (!stored) return {};
  // One value that is not text makes the whole dictionary unreadable; unknown kinds are
  // dropped one by one.
  for (const auto& [appId, value] : *stored)
    if (!value.get<std::string>()) return {};
  std::map<std::string, Kind> overrides;
  for (const auto& [appId, value] : *stored)
    if (const auto kind = kindFromRaw(*value.get<std::string>())) overrides.emplace(appId, *kind);
  return overrides;
}

/// The stored identifier that denotes `appId`: itself, else the same application spelled
/// otherwise.
std::map<std::string, Kind>::const_iterator findOverride(
    const std::map<std::string, Kind>& overrides, std::string_view appId) {
  const auto exact = overrides.find(std::string(appId));
  if (exact != overrides.end()) return exact;
  for (auto it = overrides.begin(); it != overrides.end(); ++it)
    if (Catalog::sameApp(it->first, appId)) return it;
  return overrides.end();
}

}  // namespace

double Settings::gap() const {
  return read(store_, kGap, 0, kMaxGap);
}
void Settings::setGap(double value) {
  store_.setObject(kGap.key, value);
}

DisplayMode Settings::displayMode() const {
  return read(store_, kDisplayMode);
}
void Settings::setDisplayMode(DisplayMode mode) {
  store_.setObject(kDisplayMode.key, std::string(rawValue(mode)));
}

double Settings::aiRatio() const {
  return read(store_, kAiRatio, kMinAiRatio, kMaxAiRatio);
}
void Settings::setAiRatio(double value) {
  store_.setObject(kAiRatio.key, value);
}

bool Settings::detectAITabs() const {
  return read(store_, kDetectAITabs);
}
void Settings::setDetectAITabs(bool value) {
  store_.setObject(kDetectAITabs.key, value);
}

bool Settings::followMonitors() const {
  return read(store_, kFollowMonitors);
}
void Settings::setFollowMonitors(bool value) {
  store_.setObject(kFollowMonitors.key, value);
}

std::map<std::string, Kind> Settings::overrides() const {
  return readOverrides(store_);
}

void Settings::setOverrides(const std::map<std::string, Kind>& overrides) {
  DefaultsValue::Dictionary stored;
  for (const auto& [appId, kind] : overrides) stored.emplace(appId, std::string(rawValue(kind)));
  store_.setObject(kOverridesKey, std::move(stored));
}

Kind Settings::kind(std::string_view appId, std::string_view name) const {
  return kind(readOverrides(store_), appId, name);
}

Kind Settings::kind(const std::map<std::string, Kind>& overrides, std::string_view appId,
                    std::string_view name) {
  const auto it = findOverride(overrides, appId);
  if (it != overrides.end()) return it->second;
  return Catalog::defaultKind(appId, name);
}

void Settings::setKind(Kind kind, std::string_view appId, std::string_view name) {
  auto overrides = readOverrides(store_);
  // One entry per application, whichever of its equivalent spellings was stored before.
  for (auto it = findOverride(overrides, appId); it != overrides.end();
       it = findOverride(overrides, appId))
    overrides.erase(it);
  if (kind != Catalog::defaultKind(appId, name)) overrides.emplace(appId, kind);
  setOverrides(overrides);
}

std::vector<SavedFrame> Settings::snapshot(std::string_view key) const {
  const auto data = store_.dataForKey(key);
  if (!data) return {};
  const auto& bytes = data->bytes;
  return decodeSavedFrames(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Outcome Settings::setSnapshot(const std::vector<SavedFrame>& frames, std::string_view key) {
  const auto json = encodeSavedFrames(frames);
  if (!json) {
    // An arrangement that cannot be stored must not leave an older one in its place.
    store_.removeObject(key);
    return {};
  }
  if (json->size() > kMaxEncodedBytes) {
    // Written, it would make the whole defaults file unreadable.
    Failure failure{language::format(
        language::trn("配置を保存できません（%zu枚の記録が大きすぎます）",
                      "配置を保存できません（%zu枚の記録が大きすぎます）", frames.size()),
        frames.size())};
    std::cerr << failure.message << "\n";
    return failure;
  }
  if (!store_.setObject(key, platform::Data{{json->begin(), json->end()}}))
    return Failure{language::tr("配置を保存できませんでした")};
  return {};
}

std::vector<NamedArrangement> Settings::namedArrangements() const {
  const auto data = store_.dataForKey(kNamedKey);
  if (!data) return {};
  const auto& bytes = data->bytes;
  return decodeNamedArrangements(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Outcome Settings::setNamedArrangements(const std::vector<NamedArrangement>& list) {
  const auto json = encodeNamedArrangements(list);
  if (!json || json->size() > kMaxEncodedNamedBytes)
    return Failure{language::tr("配置を保存できません（保存した配置が多すぎるか大きすぎます）")};
  if (!store_.setObject(kNamedKey, platform::Data{{json->begin(), json->end()}}))
    return Failure{language::tr("配置を保存できませんでした")};
  return {};
}

}  // namespace tessaloom
