// The user's settings over a defaults store: defaults supplied by the getters, conversions of
// stored values, per-application overrides and the stored arrangements.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "catalog/catalog.h"
#include "platform/posix/file_defaults.h"
#include "platform/sim/memory_defaults.h"
#include "support/temp_folder.h"

namespace tessaloom {
namespace {

using platform::Data;
using platform::DefaultsValue;
using platform::MemoryDefaults;
using Dictionary = DefaultsValue::Dictionary;

// A browser and an application the catalogue does not know.
constexpr const char* kBrowserID = "com.google.Chrome";
constexpr const char* kBrowserName = "Google Chrome";
constexpr const char* kUnknownID = "org.example.editor";
constexpr const char* kUnknownName = "Editor";

TEST(Settings, FreshStoreGivesTheDefaultsAndReadingWritesNothing) {
  MemoryDefaults store;
  const Settings settings(store);
  EXPECT_EQ(settings.gap(), 8.0);
  EXPECT_EQ(settings.displayMode(), DisplayMode::perDisplay);
  EXPECT_EQ(settings.aiRatio(), 0.4);
  EXPECT_TRUE(settings.detectAITabs());
  EXPECT_TRUE(settings.overrides().empty());
  EXPECT_EQ(settings.kind(kBrowserID, kBrowserName), Kind::browser);
  EXPECT_TRUE(settings.snapshot("undoLayout").empty());
  EXPECT_TRUE(settings.snapshot("savedLayout").empty());
  EXPECT_EQ(store.writeCount(), 0u);
}

TEST(Settings, StoredNumbersAreConvertedAndHeldToSensibleBounds) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    Dictionary stored;
    double gap, aiRatio;
    bool detectAITabs;
  } cases[] = {
      {"zero and false", {{"gap", 0}, {"aiRatio", 0}, {"detectAITabs", false}}, 0, 0.1, false},
      {"numeric strings",
       {{"gap", " 12.5 "}, {"aiRatio", "0.25"}, {"detectAITabs", "YES"}},
       12.5,
       0.25,
       true},
      {"words", {{"gap", "wide"}, {"aiRatio", "half"}, {"detectAITabs", "maybe"}}, 0, 0.1, false},
      {"booleans and numbers",
       {{"gap", true}, {"aiRatio", false}, {"detectAITabs", 2}},
       1,
       0.1,
       true},
      {"containers",
       {{"gap", Dictionary{}}, {"aiRatio", Data{}}, {"detectAITabs", Dictionary{}}},
       0,
       0.1,
       false},
      {"boolean-like zero", {{"detectAITabs", "0"}}, 8, 0.4, false},
      // Absurd numbers are held to the bounds; what is not a finite number is the default.
      {"below the bounds", {{"gap", -500}, {"aiRatio", -1}}, 0, 0.1, true},
      {"above the bounds", {{"gap", 1e308}, {"aiRatio", 5}}, 64, 0.9, true},
      {"not numbers", {{"gap", kNaN}, {"aiRatio", kNaN}}, 8, 0.4, true},
      {"endless", {{"gap", kInf}, {"aiRatio", -kInf}}, 8, 0.4, true},
      {"every value the menu offers", {{"gap", 16}, {"aiRatio", 0.3}}, 16, 0.3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDefaults store(c.stored);
    const Settings settings(store);
    EXPECT_EQ(settings.gap(), c.gap);
    EXPECT_EQ(settings.aiRatio(), c.aiRatio);
    EXPECT_EQ(settings.detectAITabs(), c.detectAITabs);
  }
}

TEST(Settings, OnlyTheExactRawValueSelectsTheMouseDisplay) {
  const struct {
    std::optional<DefaultsValue> stored;
    DisplayMode expected;
  } cases[] = {
      {std::nullopt, DisplayMode::perDisplay},
      {"mouseDisplay", DisplayMode::mouseDisplay},
      {"perDisplay", DisplayMode::perDisplay},
      {"MouseDisplay", DisplayMode::perDisplay},
      {"mouseDisplay ", DisplayMode::perDisplay},
      {"", DisplayMode::perDisplay},
      {1, DisplayMode::perDisplay},
      {true, DisplayMode::perDisplay},
  };
  for (const auto& c : cases) {
    MemoryDefaults store;
    if (c.stored) store.setObject("displayMode", *c.stored);
    EXPECT_EQ(Settings(store).displayMode(), c.expected);
  }
}

TEST(Settings, SettersStoreTheDocumentedTypes) {
  MemoryDefaults store;
  Settings settings(store);
  settings.setGap(0);
  settings.setAiRatio(0.6);
  settings.setDetectAITabs(false);
  settings.setDisplayMode(DisplayMode::mouseDisplay);
  settings.setOverrides({{"a", Kind::ai}, {"b", Kind::ignore}, {"c", Kind::browser}});
  EXPECT_EQ(
      store.values(),
      (Dictionary{{"gap", 0.0},
                  {"aiRatio", 0.6},
                  {"detectAITabs", false},
                  {"displayMode", "mouseDisplay"},
                  {"overrides", Dictionary{{"a", "ai"}, {"b", "ignore"}, {"c", "browser"}}}}));
  EXPECT_EQ(settings.gap(), 0);
  EXPECT_FALSE(settings.detectAITabs());
  settings.setDisplayMode(DisplayMode::perDisplay);
  EXPECT_EQ(store.object("displayMode"), DefaultsValue("perDisplay"));
}

TEST(SettingsOverrides, UnknownKindsAreDroppedOneByOne) {
  MemoryDefaults store({{"overrides", Dictionary{{"a", "ai"}, {"t", "tablet"}, {"u", "AI"}}}});
  Settings settings(store);
  EXPECT_EQ(settings.overrides(), (std::map<std::string, Kind>{{"a", Kind::ai}}));

  settings.setKind(Kind::ai, kUnknownID, kUnknownName);
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{{"a", "ai"}, {kUnknownID, "ai"}}));
}

