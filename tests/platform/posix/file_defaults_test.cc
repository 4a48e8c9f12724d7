// The defaults file: its form, where it lives, and what happens to corrupt, unreadable,
// unwritable and linked files.
#include "platform/posix/file_defaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/run_program.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using Dictionary = DefaultsValue::Dictionary;
using Array = DefaultsValue::Array;
using testing::ScopedEnvironment;
using testing::TempDir;

std::vector<std::string> namesStartingWith(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0)
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string nested(int depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

class FileDefaultsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.file("defaults.json");
};

TEST_F(FileDefaultsTest, EveryKindOfValueSurvivesAWriteAndAFreshRead) {
  std::vector<std::uint8_t> allBytes;
  for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<std::uint8_t>(i));
  const Dictionary values{
      {"number", 12.5},
      {"extremes", Array{5e-324, 1.7976931348623157e308, -0.0}},
      {"text", "日本語 \"quoted\" \\ 🙂"},
      {"true", true},
      {"false", false},
      {"data", Array{Data{}, Data{allBytes}}},
      {"array", Array{1, "two", Data{{3}}, Array{}}},
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
  EXPECT_EQ(reader.dataForKey("lookalike"), std::nullopt);
  EXPECT_TRUE(std::signbit(*reader.object("extremes")->get<Array>()->at(2).get<double>()));

  // Data is base64 under "$data"; whole numbers have no fraction.
  FileDefaults(dir_.file("form.json")).setObject("savedLayout", Data{{'[', ']'}});
  FileDefaults(dir_.file("form.json")).setObject("gap", 8.0);
  EXPECT_EQ(nlohmann::json::parse(dir_.read("form.json")),
            nlohmann::json::parse(R"({"savedLayout": {"$data": "W10="}, "gap": 8})"));
}

TEST_F(FileDefaultsTest, HandWrittenFileReadsAsTheValueModelAndKeepsWhatItDoesNotKnow) {
  dir_.write("defaults.json", R"({
    "gap": 12, "big": 18446744073709551615, "savedLayout": {"$data": "W10="},
    "notData": {"$data": "!!"}, "notDataEither": {"$data": "W10=", "other": 1},
    "dataOfNumber": {"$data": 5}, "nothing": null, "list": [1, null, "x"],
    "$$escaped": 1, "$plain": 2})");
  FileDefaults store(path_);
  const std::pair<const char*, std::optional<DefaultsValue>> expected[] = {
      {"gap", 12.0},
      {"big", 18446744073709551615.0},
      {"savedLayout", Data{{'[', ']'}}},
      {"notData", Dictionary{{"$data", "!!"}}},
      {"dataOfNumber", Dictionary{{"$data", 5}}},
      {"nothing", std::nullopt},
      {"list", Array{1, "x"}},
      {"$escaped", 1},
      {"$plain", 2},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(store.object(key), value) << key;
  EXPECT_EQ(store.dataForKey("notDataEither"), std::nullopt);

  store.setObject("gap", 4);
  const auto file = nlohmann::json::parse(dir_.read("defaults.json"));
  EXPECT_TRUE(file.contains("nothing")) << "a write keeps members that read as nothing";
  EXPECT_EQ(file["notData"], nlohmann::json::parse(R"({"$data": "!!"})"));
  EXPECT_EQ(FileDefaults(path_).values().size(), 9u);
}

TEST(FileDefaultsParse, AcceptsOnlyOneJsonObjectOfBoundedSize) {
  EXPECT_EQ(FileDefaults::parse(" {\"a\": 1}\n"), (Dictionary{{"a", 1}}));
  EXPECT_NE(FileDefaults::parse("{\"a\":" + nested(FileDefaults::kMaxDepth) + "}"), std::nullopt);
  // Brackets inside text are no nesting, escaped quotation marks included.
  const std::string brackets = std::string(100, '[') + "\\\"\\\\" + std::string(100, '{');
  EXPECT_EQ(FileDefaults::parse(R"({"a": ")" + brackets + R"("})"),
            (Dictionary{{"a", std::string(100, '[') + "\"\\" + std::string(100, '{')}}));
  for (const std::string& text : {
           std::string(),
           std::string("[1, 2]"),
           std::string("5"),
           std::string("null"),
           std::string("{\"a\": 1"),
           std::string("{} x"),
           std::string("{/* c */}"),
           std::string("{\"a\": 1e400}"),
           std::string("{\"a\": \"\xff\"}"),
           "{\"a\":" + nested(FileDefaults::kMaxDepth + 1) + "}",
           "{\"a\":" + nested(1'000'000) + "}",
           "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}",
       })
    EXPECT_EQ(FileDefaults::parse(text), std::nullopt) << text.substr(0, 40);
}

