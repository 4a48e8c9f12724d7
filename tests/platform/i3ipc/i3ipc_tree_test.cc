// The replies of a headless sway (two outputs, a native, an X11 and a floating window, a
// hidden workspace, the scratchpad) and of i3 on Xvfb (two RandR monitors with bars, full
// screen, dialogs) as facts; and the names of hot-key bindings and their events.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/i3ipc/i3_hot_keys.h"
#include "platform/i3ipc/i3_tree.h"

namespace tessaloom::platform::i3ipc {
namespace {

using nlohmann::json;

json fixture(const std::string& name) {
  std::ifstream in(std::string(TESSALOOM_SOURCE_DIR) + "/tests/platform/i3ipc/" + name);
  return json::parse(in);
}

struct Expected {
  std::uint64_t con;
  std::string title;
  Rect frame;
  bool standard = true, fullScreen = false, floating = false, focused = false;
};

void expectWindows(const std::vector<TreeWindow>& got, const std::vector<Expected>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].title);
    EXPECT_EQ(got[i].con, want[i].con);
    EXPECT_EQ(got[i].title, want[i].title);
    EXPECT_EQ(got[i].frame, want[i].frame) << describe(got[i].frame);
    EXPECT_EQ(got[i].standard, want[i].standard);
    EXPECT_EQ(got[i].fullScreen, want[i].fullScreen);
    EXPECT_EQ(got[i].floating, want[i].floating);
    EXPECT_EQ(got[i].focused, want[i].focused);
  }
}

TEST(I3Tree, SwayWindowsOnVisibleWorkspacesWithTheirTitleBars) {
  const json sway = fixture("sway.json");
  const auto visible = visibleWorkspaces(sway["workspaces"]);
  const auto windows = treeWindows(sway["tree"], Flavour::sway, &visible);
  expectWindows(windows, {{6, "Foo one", {0, 0, 1920, 1080}},
                          {5, "Fox", {0, 540, 960, 540}, true, false, true},
                          {7, "Chat X", {960, 0, 960, 540}, true, false, true},
                          {10, "Right", {1920, 100, 1280, 720}, true, false, false, true}});
  EXPECT_EQ(windows[0].appId, "org.example.Foo");
  EXPECT_EQ(windows[0].pid, 23654u);
  EXPECT_EQ(windows[2].appId, "");
  EXPECT_EQ(windows[2].instance + "/" + windows[2].wmClass, "chatapp/ChatApp");
  // Reading frames back finds windows on hidden workspaces too, never the scratchpad's.
  EXPECT_EQ(treeWindows(sway["tree"], Flavour::sway, nullptr).size(), 5u);
}

TEST(I3Tree, I3WindowsWithoutDocksOrScratchpad) {
  const json i3 = fixture("i3.json");
  const auto visible = visibleWorkspaces(i3["workspaces"]);
  const auto windows = treeWindows(i3["tree"], Flavour::i3, &visible);
  expectWindows(windows,
                {{94479251543696, "Fox", {960, 530, 960, 265}},
                 {94479251626368, "Chat", {960, 0, 960, 1080}, true, true, false, true},
                 {94479251637424, "Chat dialog", {1238, 370, 404, 320}, false, false, true}});
  EXPECT_EQ(windows[0].pid, 0u) << "i3 does not say";
  EXPECT_EQ(windows[0].x11Window, 12582912u);
  EXPECT_EQ(treeWindows(i3["tree"], Flavour::i3, nullptr).size(), 4u);
}

TEST(I3Tree, OutputsPrimaryFirstWithBarsLeftOut) {
  const json sway = fixture("sway.json"), i3 = fixture("i3.json");
  EXPECT_EQ(outputScreens(sway["outputs"], sway["workspaces"]),
            (std::vector<Screen>{{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, "HEADLESS-1"},
                                 {{1920, 100, 1280, 720}, {1920, 100, 1280, 720}, "HEADLESS-2"}}));
  EXPECT_EQ(outputScreens(i3["outputs"], i3["workspaces"]),
            (std::vector<Screen>{{{0, 0, 960, 1080}, {0, 0, 960, 1060}, "LEFT"},
                                 {{960, 0, 960, 1080}, {960, 0, 960, 1060}, "RIGHT"}}));
  // RIGHT flagged primary comes first, the rest keep their order.
  json outputs = i3["outputs"];
  outputs[0]["primary"] = false;
  outputs[2]["primary"] = true;
  const auto screens = outputScreens(outputs, i3["workspaces"]);
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].name + "," + screens[1].name, "RIGHT,LEFT");
  EXPECT_EQ(focusedOutputCentre(sway["outputs"], sway["workspaces"]), (Point{2560, 460}));
  EXPECT_EQ(focusedOutputCentre(i3["outputs"], i3["workspaces"]), (Point{1440, 540}));
}

TEST(I3Tree, RepliesReadSafely) {
  for (const char* text : {"null", "[]", "{}", R"({"nodes": 3})", R"({"nodes": [{"type": 1}]})"})
    EXPECT_TRUE(treeWindows(json::parse(text), Flavour::sway, nullptr).empty()) << text;
  EXPECT_TRUE(outputScreens(json::parse(R"([{"active": true}])"), json()).empty());
  EXPECT_TRUE(isSway(json::parse(R"({"variant": "sway"})")));
  EXPECT_FALSE(isSway(json::parse(R"({"human_readable": "4.22"})")));
  EXPECT_TRUE(commandsSucceeded(json::parse(R"([{"success": true}, {"success": true}])")));
  EXPECT_FALSE(commandsSucceeded(json::parse(R"([{"success": true}, {"success": false}])")));
}

TEST(I3HotKeysNames, ChordsAndEvents) {
  EXPECT_EQ(I3HotKeys::bindingName({'g', kControlAlt}), "Ctrl+Mod1+g");
  EXPECT_EQ(I3HotKeys::bindingName({'z', kShift | kSuper}), "Shift+Mod4+z");
  EXPECT_FALSE(I3HotKeys::bindingName({'1', kControl}));
  const struct {
    const char* payload;
    std::optional<HotKeyId> id;
  } events[] = {
      {R"({"change": "run", "binding": {"command": "nop tessaloom 12"}})", 12},
      {R"({"change": "run", "binding": {"command": "nop tessaloom 12x"}})", std::nullopt},
      {R"({"change": "run", "binding": {"command": "exec foot"}})", std::nullopt},
      {R"({"change": "run", "binding": 5})", std::nullopt},
      {"not json", std::nullopt},
  };
  for (const auto& e : events) EXPECT_EQ(I3HotKeys::pressedId(e.payload), e.id) << e.payload;
}

}  // namespace
}  // namespace tessaloom::platform::i3ipc
