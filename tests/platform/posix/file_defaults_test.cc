// The defaults file: its form, where it lives, and what happens to corrupt, unreadable and
// unwritable files.
#include "platform/posix/file_defaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "support/temp_folder.h"
#include "support/scoped_environment.h"

namespace tessaloom::platform {
namespace {

using Dictionary = DefaultsValue::Dictionary;
using tessaloom::testing::ScopedEnvironment;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

std::vector<std::string> namesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const auto name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string nested(int depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

class FileDefaultsTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_ / "defaults.json";
};

TEST_F(FileDefaultsTest, EveryKindOfValueSurvivesAWriteAndAFreshRead) {
  std::vector<std::uint8_t> allBytes;
  for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<std::uint8_t>(i));
  const Dictionary values{
      {"number", 12.5},
      {"tiny", 5e-324},
      {"huge", 1.7976931348623157e308},
      {"negative zero", -0.0},
      {"text", "日本語 \"quoted\" \\ 🙂"},
      {"true", true},
      {"false", false},
      {"empty data", Data{}},
      {"data", Data{allBytes}},
      {"array", DefaultsValue::Array{1, "two", Data{{3}}, DefaultsValue::Array{}}},
      {"dictionary", Dictionary{{"ai", "ai"}, {"nested", Dictionary{{"n", 1}}}}},
      // Names that look like the data marker stay ordinary dictionary members.
      {"lookalike", Dictionary{{"$data", "W10="}}},
      {"dollars", Dictionary{{"$", 1}, {"$$x", 2}, {"$x", 3}, {"x$", 4}}},
      {"$data", "top-level name"},
  };
  FileDefaults writer(path_);
  for (const auto& [key, value] : values) writer.setObject(key, value);

  FileDefaults reader(path_);
  EXPECT_EQ(reader.values(), values);
  EXPECT_EQ(reader.dataForKey("data"), Data{allBytes});
  EXPECT_EQ(reader.dataForKey("lookalike"), std::nullopt);
  EXPECT_TRUE(std::signbit(*reader.object("negative zero")->get<double>()));
}

TEST_F(FileDefaultsTest, DataIsStoredAsBase64UnderTheDataMember) {
  FileDefaults store(path_);
  store.setObject("savedLayout", Data{{'[', ']'}});
  store.setObject("gap", 8.0);
  store.setObject("overrides", Dictionary{{"org.mozilla.firefox", "ai"}});

  const auto file = nlohmann::json::parse(readFile(path_));
  EXPECT_EQ(file, nlohmann::json::parse(R"({"savedLayout": {"$data": "W10="}, "gap": 8.0,
                                            "overrides": {"org.mozilla.firefox": "ai"}})"));
}

TEST_F(FileDefaultsTest, HandWrittenFileReadsAsTheValueModel) {
  writeFile(path_, R"({
    "gap": 12,
    "big": 18446744073709551615,
    "savedLayout": {"$data": "W10="},
    "notData": {"$data": "!!"},
    "notDataEither": {"$data": "W10=", "other": 1},
    "dataOfNumber": {"$data": 5},
    "nothing": null,
    "list": [1, null, "x"],
    "$$escaped": 1,
    "$plain": 2
  })");
  FileDefaults store(path_);
  EXPECT_EQ(store.object("gap"), DefaultsValue(12.0));
  EXPECT_EQ(store.object("big"), DefaultsValue(18446744073709551615.0));
  EXPECT_EQ(store.dataForKey("savedLayout"), (Data{{'[', ']'}}));
  EXPECT_EQ(store.object("notData"), DefaultsValue(Dictionary{{"$data", "!!"}}));
  EXPECT_EQ(store.dataForKey("notDataEither"), std::nullopt);
  EXPECT_EQ(store.object("dataOfNumber"), DefaultsValue(Dictionary{{"$data", 5}}));
  EXPECT_EQ(store.object("nothing"), std::nullopt);
  EXPECT_EQ(store.object("list"), DefaultsValue(DefaultsValue::Array{1, "x"}));
  EXPECT_EQ(store.object("$escaped"), DefaultsValue(1));
  EXPECT_EQ(store.object("$plain"), DefaultsValue(2));

