// The user's settings over a defaults store (defaults, stored values held to bounds, overrides)
// and the stored arrangements with their strictly read JSON form.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/posix/file_defaults.h"
#include "platform/sim/memory_defaults.h"
#include "support/temp_dir.h"

namespace tessaloom {
namespace {

using platform::Data;
using platform::DefaultsValue;
using platform::MemoryDefaults;
using Dictionary = DefaultsValue::Dictionary;
using Overrides = std::map<std::string, Kind>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// Nesting far deeper than any parser's stack allows.
std::string deep() {
  return std::string(100000, '[') + std::string(100000, ']');
}
const std::vector<SavedFrame> kFrames = {
    {"com.google.Chrome", "検索 \"q\" \\ 🙂", 10, 20, 800, 600},
    {"com.openai.chat", "", -1440, 0.5, 1440, 900}};

TEST(Settings, AFreshStoreGivesTheDefaultsAndReadingWritesNothing) {
  MemoryDefaults store;
  const Settings settings(store);
  EXPECT_EQ(settings.gap(), 8.0);
  EXPECT_EQ(settings.displayMode(), DisplayMode::perDisplay);
  EXPECT_EQ(settings.aiRatio(), 0.4);
  EXPECT_TRUE(settings.detectAITabs());
  EXPECT_TRUE(settings.overrides().empty());
  EXPECT_TRUE(settings.snapshot("savedLayout").empty());
  EXPECT_EQ(store.writeCount(), 0u);
}

TEST(Settings, StoredValuesAreConvertedAndHeldToSensibleBounds) {
  const struct {
    Dictionary stored;
    double gap, aiRatio;
    bool detectAITabs;
  } cases[] = {
      {{{"gap", 0}, {"aiRatio", 0}, {"detectAITabs", false}}, 0, 0.1, false},
      {{{"gap", " 12.5 "}, {"aiRatio", "0.25"}, {"detectAITabs", "YES"}}, 12.5, 0.25, true},
      {{{"gap", -500}, {"aiRatio", -1}, {"detectAITabs", "0"}}, 0, 0.1, false},
      {{{"gap", 1e308}, {"aiRatio", 5}}, 64, 0.9, true},
      {{{"gap", kNaN}, {"aiRatio", -kInf}}, 8, 0.4, true},
  };
  for (const auto& c : cases) {
    MemoryDefaults store(c.stored);
    const Settings settings(store);
    EXPECT_EQ(settings.gap(), c.gap) << c.gap;
    EXPECT_EQ(settings.aiRatio(), c.aiRatio) << c.gap;
    EXPECT_EQ(settings.detectAITabs(), c.detectAITabs) << c.gap;
  }
  for (const DefaultsValue& other : {DefaultsValue("MouseDisplay"), DefaultsValue(1)}) {
    MemoryDefaults store({{"displayMode", other}});
    EXPECT_EQ(Settings(store).displayMode(), DisplayMode::perDisplay);
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
  EXPECT_EQ(settings.displayMode(), DisplayMode::mouseDisplay);
}

TEST(SettingsOverrides, UnreadableEntriesAreDroppedOneByOneAndANonTextValueDropsAll) {
  MemoryDefaults store({{"overrides", Dictionary{{"a", "ai"}, {"t", "tablet"}, {"u", "AI"}}}});
  Settings settings(store);
  EXPECT_EQ(settings.overrides(), (Overrides{{"a", Kind::ai}}));
  settings.setKind(Kind::ignore, "org.example.editor", "Editor");
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{{"a", "ai"}}));
  for (const DefaultsValue& bad :
       {DefaultsValue(Dictionary{{"a", "ai"}, {"b", 1}}), DefaultsValue("ai"), DefaultsValue(3)}) {
    MemoryDefaults other({{"overrides", bad}});
    EXPECT_TRUE(Settings(other).overrides().empty());
  }
}

// An override is keyed by the identifier alone, beats the catalogue, and is found under any
// canonically equal spelling; a choice equal to the catalogue's removes every spelling.
TEST(SettingsOverrides, OnlyDifferencesFromTheCatalogueAreStoredOnePerApplication) {
  const std::string composed = "org.example.caf\u00E9", decomposed = "org.example.cafe\u0301";
  MemoryDefaults store;
  Settings settings(store);
  settings.setKind(Kind::ai, "com.google.Chrome", "Google Chrome");
  EXPECT_EQ(settings.kind("com.google.Chrome", "Google Chrome"), Kind::ai);
  EXPECT_EQ(settings.kind("com.google.Chrome2", "Google Chrome"), Kind::ignore);
  settings.setKind(Kind::browser, "com.google.Chrome", "Google Chrome");
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{}));

  settings.setOverrides({{composed, Kind::ai}, {decomposed, Kind::browser}, {"Editor", Kind::ai}});
  EXPECT_EQ(settings.kind(decomposed, "Editor"), Kind::browser);
  EXPECT_EQ(settings.kind("org.example.cafe\u0301\u0301", "Editor"), Kind::ignore);
  settings.setKind(Kind::browser, "org.example.caf\u00E9", "Editor");
  EXPECT_EQ(settings.overrides(), (Overrides{{composed, Kind::browser}, {"Editor", Kind::ai}}));
  settings.setKind(Kind::ignore, decomposed, "Editor");
  EXPECT_EQ(settings.overrides(), (Overrides{{"Editor", Kind::ai}}));
}

