// The defaults file: its form, where it lives, and that no corrupt, unreadable, linked or
// concurrently written file, nor a writer killed halfway, loses what the user stored.
#include "platform/posix/file_defaults.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using Dictionary = DefaultsValue::Dictionary;
using Array = DefaultsValue::Array;
using nlohmann::json;
using testing::TempDir;

std::string nested(int depth) {
  return "{\"a\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST(FileDefaults, EveryKindOfValueSurvivesAWriteAndAFreshReadInAPrivateFile) {
  TempDir dir;
  const fs::path path = dir.path() / "config/tessaloom/defaults.json";
  std::vector<std::uint8_t> allBytes;
  for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<std::uint8_t>(i));
  const Dictionary values{
      {"extremes", Array{5e-324, 1.7976931348623157e308, -0.0}},
      {"text", "日本語 \"quoted\" \\ 🙂"},
      {"switches", Array{true, false}},
      {"data", Array{Data{}, Data{allBytes}}},
      {"nested", Dictionary{{"list", Array{1, "two", Data{{3}}, Array{}}}}},
      // Names that look like the data marker stay ordinary members.
      {"lookalike", Dictionary{{"$data", "W10="}, {"$", 1}, {"$$x", 2}, {"x$", 3}}},
      {"$data", "top-level name"},
  };
  FileDefaults store(path.string());
  EXPECT_EQ(store.object("gap"), std::nullopt);
  EXPECT_FALSE(fs::exists(dir.path() / "config")) << "a read creates nothing";
  store.removeObject("gap");
  EXPECT_FALSE(fs::exists(path)) << "only a change writes the file";
  for (const auto& [key, value] : values) store.setObject(key, value);
  const Dictionary read = FileDefaults(path.string()).values();
  EXPECT_EQ(read, values);
  EXPECT_TRUE(std::signbit(*read.at("extremes").get<Array>()->at(2).get<double>()));
  const std::pair<fs::path, unsigned> modes[] = {
      {path, 0600}, {path.parent_path(), 0700}, {path.parent_path().parent_path(), 0700}};
  for (const auto& [made, mode] : modes) {
    struct stat st {};
    ASSERT_EQ(::stat(made.c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_mode & 0777, mode) << made;
  }
  // Data is base64 under "$data"; whole numbers have no fraction.
  FileDefaults form(dir.file("form.json"));
  form.setObject("savedLayout", Data{{'[', ']'}});
  form.setObject("gap", 8.0);
  form.setObject("gap", std::nan(""));  // cannot be stored: ignored
  EXPECT_EQ(json::parse(dir.read("form.json")),
            json::parse(R"({"savedLayout": {"$data": "W10="}, "gap": 8})"));
}

TEST(FileDefaults, AHandWrittenFileReadsAsValuesAndKeepsWhatItDoesNotKnow) {
  TempDir dir;
  dir.write("d.json", R"({"gap": 12, "savedLayout": {"$data": "W10="}, "notData": {"$data": "!!"},
    "nothing": null, "list": [1, null, "x"], "$$escaped": 1, "$plain": 2, "a": " 12.5 ",
    "b": "+4", "c": "+-1", "d": "1e400", "e": "0x10", "f": " Yes ", "g": "FaLsE", "h": "1"})");
  FileDefaults store(dir.file("d.json"));
  const std::pair<const char*, std::optional<DefaultsValue>> expected[] = {
      {"gap", 12.0},           {"savedLayout", Data{{'[', ']'}}},
      {"nothing", {}},         {"notData", Dictionary{{"$data", "!!"}}},
      {"list", Array{1, "x"}}, {"$escaped", 1},
      {"$plain", 2},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(store.object(key), value) << key;
  // Text as people write it reads as numbers and switches where it spells one.
  const std::tuple<const char*, double, bool> typed[] = {
      {"gap", 12, true}, {"a", 12.5, false}, {"b", 4, false}, {"c", 0, false}, {"d", 0, false},
      {"e", 0, false},   {"f", 0, true},     {"g", 0, false}, {"h", 1, true},  {"none", 0, false}};
  for (const auto& [key, number, on] : typed) {
    EXPECT_EQ(store.doubleForKey(key), number) << key;
    EXPECT_EQ(store.boolForKey(key), on) << key;
  }
  EXPECT_EQ(store.stringForKey("gap"), "12");
  store.setObject("gap", 4);
  const auto file = json::parse(dir.read("d.json"));
  EXPECT_TRUE(file.contains("nothing")) << "a write keeps members that read as nothing";
  EXPECT_EQ(file["notData"], json::parse(R"({"$data": "!!"})"));
}