TEST(SettingsOverrides, OneValueThatIsNotTextEmptiesTheWholeDictionary) {
  for (const DefaultsValue& bad : {DefaultsValue(1), DefaultsValue(true),
                                   DefaultsValue(Dictionary{}), DefaultsValue(Data{})}) {
    MemoryDefaults store({{"overrides", Dictionary{{"a", "ai"}, {"b", bad}}}});
    EXPECT_TRUE(Settings(store).overrides().empty());
  }
  for (const DefaultsValue& notDictionary :
       {DefaultsValue("ai"), DefaultsValue(DefaultsValue::Array{"ai"}), DefaultsValue(3)}) {
    MemoryDefaults store({{"overrides", notDictionary}});
    EXPECT_TRUE(Settings(store).overrides().empty());
  }
}

TEST(SettingsOverrides, SettingTheDefaultRewritesOnlyTheValidEntries) {
  MemoryDefaults store({{"overrides", Dictionary{{"a", "ai"}, {"t", "tablet"}}}});
  Settings settings(store);
  settings.setKind(Kind::ignore, kUnknownID, kUnknownName);
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{{"a", "ai"}}));
}

TEST(SettingsOverrides, OnlyDifferencesFromTheCatalogueAreStored) {
  MemoryDefaults store;
  Settings settings(store);
  settings.setKind(Kind::ai, kBrowserID, kBrowserName);
  EXPECT_EQ(settings.overrides(), (std::map<std::string, Kind>{{kBrowserID, Kind::ai}}));
  EXPECT_EQ(settings.kind(kBrowserID, kBrowserName), Kind::ai);

  settings.setKind(Kind::browser, kBrowserID, kBrowserName);
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{}));
  EXPECT_EQ(settings.kind(kBrowserID, kBrowserName), Kind::browser);
}

TEST(SettingsOverrides, KeyedByBundleIdentifierOnly) {
  MemoryDefaults store;
  Settings settings(store);
  settings.setKind(Kind::ai, "org.example.one", kUnknownName);
  EXPECT_EQ(settings.kind("org.example.one", kUnknownName), Kind::ai);
  EXPECT_EQ(settings.kind("org.example.two", kUnknownName), Kind::ignore);
  // An entry named like the application is not looked up by name.
  settings.setOverrides({{kUnknownName, Kind::browser}});
  EXPECT_EQ(settings.kind("org.example.one", kUnknownName), Kind::ignore);
  // The override wins over the catalogue.
  settings.setOverrides({{kBrowserID, Kind::ignore}});
  EXPECT_EQ(settings.kind(kBrowserID, kBrowserName), Kind::ignore);
}

TEST(SettingsOverrides, CanonicallyEquivalentIdentifiersAreOneApplication) {
  const std::string composed = "org.example.caf\xC3\xA9";     // é as one code point
  const std::string decomposed = "org.example.cafe\xCC\x81";  // e + combining acute
  MemoryDefaults store({{"overrides", Dictionary{{decomposed, "ai"}}}});
  Settings settings(store);
  EXPECT_EQ(settings.kind(composed, kUnknownName), Kind::ai);

  settings.setKind(Kind::browser, composed, kUnknownName);
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{{composed, "browser"}}));
  settings.setKind(Kind::ignore, decomposed, kUnknownName);
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{}));
}

const std::vector<SavedFrame> kFrames = {
    {"com.google.Chrome", "検索 — \"quoted\" \\ 🙂", 10, 20, 800, 600},
    {"com.openai.chat", "", -1440, 0.5, 1440, 900},
};

