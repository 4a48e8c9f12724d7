// The scene reader: what a good scene yields, and the one-line message for each kind of bad
// scene.
#include "platform/sim/scene.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

Scene read(const std::string& text) {
  Result<Scene> scene = readScene(text, "scene.json");
  EXPECT_TRUE(scene) << scene.error();
  return scene ? std::move(*scene) : Scene{};
}

TEST(SceneReader, ReadsEveryMember) {
  const Scene scene = read(R"({
    // Comments are allowed in hand-written scenes.
    "trusted": false, "trustedAt": 2.5, "frontmost": 202, "self": 101, "boxingFails": ["size"],
    "apps": [
      {"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "enhancedUI": true,
       "windows": [{"title": "Docs", "frame": [100, 80, 900, 700]},
                   {"frame": [0, 0, 10.5, 20], "role": null, "subrole": "AXDialog",
                    "minimized": null, "fullScreen": true, "failRead": ["AXSize", "AXTitle"],
                    "failWrite": ["AXPosition"], "ignoresWrites": true, "minSize": [300, 200],
                    "vanishes": true, "writeDelay": 0.2, "positionValue": "number"}]},
      {"pid": 202, "policy": "accessory", "hidden": true, "unresponsive": true,
       "failWindows": true, "failWrite": ["AXEnhancedUserInterface"], "windowsValue": "withNull"}
    ],
    "installed": [{"bundleID": "com.openai.chat", "launchDelay": 0.5, "policy": "prohibited",
                   "windows": [{"frame": [0, 25, 800, 600]}]}]
  })");
  EXPECT_FALSE(scene.trusted);
  EXPECT_EQ(scene.trustedAt, 2.5);
  EXPECT_EQ(scene.frontmost, 202);
  EXPECT_EQ(scene.self, 101);
  EXPECT_FALSE(scene.pointBoxingFails);
  EXPECT_TRUE(scene.sizeBoxingFails);

  ASSERT_EQ(scene.apps.size(), 2u);
  const SceneApp& chrome = scene.apps[0];
  EXPECT_EQ(chrome.bundleID, "com.google.Chrome");
  EXPECT_EQ(chrome.name, "Google Chrome");
  EXPECT_EQ(chrome.enhancedUI, true);
  ASSERT_EQ(chrome.windows.size(), 2u);
  const SceneWindow& plain = chrome.windows[0];
  EXPECT_EQ(plain.title, "Docs");
  EXPECT_EQ(plain.frame, Rect(100, 80, 900, 700));
  EXPECT_EQ(plain.role, "AXWindow");
  EXPECT_EQ(plain.subrole, "AXStandardWindow");
  EXPECT_EQ(plain.minimized, false);
  const SceneWindow& odd = chrome.windows[1];
  EXPECT_FALSE(odd.title || odd.role || odd.minimized);
  EXPECT_EQ(odd.subrole, "AXDialog");
  EXPECT_EQ(odd.fullScreen, true);
  EXPECT_THAT(odd.failRead, ElementsAre("AXSize", "AXTitle"));
  EXPECT_THAT(odd.failWrite, ElementsAre("AXPosition"));
  EXPECT_TRUE(odd.ignoresWrites && odd.vanishes);
  EXPECT_EQ(odd.minSize, (Size{300, 200}));
  EXPECT_EQ(odd.writeDelay, 0.2);
  EXPECT_EQ(odd.positionValue, ValueShape::number);
  EXPECT_EQ(odd.sizeValue, ValueShape::boxed);

  const SceneApp& background = scene.apps[1];
  EXPECT_FALSE(background.bundleID || background.name || background.enhancedUI);
  EXPECT_EQ(background.policy, AppPolicy::accessory);
  EXPECT_TRUE(background.hidden && background.unresponsive);
  EXPECT_THAT(background.failRead, ElementsAre("AXWindows"));
  EXPECT_THAT(background.failWrite, ElementsAre("AXEnhancedUserInterface"));
  EXPECT_EQ(background.windowsValue, WindowsShape::withNull);

  ASSERT_EQ(scene.installed.size(), 1u);
  EXPECT_EQ(scene.installed[0].app.policy, AppPolicy::prohibited);
  EXPECT_EQ(scene.installed[0].launchDelay, 0.5);
}