TEST(SettingsSnapshots, StoredAsTheJsonTextAndReadStrictly) {
  MemoryDefaults store;
  Settings settings(store);
  ASSERT_TRUE(settings.setSnapshot(kFrames, "savedLayout"));
  const auto data = store.dataForKey("savedLayout");
  ASSERT_TRUE(data);
  EXPECT_EQ(std::string(data->bytes.begin(), data->bytes.end()), encodeSavedFrames(kFrames));
  EXPECT_EQ(settings.snapshot("savedLayout"), kFrames);
  EXPECT_TRUE(settings.snapshot("undoLayout").empty());
  // Unreadable values read as nothing and stay stored.
  for (const DefaultsValue& stored : {DefaultsValue(*encodeSavedFrames(kFrames)),
                                      DefaultsValue(Data{{'n', 'o'}}), DefaultsValue(Data{})}) {
    MemoryDefaults other({{"undoLayout", stored}});
    EXPECT_TRUE(Settings(other).snapshot("undoLayout").empty());
    EXPECT_EQ(other.object("undoLayout"), stored);
  }
  // Records that cannot be written remove the older arrangement rather than leave it.
  auto bad = kFrames;
  bad[1].w = kInf;
  EXPECT_TRUE(settings.setSnapshot(bad, "savedLayout"));
  EXPECT_EQ(store.object("savedLayout"), std::nullopt);
}

