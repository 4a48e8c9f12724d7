// The user's settings over a defaults store and the stored arrangements in their JSON form.
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

using platform::DefaultsValue;
using platform::MemoryDefaults;
using Dictionary = DefaultsValue::Dictionary;
const double kInf = std::numeric_limits<double>::infinity();

TEST(Settings, DefaultsUntilSetAndStoredValuesHeldToSensibleBounds) {
  MemoryDefaults store;
  Settings settings(store);
  EXPECT_EQ(settings.gap(), 8.0);
  EXPECT_EQ(settings.aiRatio(), 0.4);
  EXPECT_TRUE(settings.detectAITabs());
  EXPECT_EQ(store.writeCount(), 0u);
  settings.setGap(0);
  settings.setAiRatio(0.6);
  settings.setDetectAITabs(false);
  settings.setDisplayMode(DisplayMode::mouseDisplay);
  EXPECT_EQ(store.values(), (Dictionary{{"gap", 0.0},
                                        {"aiRatio", 0.6},
                                        {"detectAITabs", false},
                                        {"displayMode", "mouseDisplay"}}));
  EXPECT_EQ(settings.displayMode(), DisplayMode::mouseDisplay);
  // Only the exact word selects the other display mode.
  const struct {
    Dictionary stored;
    double gap, aiRatio;
    bool detectAITabs;
  } cases[] = {
      {{{"gap", 0}, {"aiRatio", 0}, {"detectAITabs", false}}, 0, 0.1, false},
      {{{"gap", " 12.5 "}, {"aiRatio", "0.25"}, {"displayMode", "MouseDisplay"}}, 12.5, 0.25, true},
      {{{"gap", 1e308}, {"aiRatio", 5}, {"displayMode", 1}}, 64, 0.9, true},
      {{{"gap", -kInf}, {"aiRatio", std::nan("")}}, 8, 0.4, true}};
  for (const auto& c : cases) {
    MemoryDefaults stored(c.stored);
    const Settings read(stored);
    EXPECT_EQ(read.gap(), c.gap);
    EXPECT_EQ(read.aiRatio(), c.aiRatio) << c.gap;
    EXPECT_EQ(read.detectAITabs(), c.detectAITabs) << c.gap;
    EXPECT_EQ(read.displayMode(), DisplayMode::perDisplay) << c.gap;
  }
}

// Overrides are keyed by the identifier alone, the exact spelling first, else any canonically
// equal one; only choices that differ from the catalogue are stored, one per application.
// Unknown kinds are dropped one by one; a value that is not text makes the whole set unreadable.
TEST(Settings, OverridesDifferFromTheCatalogueOnePerApplication) {
  const std::string composed = "org.example.caf\u00E9", decomposed = "org.example.cafe\u0301";
  MemoryDefaults store(
      {{"overrides",
        Dictionary{{composed, "ai"}, {decomposed, "browser"}, {"Editor", "ai"}, {"t", "tablet"}}}});
  Settings settings(store);
  EXPECT_EQ(settings.kind(composed, "Editor"), Kind::ai);
  EXPECT_EQ(settings.kind(decomposed + "\u0301", "Editor"), Kind::ignore);
  settings.setKind(Kind::browser, composed, "Editor");
  EXPECT_EQ(settings.overrides(),
            (std::map<std::string, Kind>{{composed, Kind::browser}, {"Editor", Kind::ai}}));
  EXPECT_EQ(settings.kind(decomposed, "Editor"), Kind::browser);
  settings.setKind(Kind::ignore, decomposed, "Editor");
  EXPECT_EQ(store.object("overrides"), DefaultsValue(Dictionary{{"Editor", "ai"}}));
  MemoryDefaults unreadable({{"overrides", Dictionary{{"a", "ai"}, {"b", 1}}}});
  EXPECT_TRUE(Settings(unreadable).overrides().empty());
}

