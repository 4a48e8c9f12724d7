// The user's folders and the atomic replacement of a file that every writer of the program uses.
#include "base/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::files {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;

TEST(Folders, FollowTheEnvironment) {
  const struct {
    std::optional<std::string> xdg, home;
    const char* config;  // empty: the password database decides
  } cases[] = {
      {"/cfg", "/home/u", "/cfg"},         {"relative", "/home/u", "/home/u/.config"},
      {"", "/home/u", "/home/u/.config"},  {std::nullopt, "/home/u", "/home/u/.config"},
      {std::nullopt, "relative/home", ""}, {std::nullopt, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdg);
    const ScopedEnvironment home("HOME", c.home);
    if (*c.config) {
      EXPECT_EQ(configFolder(), c.config);
    } else {
      // Never a relative folder, which would put the user's files wherever the program runs.
      EXPECT_TRUE(homeFolder().empty() || homeFolder().is_absolute());
      EXPECT_EQ(configFolder(), homeFolder().empty() ? fs::path() : homeFolder() / ".config");
    }
  }
}

unsigned modeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

TEST(ReplaceFile, WritesTheWholeTextAndLeavesNothingElse) {
  TempDir dir;
  ASSERT_TRUE(replaceFile(dir.file("new"), "first", 0600));
  EXPECT_EQ(dir.read("new"), "first");
  EXPECT_EQ(modeOf(dir.file("new")), 0600u);
  ::chmod(dir.file("new").c_str(), 0640);
  ASSERT_TRUE(replaceFile(dir.file("new"), "second"));
  EXPECT_EQ(dir.read("new"), "second");
  EXPECT_EQ(modeOf(dir.file("new")), 0640u) << "an existing file keeps its permissions";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ReplaceFile, WritesThroughSymbolicLinks) {
  TempDir dir;
  dir.write("real/settings", "old");
  fs::create_symlink("real/settings", dir.path() / "relative");
  fs::create_symlink(dir.path() / "relative", dir.path() / "chain");
  fs::create_symlink("real/missing", dir.path() / "dangling");
  for (const char* link : {"relative", "chain"}) {
    ASSERT_TRUE(replaceFile(dir.file(link), link));
    EXPECT_TRUE(fs::is_symlink(dir.path() / link));
    EXPECT_EQ(dir.read("real/settings"), link);
  }
  ASSERT_TRUE(replaceFile(dir.file("dangling"), "made"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
  EXPECT_EQ(dir.read("real/missing"), "made");

  fs::create_symlink("loop", dir.path() / "loop");
  EXPECT_FALSE(replaceFile(dir.file("loop"), "x"));
}

TEST(ReplaceFile, FailuresNameThePlaceAndChangeNothing) {
  TempDir dir;
  dir.write("folder/inside", "x");
  dir.write(".folder.tmp-mine", "a user's own file");
  const auto failed = replaceFile(dir.file("folder"), "x");
  EXPECT_FALSE(failed);
  EXPECT_NE(failed.error().find(dir.file("folder")), std::string::npos) << failed.error();
  EXPECT_FALSE(replaceFile(dir.file("missing/file"), "x"));
  EXPECT_EQ(dir.read("folder/inside"), "x");
  EXPECT_EQ(dir.read(".folder.tmp-mine"), "a user's own file");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tessaloom::files
