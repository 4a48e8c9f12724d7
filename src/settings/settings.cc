#include "settings/settings.h"

#include "catalog/catalog.h"
#include "catalog/text.h"
#include "platform/defaults_store.h"
#include "platform/services.h"

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
constexpr std::string_view kOverridesKey = "overrides";  // absent: no overrides

double read(DefaultsStore& store, const Setting<double>& setting) {
  const auto value = store.object(setting.key);
  return value ? value->toDouble() : setting.fallback;
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
  for (const auto& [bundleID, value] : *stored)
    if (!value.get<std::string>()) return {};
  std::map<std::string, Kind> overrides;
  for (const auto& [bundleID, value] : *stored)
    if (const auto kind = kindFromRaw(*value.get<std::string>()))
      overrides.emplace(bundleID, *kind);
  return overrides;
}

/// The stored identifier that denotes `bundleID`: itself, else a canonically equivalent one.
std::map<std::string, Kind>::const_iterator findOverride(
    const std::map<std::string, Kind>& overrides, std::string_view bundleID) {
  const auto exact = overrides.find(std::string(bundleID));
  if (exact != overrides.end()) return exact;
  for (auto it = overrides.begin(); it != overrides.end(); ++it)
    if (text::equal(it->first, bundleID)) return it;
  return overrides.end();
}

}  // namespace

Settings& Settings::shared() {
  static Settings instance;
  return instance;
}

platform::DefaultsStore& Settings::store() const {
  return store_ ? *store_ : *platform::services().defaults;
}

double Settings::gap() const {
  return read(store(), kGap);
}
void Settings::setGap(double value) {
  store().setObject(kGap.key, value);
}

DisplayMode Settings::displayMode() const {
  return read(store(), kDisplayMode);
}
void Settings::setDisplayMode(DisplayMode mode) {
  store().setObject(kDisplayMode.key, std::string(rawValue(mode)));
}

double Settings::aiRatio() const {
  return read(store(), kAiRatio);
}
void Settings::setAiRatio(double value) {
  store().setObject(kAiRatio.key, value);
}

bool Settings::detectAITabs() const {
  return read(store(), kDetectAITabs);
}
void Settings::setDetectAITabs(bool value) {
  store().setObject(kDetectAITabs.key, value);
}

std::map<std::string, Kind> Settings::overrides() const {
  return readOverrides(store());
}

void Settings::setOverrides(const std::map<std::string, Kind>& overrides) {
  DefaultsValue::Dictionary stored;
  for (const auto& [bundleID, kind] : overrides)
    stored.emplace(bundleID, std::string(rawValue(kind)));
  store().setObject(kOverridesKey, std::move(stored));
}

Kind Settings::kind(std::string_view bundleID, std::string_view name) const {
  return kind(readOverrides(store()), bundleID, name);
}

Kind Settings::kind(const std::map<std::string, Kind>& overrides, std::string_view bundleID,
                    std::string_view name) {
  const auto it = findOverride(overrides, bundleID);
  if (it != overrides.end()) return it->second;
  return Catalog::defaultKind(bundleID, name);
}

void Settings::setKind(Kind kind, std::string_view bundleID, std::string_view name) {
  auto overrides = readOverrides(store());
  // One entry per application, whichever of its equivalent spellings was stored before.
  for (auto it = findOverride(overrides, bundleID); it != overrides.end();
       it = findOverride(overrides, bundleID))
    overrides.erase(it);
  if (kind != Catalog::defaultKind(bundleID, name)) overrides.emplace(bundleID, kind);
  setOverrides(overrides);
}

std::vector<SavedFrame> Settings::snapshot(std::string_view key) const {
  const auto data = store().dataForKey(key);
  if (!data) return {};
  const auto& bytes = data->bytes;
  return decodeSavedFrames(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Settings::setSnapshot(const std::vector<SavedFrame>& frames, std::string_view key) {
  const auto json = encodeSavedFrames(frames);
  if (!json) {
    // An arrangement that cannot be stored must not leave an older one in its place.
    store().removeObject(key);
    return;
  }
  store().setObject(key, platform::Data{{json->begin(), json->end()}});
}

}  // namespace tessaloom