// Another process reads back what is stored, the largest arrangements under both keys included.
// Titles are cut to 1024 characters; an oversized arrangement is refused with one line and the
// older one stays; one that cannot be written at all removes the older one.
TEST(Settings, AnotherProcessReadsBackTheStoredArrangements) {
  testing::TempDir folder;
  platform::FileDefaults menuStore(folder.file("defaults.json")),
      commandStore(folder.file("defaults.json"));
  Settings menu(menuStore);
  const Settings command(commandStore);
  const std::string x1023(1023, 'x');
  ASSERT_TRUE(menu.setSnapshot({{"id", x1023 + "\u3042\u3044", 0, 0, 1, 1}}, "undoLayout"));
  EXPECT_EQ(command.snapshot("undoLayout")[0].title, x1023 + "\u3042");
  const std::vector<SavedFrame> largest(
      80, {std::string(1024, '\x02'), std::string(1024, '\x01'), 0, 0, 1, 1});
  ASSERT_TRUE(menu.setSnapshot(largest, "savedLayout"));
  ASSERT_TRUE(menu.setSnapshot(largest, "undoLayout"));
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(menu.setSnapshot(std::vector<SavedFrame>(400, largest[0]), "savedLayout"));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(command.snapshot("savedLayout"), largest);
  EXPECT_EQ(command.snapshot("undoLayout"), largest);
  ASSERT_TRUE(menu.setSnapshot({{"a", "t", kInf, 0, 1, 1}}, "undoLayout"));
  EXPECT_EQ(menuStore.object("undoLayout"), std::nullopt);
  menuStore.setObject("undoLayout", *encodeSavedFrames(largest));  // text, not data
  EXPECT_TRUE(command.snapshot("undoLayout").empty());
}

// A file an older version wrote reads as it did; the named arrangements and the monitor setting
// go into members of their own, so what an older version reads of a newer file is unchanged.
TEST(Settings, FilesOfOlderAndNewerVersionsReadAlike) {
  testing::TempDir folder;
  folder.write(
      "defaults.json",
      R"({"gap":4,"detectAITabs":false,"savedLayout":{"$data":")"
      "W3siYnVuZGxlSUQiOiJhIiwidGl0bGUiOiJ0IiwieCI6MC4wLCJ5IjowLjAsInciOjEuMCwiaCI6MS4wfV0="
      R"("}})");
  platform::FileDefaults store(folder.file("defaults.json"));
  Settings settings(store);
  EXPECT_EQ(settings.gap(), 4);
  EXPECT_FALSE(settings.detectAITabs());
  EXPECT_FALSE(settings.followMonitors());
  EXPECT_TRUE(settings.namedArrangements().empty());
  const auto saved = settings.snapshot("savedLayout");
  ASSERT_EQ(saved, (std::vector<SavedFrame>{{"a", "t", 0, 0, 1, 1}}));
  std::map<std::string, std::optional<platform::DefaultsValue>> older;
  for (const char* key : {"gap", "detectAITabs", "savedLayout"}) older[key] = store.object(key);
  settings.setFollowMonitors(true);
  ASSERT_TRUE(settings.setNamedArrangements({{"n", 1, {{"A", 1920, 1080}}, saved}}));
  for (const auto& [key, value] : older) EXPECT_EQ(store.object(key), value) << key;
}

// Texts that are not UTF-8 are written with replacement characters.
TEST(SavedFrames, WrittenCompactInFieldOrder) {
  const SavedFrame frame{"org.mozilla.firefox", "H\u00E9 \xFF", 10, -20.5, 800, 600};
  EXPECT_EQ(encodeSavedFrames({frame}),
            "[{\"bundleID\":\"org.mozilla.firefox\",\"title\":\"H\u00E9 "
            "\uFFFD\",\"x\":10.0,\"y\":-20.5,\"w\":800.0,\"h\":600.0}]");
  // Undo's members follow, and read back; mistyped ones read as absent.
  SavedFrame undo{"a", "t", 1, 2, 3, 4, 18446744073709551615u, true};
  EXPECT_EQ(encodeSavedFrames({undo}),
            R"([{"bundleID":"a","title":"t","x":1.0,"y":2.0,"w":3.0,"h":4.0,)"
            R"("window":18446744073709551615,"tiled":true}])");
  EXPECT_EQ(decodeSavedFrames(*encodeSavedFrames({undo})), std::vector<SavedFrame>{undo});
  EXPECT_EQ(decodeSavedFrames(R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":3,"h":4,)"
                              R"("window":-7,"tiled":1}])"),
            (std::vector<SavedFrame>{{"a", "t", 1, 2, 3, 4}}));
  for (double SavedFrame::*field :
       {&SavedFrame::x, &SavedFrame::y, &SavedFrame::w, &SavedFrame::h}) {
    SavedFrame bad = frame;
    bad.*field = field == &SavedFrame::y ? kInf : std::nan("");
    EXPECT_EQ(encodeSavedFrames({frame, bad}), std::nullopt);
  }
}

