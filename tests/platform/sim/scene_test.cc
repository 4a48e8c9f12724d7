// The scene file: one clear line for every kind of bad document or file.
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

TEST(SceneReader, RefusesBadScenesWithOneLineNamingThePlace) {
  const std::string pid = "must be a process identifier (a whole number from 1 to 2147483647)";
  const std::string a = R"({"apps": [{"pid": 1, )",
                    w = a + R"("windows": [{"frame": [0, 0, 1, 1], )";
  // One row for each kind of fault, at the top level and deep inside.
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "the scene must be a JSON object"},
      {R"({"a\nb": 1})", R"("a\nb" is not a known member)"},
      {R"({"trusted": "yes"})", R"("trusted" must be true or false)"},
      {R"({"screens": [{"name": "x"}]})", R"("screens"[0]."frame" is missing)"},
      {R"({"mouse": [1]})", R"("mouse" must be an array of 2 numbers)"},
      {R"({"apps": [{"pid": 2147483648}]})", R"("apps"[0]."pid" )" + pid},
      {R"({"apps": [{"pid": 7}, {"pid": 7}]})",
       R"("apps"[1]."pid" repeats the pid 7 of "apps"[0])"},
      {a + R"("policy": "x"}]})", R"("apps"[0]."policy" must be one of "regular", "accessory", )"
                                  R"("prohibited")"},
      {w + R"("frame": [0, 0, 1, -1]}]}]})",
       R"("apps"[0]."windows"[0]."frame" must not have a negative width or height)"},
      {R"({"frontmost": 7, "apps": [{"pid": 1}]})",
       R"("frontmost" names no application of "apps")"},
  };
  for (const auto& [text, message] : cases)
    EXPECT_EQ(readScene(text, "scene.json").error(), "scene.json: " + message) << text;
  for (const char* text :
       {"", "{\"apps\": [", "{\"mouse\": [1e400, 0]}", "{} x", "{\"a\": \"\xff\"}"}) {
    const std::string error = readScene(text, "dir/scene.json").error();
    EXPECT_EQ(error.rfind("dir/scene.json: not valid JSON: ", 0), 0u) << error;
    EXPECT_EQ(error.find_first_of("\n"), std::string::npos) << error;
    EXPECT_EQ(error.find("json.exception"), std::string::npos) << error;
  }
}

TEST(SceneFile, RefusesToReadWhatIsNoRegularFileOfBoundedSize) {
  VirtualMainQueue clock;
  testing::TempDir dir;
  dir.write("big.json", "");
  std::filesystem::resize_file(dir.file("big.json"), SimDesktop::kMaxSceneBytes + 1);
  for (const auto& [path, reason] :
       {std::pair<std::string, std::string>{dir.path(), "Is a directory"},
        {"/dev/null", "not a regular file"},
        {dir.file("big.json"), "larger than 16 MiB"}})
    EXPECT_EQ(SimDesktop::loadFile(path, clock).error(),
              path + ": cannot be read (" + reason + ")");
}

}  // namespace
}  // namespace tessaloom::platform
