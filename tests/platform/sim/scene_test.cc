// The scene file: one clear line for every kind of bad document, and a write-back that changes
// only moved frames and launched applications.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;

/// A scene of one application holding `members`, or of one window of it holding `window`.
std::string app(const std::string& members) {
  return R"({"apps": [{"pid": 1, )" + members + "}]}";
}
std::string window(const std::string& members) {
  return app(R"("windows": [{"frame": [0, 0, 1, 1], )" + members + "}]");
}

TEST(SceneReader, RefusesBadScenesWithOneLineNamingThePlace) {
  const std::string pid = "must be a process identifier (a whole number from 1 to 2147483647)";
  const std::string a = R"("apps"[0].)", w = R"("apps"[0]."windows"[0].)";
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "the scene must be a JSON object"},
      {R"({"a\nb": 1})", R"("a\nb" is not a known member)"},
      {R"({"trusted": "yes"})", R"("trusted" must be true or false)"},
      {R"({"trustedAt": "soon"})", R"("trustedAt" must be a number)"},
      {R"({"screens": {}})", R"("screens" must be an array)"},
      {R"({"screens": [{"name": "x"}]})", R"("screens"[0]."frame" is missing)"},
      {R"({"screens": [{"frame": [0, 0, 1, -1]}]})",
       R"("screens"[0]."frame" must not have a negative width or height)"},
      {R"({"mouse": [1]})", R"("mouse" must be an array of 2 numbers)"},
      {R"({"boxingFails": ["pos"]})", R"("boxingFails" may hold only "point" and "size")"},
      {R"({"apps": [1]})", R"("apps"[0] must be an object)"},
      {R"({"apps": [{"pid": 0}]})", a + R"("pid" )" + pid},
      {R"({"apps": [{"pid": 2147483648}]})", a + R"("pid" )" + pid},
      {R"({"apps": [{"pid": 7}, {"pid": 1}, {"pid": 7}]})",
       R"("apps"[2]."pid" repeats the pid 7 of "apps"[0])"},
      {app(R"("launchDelay": 1)"), a + R"("launchDelay" is not a known member)"},
      {app(R"("policy": "x")"),
       a + R"("policy" must be one of "regular", "accessory", "prohibited")"},
      {app(R"("enhancedUI": null)"), a + R"("enhancedUI" must be true or false)"},
      {app(R"("failRead": ["AXWindows", 2])"), a + R"("failRead" must be an array of strings)"},
      {window(R"("frame": [1, 2, 3, "4"])"), w + R"("frame" must be an array of 4 numbers)"},
      {window(R"("title": null)"), w + R"("title" must be a string)"},
      {window(R"("role": 5)"), w + R"("role" must be a string or null)"},
      {window(R"("minimized": "no")"), w + R"("minimized" must be true, false or null)"},
      {window(R"("minSize": [-1, 0])"), w + R"("minSize" must not be negative)"},
      {window(R"("writeDelay": -0.1)"), w + R"("writeDelay" must be a number not below 0)"},
      {R"({"frontmost": 7, "apps": [{"pid": 1}]})",
       R"("frontmost" names no application of "apps")"},
      {R"({"self": 0})", R"("self" )" + pid},
      {R"({"installed": [{"pid": 5}]})", R"("installed"[0]."pid" is not a known member)"},
      {R"({"installed": [{"name": "x"}]})", R"("installed"[0]."bundleID" is missing)"},
      {R"({"installed": [{"bundleID": "a"}, {"bundleID": "b"}, {"bundleID": "a"}]})",
       R"("installed"[2]."bundleID" repeats "a" of "installed"[0])"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(readScene(text, "scene.json").error(), "scene.json: " + message);
  }
  for (const char* text : {"", "{\"apps\": [", "{\"mouse\": [1e400, 0]}", "{\"mouse\": [NaN, 0]}",
                           "{} trailing", "{\"name\": \"\xff\"}"}) {
    SCOPED_TRACE(text);
    const std::string error = readScene(text, "dir/scene.json").error();
    EXPECT_EQ(error.rfind("dir/scene.json: not valid JSON: ", 0), 0u) << error;
    EXPECT_EQ(error.find_first_of("\n"), std::string::npos) << error;
    EXPECT_EQ(error.find("json.exception"), std::string::npos) << error;
  }
}