  // A write keeps every other value, and the invalid data text with it.
  store.setObject("gap", 4);
  FileDefaults again(path_);
  EXPECT_EQ(again.object("notData"), DefaultsValue(Dictionary{{"$data", "!!"}}));
  EXPECT_EQ(again.dataForKey("savedLayout"), (Data{{'[', ']'}}));
  EXPECT_EQ(again.values().size(), 9u);
}

TEST(FileDefaultsParse, AcceptsOnlyOneJsonObject) {
  EXPECT_EQ(FileDefaults::parse("{}"), Dictionary{});
  EXPECT_EQ(FileDefaults::parse(" {\"a\": 1}\n"), (Dictionary{{"a", 1}}));
  const std::string deepest = "{\"a\":" + nested(FileDefaults::kMaxDepth) + "}";
  EXPECT_NE(FileDefaults::parse(deepest), std::nullopt);
  // Brackets inside text are no nesting, escaped quotation marks included.
  const std::string bracketsInText =
      R"({"a": ")" + std::string(100, '[') + R"(\"\\)" + std::string(100, '{') + R"("})";
  EXPECT_EQ(FileDefaults::parse(bracketsInText),
            (Dictionary{{"a", std::string(100, '[') + "\"\\" + std::string(100, '{')}}));

  const struct {
    const char* name;
    std::string text;
  } rejected[] = {
      {"empty", ""},
      {"array", "[1, 2]"},
      {"number", "5"},
      {"string", "\"s\""},
      {"null", "null"},
      {"cut short", "{\"a\": 1"},
      {"trailing text", "{} x"},
      {"two objects", "{} {}"},
      {"comment", "{/* c */}"},
      {"number beyond double", "{\"a\": 1e400}"},
      {"invalid UTF-8", "{\"a\": \"\xff\"}"},
      {"nested too deeply", "{\"a\":" + nested(FileDefaults::kMaxDepth + 1) + "}"},
      {"a million brackets", "{\"a\":" + nested(1'000'000) + "}"},
      {"too large", "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}"},
  };
  for (const auto& c : rejected) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileDefaults::parse(c.text), std::nullopt);
  }
}

TEST(FileDefaultsSerialize, RefusesWhatJsonCannotHold) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // A value of the file's object is at depth 1; each array adds one.
  const auto wrapped = [](DefaultsValue value, int arrays) {
    for (int i = 0; i < arrays; ++i) value = DefaultsValue::Array{value};
    return value;
  };
  const DefaultsValue deep = wrapped(1, FileDefaults::kMaxDepth + 1);
  const DefaultsValue deepData = wrapped(Data{}, FileDefaults::kMaxDepth);

  EXPECT_EQ(FileDefaults::serialize({{"a", inf}}), std::nullopt);
  EXPECT_EQ(FileDefaults::serialize({{"a", DefaultsValue::Array{nan}}}), std::nullopt);
  EXPECT_EQ(FileDefaults::serialize({{"a", Dictionary{{"b", -inf}}}}), std::nullopt);
  EXPECT_EQ(FileDefaults::serialize({{"a", deep}}), std::nullopt);
  EXPECT_EQ(FileDefaults::serialize({{"a", deepData}}), std::nullopt);

  // The deepest values that may be written are read back.
  for (const auto& deepest :
       {wrapped(1, FileDefaults::kMaxDepth), wrapped(Data{{1}}, FileDefaults::kMaxDepth - 1)}) {
    const auto text = FileDefaults::serialize({{"a", deepest}});
    ASSERT_NE(text, std::nullopt);
    EXPECT_EQ(FileDefaults::parse(*text), (Dictionary{{"a", deepest}}));
  }
}