TEST(SettingsSnapshots, StoredAsDataOfTheJsonText) {
  MemoryDefaults store;
  Settings settings(store);
  (void)settings.setSnapshot(kFrames, "savedLayout");
  const auto data = store.dataForKey("savedLayout");
  ASSERT_NE(data, std::nullopt);
  EXPECT_EQ(std::string(data->bytes.begin(), data->bytes.end()), encodeSavedFrames(kFrames));
  EXPECT_EQ(settings.snapshot("savedLayout"), kFrames);
  EXPECT_TRUE(settings.snapshot("undoLayout").empty());
}

TEST(SettingsSnapshots, UnreadableValuesGiveAnEmptyListAndStayStored) {
  const std::string json = *encodeSavedFrames(kFrames);
  const DefaultsValue cases[] = {
      DefaultsValue(json),  // the right text, but not data
      DefaultsValue(Data{{'n', 'o', 't'}}),
      DefaultsValue(DefaultsValue::Array{}),
      DefaultsValue(Data{}),
  };
  for (const auto& stored : cases) {
    MemoryDefaults store({{"undoLayout", stored}});
    EXPECT_TRUE(Settings(store).snapshot("undoLayout").empty());
    EXPECT_EQ(store.object("undoLayout"), stored);
  }
}

TEST(SettingsSnapshots, EmptyListIsStored) {
  MemoryDefaults store;
  Settings settings(store);
  (void)settings.setSnapshot({}, "savedLayout");
  EXPECT_EQ(store.dataForKey("savedLayout"), (Data{{'[', ']'}}));
  EXPECT_TRUE(settings.snapshot("savedLayout").empty());
}

TEST(SettingsSnapshots, RecordsThatCannotBeEncodedRemoveTheOldArrangement) {
  MemoryDefaults store;
  Settings settings(store);
  (void)settings.setSnapshot(kFrames, "undoLayout");
  auto bad = kFrames;
  bad[1].w = std::numeric_limits<double>::infinity();
  (void)settings.setSnapshot(bad, "undoLayout");
  EXPECT_EQ(store.object("undoLayout"), std::nullopt);
  EXPECT_TRUE(settings.snapshot("undoLayout").empty());
}

TEST(Settings, TwoProcessesShareTheDefaultsFile) {
  testing_support::TempFolder folder;
  platform::FileDefaults menuStore(folder / "defaults.json");
  platform::FileDefaults commandStore(folder / "defaults.json");
  Settings menu(menuStore);
  const Settings command(commandStore);
  menu.setDisplayMode(DisplayMode::mouseDisplay);
  menu.setGap(0);
  menu.setKind(Kind::ai, kBrowserID, kBrowserName);
  (void)menu.setSnapshot(kFrames, "savedLayout");
  EXPECT_EQ(command.displayMode(), DisplayMode::mouseDisplay);
  EXPECT_EQ(command.gap(), 0);
  EXPECT_EQ(command.kind(kBrowserID, kBrowserName), Kind::ai);
  EXPECT_EQ(command.snapshot("savedLayout"), kFrames);
}

TEST(SettingsSnapshots, LongTextsAreCutAndOversizedArrangementsRefused) {
  MemoryDefaults store;
  Settings settings(store);
  const std::string title = std::string(1023, 'x') + "\xE3\x81\x82\xE3\x81\x84";
  ASSERT_TRUE(settings.setSnapshot({{"id", title, 0, 0, 1, 1}}, "savedLayout"));
  EXPECT_EQ(settings.snapshot("savedLayout")[0].title, std::string(1023, 'x') + "\xE3\x81\x82");
  const auto kept = store.object("savedLayout");
  std::vector<SavedFrame> huge(200, SavedFrame{"id", std::string(1024, '\x01'), 0, 0, 1, 1});
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(settings.setSnapshot(huge, "savedLayout"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(store.object("savedLayout"), kept);
}

// The largest arrangements the writer accepts, under both keys, still make a defaults file
// that a second process reads back whole.
TEST(SettingsSnapshots, WhatIsStoredIsAlwaysReadBack) {
  testing_support::TempFolder folder;
  platform::FileDefaults writer(folder / "defaults.json");
  Settings settings(writer);
  std::vector<SavedFrame> largest(
      80, SavedFrame{std::string(1024, '\x02'), std::string(1024, '\x01'), 0, 0, 1, 1});
  ASSERT_TRUE(settings.setSnapshot(largest, "savedLayout"));
  ASSERT_TRUE(settings.setSnapshot(largest, "undoLayout"));
  const std::vector<SavedFrame> tooLarge(400, largest[0]);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(settings.setSnapshot(tooLarge, "savedLayout"));
  ::testing::internal::GetCapturedStderr();
  platform::FileDefaults reader(folder / "defaults.json");
  EXPECT_EQ(Settings(reader).snapshot("savedLayout"), largest);
  EXPECT_EQ(Settings(reader).snapshot("undoLayout"), largest);
}

}  // namespace
}  // namespace tessaloom