TEST(FileDefaultsSerialize, RefusesWhatJsonCannotHoldAndReadsBackTheDeepest) {
  const auto wrapped = [](DefaultsValue value, int arrays) {
    for (int i = 0; i < arrays; ++i) value = Array{value};
    return value;
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const DefaultsValue& refused :
       {DefaultsValue(inf), DefaultsValue(Array{std::nan("")}),
        DefaultsValue(Dictionary{{"b", -inf}}), wrapped(1, FileDefaults::kMaxDepth + 1),
        wrapped(Data{}, FileDefaults::kMaxDepth)})
    EXPECT_EQ(FileDefaults::serialize({{"a", refused}}), std::nullopt);
  for (const auto& deepest :
       {wrapped(1, FileDefaults::kMaxDepth), wrapped(Data{{1}}, FileDefaults::kMaxDepth - 1)}) {
    const auto text = FileDefaults::serialize({{"a", deepest}});
    ASSERT_NE(text, std::nullopt);
    EXPECT_EQ(FileDefaults::parse(*text), (Dictionary{{"a", deepest}}));
  }
}

TEST_F(FileDefaultsTest, WritesThatCannotBeStoredKeepTheFileReadable) {
  FileDefaults store(path_);
  store.setObject("gap", 8.0);
  store.setObject("gap", std::numeric_limits<double>::infinity());
  EXPECT_EQ(store.object("gap"), DefaultsValue(8.0));
  store.setObject("a\xff", "b\xfe");  // not UTF-8: stored with replacement characters
  EXPECT_EQ(FileDefaults(path_).values(),
            (Dictionary{{"gap", 8.0}, {"a\xEF\xBF\xBD", "b\xEF\xBF\xBD"}}));
}

TEST_F(FileDefaultsTest, ReadsSeeAnotherWriterAtOnce) {
  FileDefaults reader(path_);
  FileDefaults writer(path_);
  // Same size and, within the file system's clock resolution, the same time: no stale cache.
  for (const char* value : {"1", "2", "3"}) {
    writer.setObject("v", value);
    EXPECT_EQ(reader.stringForKey("v"), value);
  }
  writer.removeObject("v");
  EXPECT_EQ(reader.object("v"), std::nullopt);
}