TEST_F(FileDefaultsTest, UnstorableValueLeavesTheOldOne) {
  FileDefaults store(path_);
  store.setObject("gap", 8.0);
  store.setObject("gap", std::numeric_limits<double>::infinity());
  EXPECT_EQ(store.object("gap"), DefaultsValue(8.0));
}

TEST_F(FileDefaultsTest, TextThatIsNotUtf8IsStoredWithReplacementCharacters) {
  FileDefaults store(path_);
  store.setObject("a\xff", "b\xfe");
  store.setObject("after", 1);  // the file must still be readable
  EXPECT_EQ(store.values(), (Dictionary{{"a\xEF\xBF\xBD", "b\xEF\xBF\xBD"}, {"after", 1}}));
}

TEST_F(FileDefaultsTest, ReadsSeeAnotherWriterAtOnce) {
  FileDefaults reader(path_);
  FileDefaults writer(path_);
  EXPECT_EQ(reader.object("v"), std::nullopt);
  // Same size and, within the file system's clock resolution, the same time: no stale cache.
  for (const char* value : {"1", "2", "3"}) {
    writer.setObject("v", value);
    EXPECT_EQ(reader.stringForKey("v"), value);
  }
  writer.removeObject("v");
  EXPECT_EQ(reader.object("v"), std::nullopt);
}