TEST(SceneReader, DefaultsOfAnEmptyScene) {
  const Scene scene = read("{}");
  EXPECT_TRUE(scene.trusted);
  EXPECT_FALSE(scene.trustedAt || scene.frontmost);
  EXPECT_TRUE(scene.screens.empty());
  EXPECT_EQ(scene.mouse, (Point{0, 0}));
  EXPECT_FALSE(scene.pointBoxingFails || scene.sizeBoxingFails);
  // This program's pid defaults to the smallest no application uses.
  EXPECT_EQ(scene.self, 1);
  EXPECT_EQ(read(R"({"apps": [{"pid": 1}, {"pid": 3}, {"pid": 2}]})").self, 4);
  EXPECT_EQ(read(R"({"self": 2, "apps": [{"pid": 2}]})").self, 2);
}

TEST(SceneReader, RefusesBadScenesWithOneLineNamingThePlace) {
  struct Case {
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"[]", "the scene must be a JSON object"},
      {R"({"screen": []})", R"("screen" is not a known member)"},
      {R"({"a\nb": 1})", R"("a\nb" is not a known member)"},
      {R"({"trusted": "yes"})", R"("trusted" must be true or false)"},
      {R"({"trustedAt": "soon"})", R"("trustedAt" must be a number)"},
      {R"({"screens": {}})", R"("screens" must be an array)"},
      {R"({"screens": [{"name": "x"}]})", R"("screens"[0]."frame" is missing)"},
      {R"({"screens": [{"frame": [0, 0, 1, 1], "name": 3}]})",
       R"("screens"[0]."name" must be a string)"},
      {R"({"screens": [{"frame": [0, 0, 1, 1], "visible": [0, 0, -1, 1]}]})",
       R"("screens"[0]."visible" must not have a negative width or height)"},
      {R"({"mouse": [1]})", R"("mouse" must be an array of 2 numbers)"},
      {R"({"boxingFails": ["pos"]})", R"("boxingFails" may hold only "point" and "size")"},
      {R"({"boxingFails": "size"})", R"("boxingFails" must be an array of strings)"},
      {R"({"apps": {}})", R"("apps" must be an array)"},
      {R"({"apps": [1]})", R"("apps"[0] must be an object)"},
      {R"({"apps": [{}]})", R"("apps"[0]."pid" is missing)"},
      {R"({"apps": [{"pid": 0}]})",
       R"("apps"[0]."pid" must be a process identifier (a whole number from 1 to 2147483647))"},
      {R"({"apps": [{"pid": 2147483648}]})",
       R"("apps"[0]."pid" must be a process identifier (a whole number from 1 to 2147483647))"},
      {R"({"apps": [{"pid": 101}, {"pid": 7}, {"pid": 101}]})",
       R"("apps"[2]."pid" repeats the pid 101 of "apps"[0])"},
      {R"({"apps": [{"pid": 1, "failread": []}]})",
       R"("apps"[0]."failread" is not a known member)"},
      {R"({"apps": [{"pid": 1, "launchDelay": 1}]})",
       R"("apps"[0]."launchDelay" is not a known member)"},
      {R"({"apps": [{"pid": 1, "bundleID": 5}]})", R"("apps"[0]."bundleID" must be a string)"},
      {R"({"apps": [{"pid": 1, "policy": "background"}]})",
       R"("apps"[0]."policy" must be one of "regular", "accessory", "prohibited")"},
      {R"({"apps": [{"pid": 1, "hidden": 1}]})", R"("apps"[0]."hidden" must be true or false)"},
      {R"({"apps": [{"pid": 1, "enhancedUI": null}]})",
       R"("apps"[0]."enhancedUI" must be true or false)"},
      {R"({"apps": [{"pid": 1, "failRead": ["AXWindows", 2]}]})",
       R"("apps"[0]."failRead" must be an array of strings)"},
      {R"({"apps": [{"pid": 1, "windowsValue": "list"}]})",
       R"("apps"[0]."windowsValue" must be one of "elements", "string", "withNull")"},
      {R"({"apps": [{"pid": 1, "windows": [{"title": "t"}]}]})",
       R"("apps"[0]."windows"[0]."frame" is missing)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [1, 2, 3, "4"]}]}]})",
       R"("apps"[0]."windows"[0]."frame" must be an array of 4 numbers)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 10, -1]}]}]})",
       R"("apps"[0]."windows"[0]."frame" must not have a negative width or height)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "title": null}]}]})",
       R"("apps"[0]."windows"[0]."title" must be a string)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "role": 5}]}]})",
       R"("apps"[0]."windows"[0]."role" must be a string or null)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "minimized": "no"}]}]})",
       R"("apps"[0]."windows"[0]."minimized" must be true, false or null)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "minSize": [-1, 0]}]}]})",
       R"("apps"[0]."windows"[0]."minSize" must not be negative)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "writeDelay": -0.1}]}]})",
       R"("apps"[0]."windows"[0]."writeDelay" must be a number not below 0)"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "sizeValue": "point"}]}]})",
       R"("apps"[0]."windows"[0]."sizeValue" must be one of "size", "number")"},
      {R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0, 1, 1], "vanish": true}]}]})",
       R"("apps"[0]."windows"[0]."vanish" is not a known member)"},
      {R"({"frontmost": 7, "apps": [{"pid": 1}]})",
       R"("frontmost" names no application of "apps")"},
      {R"({"self": 0})",
       R"("self" must be a process identifier (a whole number from 1 to 2147483647))"},
      {R"({"installed": [{"name": "ChatGPT"}]})", R"("installed"[0]."bundleID" is missing)"},
      {R"({"installed": [{"bundleID": "a", "pid": 5}]})",
       R"("installed"[0]."pid" is not a known member)"},
      {R"({"installed": [{"bundleID": "a"}, {"bundleID": "b"}, {"bundleID": "a"}]})",
       R"("installed"[2]."bundleID" repeats "a" of "installed"[0])"},
      {R"({"installed": [{"bundleID": "a", "launchDelay": -1}]})",
       R"("installed"[0]."launchDelay" must be a number not below 0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readScene(c.text, "scene.json").error(), std::string("scene.json: ") + c.message);
  }
}

TEST(SceneReader, RefusesTextThatIsNotJson) {
  for (const char* text :
       {"", "not json", "{\"apps\": [", "{\"mouse\": [1e400, 0]}", "{\"mouse\": [NaN, 0]}",
        "{\"apps\": []} trailing", "{\"name\": \"\xff\"}"}) {
    SCOPED_TRACE(text);
    const std::string error = readScene(text, "dir/scene.json").error();
    EXPECT_THAT(error, StartsWith("dir/scene.json: not valid JSON: "));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_THAT(error, ::testing::Not(HasSubstr("json.exception")));
  }
  EXPECT_THAT(readScene("{\"mouse\": [1e400, 0]}", "s").error(), HasSubstr("1e400"));
}

TEST(SceneReader, FramesAreWrittenBackAsWholeNumbersWhereTheyAreWhole) {
  EXPECT_EQ(frameJson(Rect(100, -50, 800, 601)).dump(), "[100,-50,800,601]");
  EXPECT_EQ(frameJson(Rect(0.5, 1e20, 2.25, 3)).dump(), "[0.5,1e+20,2.25,3]");
}

}  // namespace
}  // namespace tessaloom::platform