TEST_F(FileDefaultsTest, MissingFoldersAreCreatedPrivateOnlyByAWrite) {
  const fs::path path = dir_.path() / "config/tessaloom/defaults.json";
  FileDefaults store(path.string());
  EXPECT_EQ(store.object("gap"), std::nullopt);
  EXPECT_FALSE(fs::exists(dir_.path() / "config")) << "a read creates nothing";
  store.removeObject("gap");
  EXPECT_FALSE(fs::exists(path)) << "removing an absent key writes nothing";
  store.setObject("gap", 3);
  for (const auto& [made, mode] :
       {std::pair{path.parent_path(), 0700u}, std::pair{path.parent_path().parent_path(), 0700u},
        std::pair{path, 0600u}}) {
    struct stat st {};
    ASSERT_EQ(::stat(made.c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_mode & 0777, mode) << made;
  }
}

TEST_F(FileDefaultsTest, CorruptFilesAreKeptAsideBeforeTheNextWrite) {
  const std::string corrupt[] = {
      "gap = 8",
      "[1, 2]",
      "{\"gap\": 8",
      "{\"a\":" + nested(FileDefaults::kMaxDepth + 1) + "}",
      "{\"a\": \"" + std::string(FileDefaults::kMaxFileSize, 'x') + "\"}",
  };
  for (const auto& text : corrupt) {
    dir_.write("defaults.json", text);
    FileDefaults store(path_);
    EXPECT_EQ(store.values(), Dictionary{});
    store.removeObject("gap");  // changes nothing, so nothing is written or moved
    EXPECT_EQ(dir_.read("defaults.json"), text) << "reads leave the file alone";
    store.setObject("gap", 5);
    EXPECT_EQ(store.values(), (Dictionary{{"gap", 5}}));
  }
  // Every corrupt file is still there, also those kept aside within the same second.
  std::vector<std::string> kept;
  for (const auto& name : namesStartingWith(dir_.path(), "defaults.json.corrupt-"))
    kept.push_back(dir_.read(name));
  std::sort(kept.begin(), kept.end());
  EXPECT_TRUE(
      std::is_permutation(kept.begin(), kept.end(), std::begin(corrupt), std::end(corrupt)));

  // An empty file is an empty store, not a corrupt one.
  dir_.write("empty.json", "");
  FileDefaults(dir_.file("empty.json")).setObject("a", 1);
  EXPECT_EQ(namesStartingWith(dir_.path(), "empty.json.corrupt-").size(), 0u);
}

TEST_F(FileDefaultsTest, ALinkedFileIsWrittenThroughItsLink) {
  dir_.write("dotfiles/defaults.json", R"({"gap": 3})");
  fs::create_symlink("dotfiles/defaults.json", path_);
  FileDefaults store(path_);
  store.setObject("gap", 4);
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(FileDefaults(dir_.file("dotfiles/defaults.json")).object("gap"), DefaultsValue(4));
  EXPECT_TRUE(dir_.exists("dotfiles/defaults.json.lock")) << "one lock for every path to the file";

  // A corrupt target is kept aside beside the target; the link stays and points at the new file.
  dir_.write("dotfiles/defaults.json", "not json");
  store.setObject("gap", 5);
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(namesStartingWith(dir_.path() / "dotfiles", "defaults.json.corrupt-").size(), 1u);
  EXPECT_EQ(store.object("gap"), DefaultsValue(5));
}

TEST_F(FileDefaultsTest, FilesNamedLikeTemporaryFilesAreTheUsers) {
  dir_.write("defaults.json.tmp-AbC123", "a user's notes");
  dir_.write(".defaults.json.tmp-AbC123", "more notes");
  FileDefaults store(path_);
  store.setObject("a", 1);
  store.setObject("a", 2);
  EXPECT_EQ(dir_.read("defaults.json.tmp-AbC123"), "a user's notes");
  EXPECT_EQ(dir_.read(".defaults.json.tmp-AbC123"), "more notes");
  EXPECT_EQ(namesStartingWith(dir_.path(), ".defaults.json.tmp-").size(), 1u);
}

TEST_F(FileDefaultsTest, PlacesThatCannotBeWrittenKeepWhatTheyHold) {
  dir_.write("file", "a regular file");
  fs::create_directory(path_);
  const std::string pipe = dir_.file("pipe.json");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // would block a plain open for reading
  for (const std::string& path :
       {dir_.file("file/tessaloom/defaults.json"), path_, pipe, std::string()}) {
    FileDefaults store(path);
    store.setObject("gap", 3);
    store.removeObject("gap");
    EXPECT_EQ(store.object("gap"), std::nullopt) << path;
    EXPECT_EQ(store.values(), Dictionary{}) << path;
  }
  EXPECT_EQ(dir_.read("file"), "a regular file");
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_F(FileDefaultsTest, UnreadableAndReadOnlyFilesAreNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  for (const auto& [mode, readable] : {std::pair{0000, false}, std::pair{0400, true}}) {
    dir_.write("defaults.json", R"({"gap": 3})");
    ASSERT_EQ(::chmod(path_.c_str(), mode), 0);
    FileDefaults store(path_);
    store.setObject("gap", 4);
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    EXPECT_EQ(dir_.read("defaults.json"), R"({"gap": 3})");
    EXPECT_EQ(store.object("gap"), readable ? std::optional<DefaultsValue>(3) : std::nullopt);
  }
}

// Run in a fresh copy of this program by the test below: a forked child would share what
// this process has already said.
TEST(FileDefaultsChild, DISABLED_StoresTwoValues) {
  FileDefaults store(std::getenv("TESSALOOM_DEFAULTS"));
  store.setObject("savedLayout", Data{{1}});
  store.setObject("gap", 3);
}

std::string standardErrorOfTwoWrites(const std::string& path) {
  return testing::runProgram(
             "/proc/self/exe",
             {"--gtest_filter=FileDefaultsChild.*", "--gtest_also_run_disabled_tests"},
             {{"TESSALOOM_DEFAULTS", path}}, 30)
      .err;
}

TEST_F(FileDefaultsTest, ADroppedWriteIsSaidOnceOnStandardError) {
  fs::create_directory(path_);
  const std::string said = standardErrorOfTwoWrites(path_);
  EXPECT_NE(said.find(path_), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(standardErrorOfTwoWrites(dir_.file("fine.json")), "");
}

TEST(DefaultPathTest, FollowsTheEnvironment) {
  const struct {
    std::optional<std::string> explicitPath, xdg;
    const char* expected;
  } cases[] = {
      {"/x/d.json", "/cfg", "/x/d.json"},
      {"", "/cfg", "/cfg/tessaloom/defaults.json"},
      {std::nullopt, "/cfg", "/cfg/tessaloom/defaults.json"},
      {std::nullopt, "relative", "/home/u/.config/tessaloom/defaults.json"},
  };
  const ScopedEnvironment home("HOME", "/home/u");
  for (const auto& c : cases) {
    const ScopedEnvironment explicitPath("TESSALOOM_DEFAULTS", c.explicitPath);
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(FileDefaults::defaultPath(), c.expected);
    EXPECT_EQ(FileDefaults().path(), c.expected);
  }
}

}  // namespace
}  // namespace tessaloom::platform