TEST_F(FileDefaultsTest, RemovingAnAbsentKeyWritesNothing) {
  FileDefaults store(path_);
  store.removeObject("nothing");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(FileDefaultsTest, MissingFoldersAreCreatedPrivate) {
  const std::string path = folder_ / "config/tessaloom/defaults.json";
  FileDefaults store(path);
  EXPECT_EQ(store.object("gap"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "config")) << "a read creates nothing";

  store.setObject("gap", 3);
  struct stat st {};
  ASSERT_EQ(::stat((folder_ / "config/tessaloom").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((folder_ / "config").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(store.doubleForKey("gap"), 3);
}

TEST_F(FileDefaultsTest, TemporaryFilesOfDeadWritersAreCleanedUp) {
  FileDefaults store(path_);
  store.setObject("a", 1);
  writeFile(path_ + ".tmp-AbC123", "{\"half\": ");
  writeFile(folder_ / "other.tmp-AbC123", "not ours");
  store.setObject("a", 2);
  EXPECT_EQ(namesStartingWith(folder_.path(), "defaults.json.tmp-"), std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::exists(folder_ / "other.tmp-AbC123"));
}

TEST_F(FileDefaultsTest, CorruptFilesAreKeptAsideBeforeTheNextWrite) {
  const struct {
    const char* name;
    std::string text;
  } corrupt[] = {
      {"not JSON", "gap = 8"},
      {"array at the top", "[1, 2]"},
      {"cut short", "{\"gap\": 8"},
      {"nested too deeply", "{\"a\":" + nested(FileDefaults::kMaxDepth + 1) + "}"},
      {"too large", "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}"},
  };
  std::vector<std::string> keptTexts;
  for (const auto& c : corrupt) {
    SCOPED_TRACE(c.name);
    writeFile(path_, c.text);
    FileDefaults store(path_);
    EXPECT_EQ(store.values(), Dictionary{});
    EXPECT_EQ(store.object("gap"), std::nullopt);
    store.removeObject("gap");  // changes nothing, so nothing is written or moved
    EXPECT_EQ(readFile(path_), c.text) << "reads leave the file alone";

    store.setObject("gap", 5);
    EXPECT_EQ(store.values(), (Dictionary{{"gap", 5}}));
    keptTexts.push_back(c.text);
  }
  // Every corrupt file is still there, also those kept aside within the same second.
  std::vector<std::string> texts;
  for (const auto& name : namesStartingWith(folder_.path(), "defaults.json.corrupt-"))
    texts.push_back(readFile(folder_ / name));
  std::sort(texts.begin(), texts.end());
  std::sort(keptTexts.begin(), keptTexts.end());
  EXPECT_EQ(texts, keptTexts);
}

TEST_F(FileDefaultsTest, EmptyFileIsAnEmptyStore) {
  writeFile(path_, "");
  FileDefaults store(path_);
  EXPECT_EQ(store.values(), Dictionary{});
  store.setObject("a", 1);
  EXPECT_EQ(store.values(), (Dictionary{{"a", 1}}));
  EXPECT_EQ(namesStartingWith(folder_.path(), "defaults.json.corrupt-"),
            std::vector<std::string>{});
}

TEST_F(FileDefaultsTest, FolderThatCannotBeMadeGivesDefaultsAndIgnoresWrites) {
  writeFile(folder_ / "file", "a regular file");
  FileDefaults store(folder_ / "file/tessaloom/defaults.json");
  store.setObject("gap", 3);
  store.removeObject("gap");
  EXPECT_EQ(store.object("gap"), std::nullopt);
  EXPECT_EQ(store.doubleForKey("gap"), 0);
  EXPECT_EQ(readFile(folder_ / "file"), "a regular file");
}

TEST_F(FileDefaultsTest, PathThatIsNotARegularFileIsLeftAlone) {
  // A folder, and a pipe that would block a plain open for reading.
  std::filesystem::create_directory(path_);
  const std::string pipe = folder_ / "pipe.json";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const auto& path : {path_, pipe}) {
    SCOPED_TRACE(path);
    FileDefaults store(path);
    EXPECT_EQ(store.object("gap"), std::nullopt);
    store.setObject("gap", 3);
    EXPECT_EQ(store.object("gap"), std::nullopt);
  }
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST_F(FileDefaultsTest, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  writeFile(path_, R"({"gap": 3})");
  ASSERT_EQ(::chmod(path_.c_str(), 0), 0);
  FileDefaults store(path_);
  EXPECT_EQ(store.object("gap"), std::nullopt);
  store.setObject("aiRatio", 0.5);
  ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
  EXPECT_EQ(readFile(path_), R"({"gap": 3})");
}

TEST_F(FileDefaultsTest, ReadOnlyFileIsReadButNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  writeFile(path_, R"({"gap": 3})");
  ASSERT_EQ(::chmod(path_.c_str(), 0400), 0);
  FileDefaults store(path_);
  store.setObject("gap", 4);
  EXPECT_EQ(store.object("gap"), DefaultsValue(3));
  EXPECT_EQ(readFile(path_), R"({"gap": 3})");
}

TEST_F(FileDefaultsTest, EmptyPathIsAnEmptyStoreThatIgnoresWrites) {
  FileDefaults store("");
  store.setObject("gap", 3);
  EXPECT_EQ(store.object("gap"), std::nullopt);
  EXPECT_EQ(store.values(), Dictionary{});
}

TEST(DefaultPathTest, FollowsTheEnvironment) {
  const struct {
    std::optional<std::string> explicitPath;  // nothing: the variable is unset
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    const char* expected;
  } cases[] = {
      {"/x/d.json", "/cfg", "/home/u", "/x/d.json"},
      {"", "/cfg", "/home/u", "/cfg/tessaloom/defaults.json"},
      {std::nullopt, "/cfg", "/home/u", "/cfg/tessaloom/defaults.json"},
      {std::nullopt, "relative", "/home/u", "/home/u/.config/tessaloom/defaults.json"},
      {std::nullopt, "", "/home/u", "/home/u/.config/tessaloom/defaults.json"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.config/tessaloom/defaults.json"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const ScopedEnvironment explicitPath("TESSALOOM_DEFAULTS", c.explicitPath);
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdg);
    const ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(FileDefaults::defaultPath(), c.expected);
    EXPECT_EQ(FileDefaults().path(), c.expected);
  }
}

}  // namespace
}  // namespace tessaloom::platform