TEST(SceneReader, ThisProgramTakesTheSmallestPidNoApplicationUses) {
  EXPECT_EQ(readScene("{}", "s")->self, 1);
  EXPECT_EQ(readScene(R"({"apps": [{"pid": 1}, {"pid": 3}, {"pid": 2}]})", "s")->self, 4);
  EXPECT_EQ(readScene(R"({"self": 2, "apps": [{"pid": 2}]})", "s")->self, 2);
}

constexpr const char* kScene = R"({
  "screens": [{"name": "Built-in", "frame": [0, 0, 1440, 900], "visible": [0, 0, 1440, 875]}],
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "enhancedUI": true,
            "windows": [{"title": "Docs", "frame": [100, 80.0, 900, 700], "minSize": [10, 10]},
                        {"title": "Mail", "frame": [0, 0, 640, 480], "subrole": null}]}],
  "installed": [{"bundleID": "com.openai.chat", "name": "ChatGPT", "launchDelay": 0.5,
                 "windows": [{"title": "ChatGPT", "frame": [0, 25, 800, 600]}]},
                {"bundleID": "com.anthropic.claude", "launchDelay": 30}],
  "mouse": [720, 450]
})";

TEST(SceneWriteBack, ChangesOnlyMovedFramesAndLaunchedApplications) {
  VirtualMainQueue clock;
  testing::TempDir dir;
  dir.write("scene.json", kScene);
  auto d = std::move(*SimDesktop::loadFile(dir.file("scene.json"), clock));
  Json expected = Json::parse(kScene);
  EXPECT_EQ(Json::parse(d->toJson()), expected);  // in its member order
  const Placement same{d->windowHandle(101, 0), {100, 80, 900, 700}};
  d->place({&same, 1});
  EXPECT_FALSE(d->changed());
  d->launch("com.openai.chat");
  d->launch("com.anthropic.claude");  // still launching at the end
  clock.sleep(0.5);
  EXPECT_TRUE(d->changed());  // due, though nobody has looked yet
  const std::vector<Placement> moves = {{d->windowHandle(101, 1), {-300.5, 40, 700, 500}},
                                        {d->windowHandle(102, 0), {720, 25, 720, 875}}};
  d->place(moves);
  expected["apps"][0]["windows"][1]["frame"] = Json::parse("[-300.5, 40, 700, 500]");
  expected["apps"].push_back(Json::parse(R"({"pid": 102, "bundleID": "com.openai.chat",
      "name": "ChatGPT", "windows": [{"title": "ChatGPT", "frame": [720, 25, 720, 875]}]})"));
  expected["installed"].erase(0);
  EXPECT_EQ(Json::parse(d->toJson()), expected);
  EXPECT_THAT(d->toJson(), HasSubstr("80.0"));
  ASSERT_TRUE(d->saveFile(dir.file("scene.json")));
  auto reloaded = std::move(*SimDesktop::loadFile(dir.file("scene.json"), clock));
  EXPECT_EQ(reloaded->toJson(), d->toJson());
  EXPECT_FALSE(reloaded->launch("com.openai.chat"));  // no longer installed
}

TEST(SceneWriteBack, FileErrorsNameTheFile) {
  VirtualMainQueue clock;
  testing::TempDir dir;
  dir.write("bad.json", R"({"mouse": 1})");
  dir.write("big.json", "");
  std::filesystem::resize_file(dir.file("big.json"), SimDesktop::kMaxSceneBytes + 1);
  const std::pair<std::string, std::string> cases[] = {
      {dir.file("none.json"), "cannot be read (No such file or directory)"},
      {dir.path(), "cannot be read (Is a directory)"},
      {"/dev/null", "cannot be read (not a regular file)"},
      {dir.file("big.json"), "cannot be read (larger than 16 MiB)"},
      {dir.file("bad.json"), R"("mouse" must be an array of 2 numbers)"},
  };
  for (const auto& [path, message] : cases)
    EXPECT_EQ(SimDesktop::loadFile(path, clock).error(), path + ": " + message);
  auto d = std::move(*SimDesktop::fromJson("{}", clock));
  EXPECT_THAT(d->saveFile(dir.file("no/s.json")).error(),
              HasSubstr("/no/s.json: cannot be written ("));
}

}  // namespace
}  // namespace tessaloom::platform