// Any number form, any member order and extra members (even nested beyond any parser's stack)
// are read; any fault anywhere makes the whole array unreadable.
TEST(SavedFrames, ReadStrictly) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(decodeSavedFrames(
                R"( [{"h":4,"w":3E+0,"y":-2.5E-1,"x":1,"title":"\u65e5","bundleID":"b",)"
                R"("z":{"deep":[1]}}, {"bundleID":"a","title":"","x":0,"y":0,"w":1,"h":1,"z":)" +
                deep + "}]\n"),
            (std::vector<SavedFrame>{{"b", "\u65e5", 1, -0.25, 3, 4}, {"a", "", 0, 0, 1, 1}}));
  const nlohmann::json good = {{"bundleID", "a"}, {"title", "t"}, {"x", 1},
                               {"y", 2},          {"w", 3},       {"h", 4}};
  std::vector<std::string> faults = {"", "saved", good.dump(), "[1]", "[] x", "[\"\xFF\"]", deep};
  for (const auto& [member, value] : good.items()) {  // each member missing, or of another type
    auto missing = good, mistyped = good;
    missing.erase(member);
    mistyped[member] = value.is_string() ? nlohmann::json(5) : nlohmann::json("1");
    faults.push_back(nlohmann::json::array({good, missing, good}).dump());
    faults.push_back(nlohmann::json::array({mistyped}).dump());
  }
  for (const auto& json : faults)
    EXPECT_EQ(decodeSavedFrames(json), std::vector<SavedFrame>{}) << json;
}

// Names are trimmed and bounded; stored lists keep every good entry, whatever the others hold,
// and a file without them reads as none.
TEST(NamedArrangements, NamesAreTrimmedAndEntriesReadOneByOne) {
  const std::pair<std::string, std::optional<std::string>> names[] = {
      {" \u3000仕事\t", "仕事"},
      {"a b", "a b"},
      {"", std::nullopt},
      {" \u3000 ", std::nullopt},
      {"a\x01", std::nullopt},
      {"a\u0085", std::nullopt},
      {std::string(64, 'x'), std::string(64, 'x')},
      {std::string(65, 'x'), std::nullopt}};
  for (const auto& [raw, stored] : names) EXPECT_EQ(arrangementName(raw), stored) << raw;
  EXPECT_TRUE(sameMonitors({{"A", 1, 2}, {"B", 3, 4}}, {{"B", 3, 4}, {"A", 1, 2}}));
  EXPECT_FALSE(sameMonitors({{"A", 1, 2}}, {{"A", 1, 3}}));
  EXPECT_FALSE(sameMonitors({{"A", 1, 2}}, {{"A", 1, 2}, {"A", 1, 2}}));
  const NamedArrangement work{"Work", 1e9, {{"DP-1", 1920, 1080}}, {{"a", "t", 1, 2, 3, 4}}};
  auto doubled = nlohmann::json::parse(*encodeNamedArrangements({work}));
  doubled.push_back(doubled[0]);  // a second of one name
  doubled.push_back({{"name", "x"}, {"savedAt", 1}, {"monitors", nlohmann::json::array()}});
  doubled.push_back(nlohmann::json::parse(*encodeNamedArrangements({{"ok", 2, {}, {}}}))[0]);
  EXPECT_EQ(decodeNamedArrangements(doubled.dump()),
            (std::vector<NamedArrangement>{work, {"ok", 2, {}, {}}}));
  EXPECT_EQ(encodeNamedArrangements({{"n", kInf, {}, {}}}), std::nullopt);
  platform::MemoryDefaults store;
  Settings settings(store);
  EXPECT_TRUE(settings.namedArrangements().empty());
  ASSERT_TRUE(settings.setNamedArrangements({work}));
  EXPECT_EQ(settings.namedArrangements(), std::vector<NamedArrangement>{work});
  EXPECT_TRUE(settings.snapshot("savedLayout").empty()) << "the unnamed one apart";
}

}  // namespace
}  // namespace tessaloom