TEST(FileDefaults, FilesThatAreNotOneBoundedJsonObjectReadEmptyAndAreKeptAsideOnWrite) {
  TempDir dir;
  const std::string corrupt[] = {
      "gap = 8",
      "[1, 2]",
      "null",
      "{\"a\": 1",
      "{} x",
      "{/* c */}",
      "{\"a\": \"\xff\"}",
      nested(FileDefaults::kMaxDepth + 1),
      nested(1'000'000),
      "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}"};
  for (const auto& text : corrupt) {
    dir.write("defaults.json", text);
    FileDefaults store(dir.file("defaults.json"));
    EXPECT_EQ(store.values(), Dictionary{});
    store.removeObject("gap");  // changes nothing, so nothing is written or moved
    EXPECT_EQ(dir.read("defaults.json"), text);
    store.setObject("gap", 5);
    EXPECT_EQ(store.values(), (Dictionary{{"gap", 5}}));
  }
  // Every one is still there, also those kept aside within the same second.
  std::vector<std::string> kept;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.path().filename().string().rfind("defaults.json.corrupt-", 0) == 0)
      kept.push_back(dir.read(entry.path().filename()));
  EXPECT_TRUE(
      std::is_permutation(kept.begin(), kept.end(), std::begin(corrupt), std::end(corrupt)));
  // Not corrupt: the deepest nesting allowed, brackets inside text, an empty file.
  EXPECT_NE(FileDefaults::parse(nested(FileDefaults::kMaxDepth)), std::nullopt);
  const std::string brackets = std::string(100, '[') + "\\\"" + std::string(100, '{');
  EXPECT_NE(FileDefaults::parse(R"({"a": ")" + brackets + R"("})"), std::nullopt);
  dir.write("empty.json", "");
  FileDefaults(dir.file("empty.json")).setObject("a", 1);
  EXPECT_EQ(dir.read("empty.json"), "{\"a\":1}\n");
}

TEST(FileDefaults, ALinkedFileIsWrittenThroughItsLinkAndOtherStoresSeeItAtOnce) {
  TempDir dir;
  dir.write("dotfiles/defaults.json", R"({"gap": 3})");
  fs::create_symlink("dotfiles/defaults.json", dir.path() / "defaults.json");
  FileDefaults store(dir.file("defaults.json")), reader(dir.file("dotfiles/defaults.json"));
  for (const char* value : {"1", "2", "3"}) {  // same size and time: no stale cache
    store.setObject("gap", value);
    EXPECT_EQ(reader.stringForKey("gap"), value);
  }
  EXPECT_TRUE(fs::is_symlink(dir.path() / "defaults.json"));
  EXPECT_TRUE(dir.exists("dotfiles/defaults.json.lock")) << "one lock for every path to the file";
  dir.write("dotfiles/defaults.json", "not json");
  store.setObject("gap", 5);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "defaults.json"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "dotfiles"), {}), 3)
      << "the file, its lock and the corrupt one kept aside";
  EXPECT_EQ(reader.object("gap"), DefaultsValue(5));
}