// What is stored, the largest arrangement accepted under both keys included, another process
// reads back whole; titles are cut to 1024 characters; an arrangement over the size limit is
// refused with one line of explanation and the older one stays.
TEST(SettingsSnapshots, AnotherProcessReadsBackWhatIsStored) {
  testing::TempDir folder;
  platform::FileDefaults menuStore(folder.file("defaults.json"));
  platform::FileDefaults commandStore(folder.file("defaults.json"));
  Settings menu(menuStore);
  const Settings command(commandStore);
  menu.setGap(0);
  menu.setKind(Kind::ai, "com.google.Chrome", "Google Chrome");
  const std::string x1023(1023, 'x');
  ASSERT_TRUE(menu.setSnapshot({{"id", x1023 + "\u3042\u3044", 0, 0, 1, 1}}, "undoLayout"));
  EXPECT_EQ(command.snapshot("undoLayout")[0].title, x1023 + "\u3042");
  const std::vector<SavedFrame> largest(80,
                                        {std::string(1024, '\x02'), x1023 + "\x01", 0, 0, 1, 1});
  ASSERT_TRUE(menu.setSnapshot(largest, "savedLayout"));
  ASSERT_TRUE(menu.setSnapshot(largest, "undoLayout"));
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(menu.setSnapshot(std::vector<SavedFrame>(400, largest[0]), "savedLayout"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(command.gap(), 0);
  EXPECT_EQ(command.kind("com.google.Chrome", "Google Chrome"), Kind::ai);
  EXPECT_EQ(command.snapshot("savedLayout"), largest);
  EXPECT_EQ(command.snapshot("undoLayout"), largest);
}

TEST(SavedFrames, WrittenCompactInFieldOrderAndReadBackExactly) {
  EXPECT_EQ(encodeSavedFrames({}), "[]");
  EXPECT_EQ(encodeSavedFrames({{"org.mozilla.firefox", "Hé", 10, -20.5, 800, 600}}),
            R"([{"bundleID":"org.mozilla.firefox","title":"Hé","x":10.0,"y":-20.5,)"
            R"("w":800.0,"h":600.0}])");
  const std::vector<SavedFrame> frames = {
      {"c", std::string("\"q\" \\ \t\n\0\x01", 9), -0.0, 5e-324, 1.0 / 3, 1e308},
      {"app\xC3", "bad \xFF\xFE", 0.1, std::numeric_limits<double>::max(), 3, 4}};
  const auto read = decodeSavedFrames(*encodeSavedFrames(frames));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0], frames[0]);
  EXPECT_TRUE(std::signbit(read[0].x));
  EXPECT_EQ(read[1], (SavedFrame{"app\uFFFD", "bad \uFFFD\uFFFD", 0.1, frames[1].y, 3, 4}));
  for (double SavedFrame::*field :
       {&SavedFrame::x, &SavedFrame::y, &SavedFrame::w, &SavedFrame::h}) {
    SavedFrame bad{"a", "t", 1, 2, 3, 4};
    bad.*field = field == &SavedFrame::y ? kInf : kNaN;
    EXPECT_EQ(encodeSavedFrames({kFrames[0], bad}), std::nullopt);
  }
}

TEST(SavedFrames, ReaderTakesAnyNumberFormAndIgnoresExtraMembers) {
  EXPECT_EQ(decodeSavedFrames(R"( [{"h":4,"w":3E+0,"y":-2.5E-1,"x":1,"title":"\u65e5\ud83d\ude42",)"
                              R"("bundleID":"b","z":{"deep":[1]}}, {"bundleID":"a","title":"",)"
                              R"("x":0,"y":0,"w":1,"h":1,"z":)" +
                              deep() + "}]\n"),
            (std::vector<SavedFrame>{{"b", "日🙂", 1, -0.25, 3, 4}, {"a", "", 0, 0, 1, 1}}));
}

TEST(SavedFrames, AnyFaultMakesTheWholeArrayUnreadable) {
  const nlohmann::json good = {{"bundleID", "a"}, {"title", "t"}, {"x", 1},
                               {"y", 2},          {"w", 3},       {"h", 4}};
  std::vector<std::string> faults = {"", "saved", good.dump(), "[1]", "[] x", "[\"\xFF\"]", deep()};
  // Each member missing, or of the wrong type, in one record among good ones.
  for (const auto& [member, value] : good.items()) {
    auto missing = good, mistyped = good;
    missing.erase(member);
    mistyped[member] = value.is_string() ? nlohmann::json(5) : nlohmann::json("1");
    faults.push_back(nlohmann::json::array({good, missing, good}).dump());
    faults.push_back(nlohmann::json::array({mistyped}).dump());
  }
  for (const auto& json : faults)
    EXPECT_EQ(decodeSavedFrames(json), std::vector<SavedFrame>{}) << json;
}

}  // namespace
}  // namespace tessaloom
