// The defaults file: its form and place, and that no corrupt, unreadable, linked or concurrently
// written file, nor a writer killed halfway, loses what the user stored.
#include "platform/posix/file_defaults.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using Dictionary = DefaultsValue::Dictionary;
using Array = DefaultsValue::Array;
using nlohmann::json;

std::string nested(int depth) {
  return "{\"a\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST(FileDefaults, ValuesSurviveAFreshReadAndAWriteKeepsWhatTheFileHeldBesides) {
  testing::TempDir dir;
  const std::string name = "config/tessaloom/defaults.json";
  const fs::path path = dir.path() / name;
  const Dictionary values{
      {"numbers", Array{5e-324, 1.7976931348623157e308, -0.0}},
      {"text", "日本語 \"quoted\" \\ 🙂"},
      {"nested", Dictionary{{"list", Array{true, Data{}, Data{{0xff, 0xfe, 0xfd}}, Array{}}}}},
      // Names like the data marker stay ordinary members.
      {"lookalike", Dictionary{{"$data", "W10="}, {"$", 1}, {"$$x", 2}, {"x$", 3}}},
      {"$data", "top-level name"},
  };
  FileDefaults store(path.string());
  store.removeObject("gap");
  EXPECT_FALSE(fs::exists(path)) << "only a change writes the file";
  for (const auto& [key, value] : values) store.setObject(key, value);
  store.setObject("text", std::nan(""));  // cannot be stored: ignored
  EXPECT_EQ(FileDefaults(path.string()).values(), values);
  EXPECT_NE(dir.read(name).find("\"//79\""), std::string::npos) << "standard base64";
  const auto modeOf = [](const fs::path& p) { return fs::status(p).permissions(); };
  EXPECT_EQ(modeOf(path), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(modeOf(path.parent_path()), fs::perms::owner_all);
  // Data in anything but canonical base64 is an ordinary dictionary; null reads as nothing.
  const char* handWritten = R"({"layout": {"$data": "W10="}, "bad": [{"$data": "Zh=="},
    {"$data": "Zg"}, {"$data": "Zm9v\n"}, {"$data": "!!!!"}], "nothing": null, "$$e": 1, "$p": 2})";
  dir.write(name, handWritten);
  EXPECT_EQ(
      store.values(),
      (Dictionary{{"layout", Data{{'[', ']'}}},
                  {"bad", Array{Dictionary{{"$data", "Zh=="}}, Dictionary{{"$data", "Zg"}},
                                Dictionary{{"$data", "Zm9v\n"}}, Dictionary{{"$data", "!!!!"}}}},
                  {"$e", 1},
                  {"$p", 2}}));
  store.setObject("gap", 8);
  json file = json::parse(dir.read(name));
  file.erase("gap");
  EXPECT_EQ(file, json::parse(handWritten));
}

TEST(FileDefaults, FilesThatAreNotOneBoundedJsonObjectReadEmptyAndAreKeptAsideOnWrite) {
  testing::TempDir dir;
  const std::string corrupt[] = {
      "gap = 8",           "[1, 2]",
      "{\"a\": 1",         "{} x",
      "{\"a\": \"\xff\"}", nested(FileDefaults::kMaxDepth + 1),
      nested(1'000'000),   "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}"};
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
  for (const std::string& text : {nested(FileDefaults::kMaxDepth),
                                  "{\"a\": \"" + std::string(99, '[') + "\\\"\"}", std::string()}) {
    dir.write("fine.json", text);
    FileDefaults(dir.file("fine.json")).setObject("b", 1);
    EXPECT_EQ(FileDefaults(dir.file("fine.json")).values().size(), text.empty() ? 1u : 2u) << text;
  }
}

TEST(FileDefaults, ALinkedFileIsWrittenThroughItsLinkAndOtherStoresSeeItAtOnce) {
  testing::TempDir dir;
  dir.write("dotfiles/defaults.json", R"({"gap": 3})");
  fs::create_symlink("dotfiles/defaults.json", dir.path() / "defaults.json");
  FileDefaults store(dir.file("defaults.json")), reader(dir.file("dotfiles/defaults.json"));
  for (const char* value : {"1", "2", "3"}) {  // same size and time: no stale cache
    store.setObject("gap", value);
    EXPECT_EQ(reader.stringForKey("gap"), value);
  }
  dir.write("dotfiles/defaults.json", "not json");
  store.setObject("gap", 5);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "defaults.json"));
  EXPECT_EQ(reader.object("gap"), DefaultsValue(5));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "dotfiles"), {}), 3)
      << "the file, the one lock for every path to it, and the corrupt one kept aside";
}

TEST(FileDefaults, PlacesThatCannotBeReadOrWrittenKeepWhatTheyHold) {
  testing::TempDir dir;
  dir.write("file", "a regular file");
  fs::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);  // would block a plain open
  for (const char* name : {"locked", "readOnly"}) dir.write(name, R"({"gap": 3})");
  fs::permissions(dir.path() / "locked", fs::perms::none);
  fs::permissions(dir.path() / "readOnly", fs::perms::owner_read);
  std::vector<std::pair<std::string, int>> places = {
      {"file/defaults.json", 0}, {"folder", 0}, {"pipe", 0}};
  // Permissions do not bind the super-user.
  if (::geteuid() != 0) places.insert(places.end(), {{"locked", 0}, {"readOnly", 3}});
  for (const auto& [name, gap] : places) {
    FileDefaults store(dir.file(name));
    store.setObject("gap", 4);
    EXPECT_EQ(store.doubleForKey("gap"), gap) << name;
  }
  fs::permissions(dir.path() / "locked", fs::perms::owner_read);
  for (const char* name : {"locked", "readOnly"}) EXPECT_EQ(dir.read(name), R"({"gap": 3})");
  EXPECT_EQ(dir.read("file"), "a regular file");
  EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe"));
}

TEST(FileDefaults, WritersAtOnceLoseNoUpdateAndReadersOrAKillNeverTearTheFile) {
  testing::TempDir dir;
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
    ::close(progress[0]);  // so that it ends with the test, also one that fails
    FileDefaults store(path);
    for (int n = 0;; ++n) {  // each byte says one more write is done
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

}  // namespace
}  // namespace tessaloom::platform