TEST(FileDefaults, PlacesThatCannotBeReadOrWrittenKeepWhatTheyHold) {
  TempDir dir;
  dir.write("file", "a regular file");
  fs::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);  // would block a plain open
  dir.write("locked", R"({"gap": 3})");
  dir.write("readOnly", R"({"gap": 3})");
  ::chmod(dir.file("locked").c_str(), 0);
  ::chmod(dir.file("readOnly").c_str(), 0400);
  std::vector<std::pair<std::string, int>> places = {
      {"file/defaults.json", 0}, {"folder", 0}, {"pipe", 0}, {"", 0}};
  // Permissions do not bind the super-user.
  if (::geteuid() != 0) places.insert(places.end(), {{"locked", 0}, {"readOnly", 3}});
  for (const auto& [name, gap] : places) {
    FileDefaults store(name.empty() ? "" : dir.file(name));
    store.setObject("gap", 4);
    EXPECT_EQ(store.doubleForKey("gap"), gap) << name;
  }
  ::chmod(dir.file("locked").c_str(), 0600);
  for (const char* name : {"locked", "readOnly"}) EXPECT_EQ(dir.read(name), R"({"gap": 3})");
  EXPECT_EQ(dir.read("file"), "a regular file");
  EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe"));
}

TEST(FileDefaults, WritersAtOnceLoseNoUpdateAndReadersOrAKillNeverTearTheFile) {
  TempDir dir;
  const std::string path = dir.file("defaults.json");
  // The filler's length follows n, so a torn or mixed record shows.
  const auto record = [](int n) {
    return DefaultsValue(Array{n, std::string(static_cast<std::size_t>(n % 31) * 67, 'x')});
  };
  int progress[2];
  ASSERT_EQ(::pipe(progress), 0);
  const pid_t counter = ::fork();
  if (counter == 0) {
    FileDefaults store(path);
    for (int i = 0; i < 300; ++i) store.setObject("a" + std::to_string(i), i);
    ::_exit(0);
  }
  const pid_t looper = ::fork();
  if (looper == 0) {
    FileDefaults store(path);
    for (int n = 0;; ++n) {
      store.setObject("record", record(n));
      if (::write(progress[1], "w", 1) != 1) ::_exit(1);
    }
  }
  ::close(progress[1]);
  char byte;
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(::read(progress[0], &byte, 1), 1);
    ASSERT_NE(FileDefaults::parse(dir.read("defaults.json")), std::nullopt) << "a torn file";
  }
  ::waitpid(counter, nullptr, 0);
  ::kill(looper, SIGKILL);  // somewhere inside a write
  ::waitpid(looper, nullptr, 0);
  ::close(progress[0]);
  FileDefaults store(path);
  const auto values = store.values();
  for (int i = 0; i < 300; ++i) EXPECT_EQ(values.count("a" + std::to_string(i)), 1u) << i;
  const int n = static_cast<int>(*values.at("record").get<Array>()->at(0).get<double>());
  EXPECT_GE(n, 59) << "a finished write was lost";
  EXPECT_EQ(values.at("record"), record(n));
  store.setObject("after", true);  // the lock died with the writer
  EXPECT_TRUE(store.boolForKey("after"));
}

TEST(FileDefaults, FindsItsFileFromTheEnvironment) {
  const struct {
    std::optional<std::string> explicitPath, xdg, home;
    const char* expected;  // empty: the password database decides
  } cases[] = {
      {"/x/d.json", "/cfg", "/home/u", "/x/d.json"},
      {"", "/cfg", "/home/u", "/cfg/tessaloom/defaults.json"},
      {std::nullopt, "relative", "/home/u", "/home/u/.config/tessaloom/defaults.json"},
      {std::nullopt, std::nullopt, "relative/home", ""},
  };
  for (const auto& c : cases) {
    const testing::ScopedEnvironment explicitPath("TESSALOOM_DEFAULTS", c.explicitPath),
        xdg("XDG_CONFIG_HOME", c.xdg), home("HOME", c.home);
    const std::string path = FileDefaults().path();
    if (*c.expected)
      EXPECT_EQ(path, c.expected);
    else  // never relative, which would put the file wherever the program runs
      EXPECT_TRUE(path.empty() || path.front() == '/') << path;
  }
}

}  // namespace
}  // namespace tessaloom::platform
