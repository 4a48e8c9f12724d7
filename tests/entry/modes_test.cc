// Mode selection and the failures that end before any command runs.
#include <nlohmann/json.hpp>

#include "entry/cli.h"
#include "entry/scene_fixture.h"

namespace tessaloom::testing {
namespace {

TEST(Arguments, AreEveryWordAfterTheProgramPath) {
  const char* argv[] = {"/usr/bin/tessaloom", "-NSDocumentRevisionsDebugMode", "YES", "--list",
                        nullptr};
  EXPECT_EQ(entry::arguments(5, argv),
            (std::vector<std::string>{"-NSDocumentRevisionsDebugMode", "YES", "--list", ""}));
}

TEST(ModeSelection, OnlyTheFirstArgumentDecides) {
  using V = std::vector<std::string>;
  EXPECT_FALSE(entry::isCommandLineMode(V{}));
  EXPECT_FALSE(entry::isCommandLineMode(V{"YES", "--list"}));
  EXPECT_FALSE(entry::isCommandLineMode(V{"-psn_0_42"}));
  EXPECT_FALSE(entry::isCommandLineMode(V{"foo", "--list"}));
  EXPECT_TRUE(entry::isCommandLineMode(V{"--list"}));
  EXPECT_TRUE(entry::isCommandLineMode(V{"--"}));
}

class ModesTest : public SceneTest {};

TEST_F(ModesTest, ABrokenSceneIsRefusedWithOneLine) {
  const std::pair<const char*, const char*> scenes[] = {
      {"{ not json", "scene.json"},
      {R"({"screens": 3})", "screens"},
      {R"({"apps": [{"pid": "x"}]})", "pid"},
  };
  for (const auto& [text, mention] : scenes) {
    dir_.write("scene.json", text);
    auto r = run({"--list"});
    EXPECT_EQ(r.status, 2) << text;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_NE(r.out.find(mention), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(ModesTest, AMissingSceneFileIsRefused) {
  auto r = run({"--list"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("scene.json"), std::string::npos);
}

TEST(NoDesktop, WithoutADisplayTheCommandEndsWithOneLine) {
  TempDir dir;
  auto r = runProgram(TESSALOOM_BINARY, {"--list"},
                      {{"-TESSALOOM_SCENE", ""},
                       {"-DISPLAY", ""},
                       {"-WAYLAND_DISPLAY", ""},
                       {"TESSALOOM_DEFAULTS", dir.file("defaults.json")}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_NE(r.out.find("TESSALOOM_SCENE"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST(NoDesktop, AnUnreachableDisplayEndsWithOneLine) {
  TempDir dir;
  auto r = runProgram(TESSALOOM_BINARY, {"--undo"},
                      {{"-TESSALOOM_SCENE", ""},
                       {"DISPLAY", ":4711"},
                       {"TESSALOOM_DEFAULTS", dir.file("defaults.json")}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
}

}  // namespace
}  // namespace tessaloom::testing
