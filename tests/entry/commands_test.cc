// The command table and its edge cases, on the real binary over scene files.
#include <nlohmann/json.hpp>

#include "entry/scene_fixture.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;

// One screen whose usable area, inset by the default gap of 8, is (8, 8, 960, 600).
json screen() {
  return json::array(
      {{{"name", "Built-in"}, {"frame", {0, 0, 976, 616}}, {"visible", {0, 0, 976, 616}}}});
}

json chrome(json windows) {
  return {{"pid", 101},
          {"bundleID", "com.google.Chrome"},
          {"name", "Google Chrome"},
          {"windows", std::move(windows)}};
}

json window(const std::string& title, std::vector<double> frame) {
  return {{"title", title}, {"frame", frame}};
}

class CommandsTest : public SceneTest {
 protected:
  void SetUp() override {
    writeScene(
        {{"screens", screen()},
         {"apps",
          {chrome({window("Docs", {100, 80, 900, 700}), window("Mail", {150, 90, 300, 200})})}}});
  }
};

constexpr const char* kUsage =
    "使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save | --restore\n";
constexpr const char* kLayoutNames = "レイアウト名: grid, columns, aiSplit, cascade, sameSize\n";

TEST_F(CommandsTest, ListPrintsDisplaysThenWindows) {
  auto r = run({"--list", "extra"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "display Built-in frame=(0.0, 0.0, 976.0, 616.0) visible=(0.0, 0.0, 976.0, 616.0)\n"
            "[ブラウザ] Google Chrome | Docs | (100.0, 80.0, 900.0, 700.0)\n"
            "[ブラウザ] Google Chrome | Mail | (150.0, 90.0, 300.0, 200.0)\n");
  EXPECT_EQ(r.err, "");
  // Neither a listing nor a usage error writes anything.
  EXPECT_EQ(run({"--bogus"}).out, kUsage);
  EXPECT_FALSE(dir_.exists("defaults.json"));
}

TEST_F(CommandsTest, CommandsThatMoveNothingLeaveTheSceneFileAsItWas) {
  dir_.write("scene.json", normalizedScene({{"screens", screen()},
                                            {"apps", {chrome({window("Docs", {8, 8, 960, 600})})}}})
                               .dump());
  const std::string before = dir_.read("scene.json");
  for (const char* command : {"--list", "--save", "--undo", "--restore"}) {
    EXPECT_EQ(run({command}).status, 0) << command;
    EXPECT_EQ(dir_.read("scene.json"), before) << command;
  }
  // The window already fills its grid cell: planned, but not moved.
  EXPECT_EQ(run({"--apply", "grid"}).status, 0);
  EXPECT_EQ(dir_.read("scene.json"), before);
  EXPECT_EQ(run({"--apply", "cascade"}).status, 0);
  EXPECT_NE(dir_.read("scene.json"), before);
}

struct Rejected {
  std::vector<std::string> args;
  const char* out;
};

class RejectedArgumentsTest : public CommandsTest,
                              public ::testing::WithParamInterface<Rejected> {};

TEST_P(RejectedArgumentsTest, PrintsOneLineAndStatusOneAndKeepsTheDisplayMode) {
  writeDefaults({{"displayMode", "mouseDisplay"}});
  auto r = run(GetParam().args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, GetParam().out);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(defaults()["displayMode"], "mouseDisplay");
  EXPECT_EQ(frame(101, 0), (std::vector<double>{100, 80, 900, 700}));
}

INSTANTIATE_TEST_SUITE_P(Commands, RejectedArgumentsTest,
                         ::testing::Values(Rejected{{"--mouse"}, kUsage},
                                           Rejected{{"--per-display"}, kUsage},
                                           Rejected{{"--help"}, kUsage},
                                           Rejected{{"--List"}, kUsage},
                                           Rejected{{"--apply"}, kLayoutNames},
                                           Rejected{{"--apply", "Grid"}, kLayoutNames},
                                           Rejected{{"--apply", "aisplit"}, kLayoutNames},
                                           Rejected{{"--apply", "--mouse", "grid"}, kLayoutNames}));

TEST_F(CommandsTest, ApplyMovesEveryWindowAndUndoToggles) {
  auto r = run({"--apply", "grid"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "自動タイルで整列: 2枚\n");
  EXPECT_EQ(frame(101, 0), (std::vector<double>{8, 8, 476, 600}));
  EXPECT_EQ(frame(101, 1), (std::vector<double>{492, 8, 476, 600}));

  r = run({"--undo"});
  EXPECT_EQ(r.out, "元に戻した: 2枚\n");
  EXPECT_EQ(frame(101, 0), (std::vector<double>{100, 80, 900, 700}));
  EXPECT_EQ(frame(101, 1), (std::vector<double>{150, 90, 300, 200}));

  r = run({"--undo"});
  EXPECT_EQ(r.out, "元に戻した: 2枚\n");
  EXPECT_EQ(frame(101, 0), (std::vector<double>{8, 8, 476, 600}));
}

TEST_F(CommandsTest, EveryLayoutReportsItsTitleAndCount) {
  const std::pair<const char*, const char*> layouts[] = {
      {"grid", "自動タイルで整列: 2枚\n"},
      {"columns", "横一列に並べる: 2枚\n"},
      {"aiSplit", "ブラウザ左＋AI右に分ける: 2枚\n"},
      {"cascade", "同じサイズで重ねる: 2枚\n"},
      {"sameSize", "サイズだけ揃える（位置はそのまま）: 2枚\n"},
  };
  for (const auto& [raw, line] : layouts) {
    auto r = run({"--apply", raw, "--per-display"});
    EXPECT_EQ(r.status, 0) << raw;
    EXPECT_EQ(r.out, line);
  }
}

TEST_F(CommandsTest, NothingToArrangeKeepsTheUndoSnapshot) {
  ASSERT_EQ(run({"--apply", "columns"}).status, 0);
  const auto undo = defaults()["undoLayout"];
  writeScene({{"screens", screen()}, {"apps", json::array()}});
  auto r = run({"--apply", "grid"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "自動タイルで整列: 0枚\n");
  EXPECT_EQ(defaults()["undoLayout"], undo);
}

TEST_F(CommandsTest, NothingToUndoSaveOrRestoreIsNoFailure) {
  EXPECT_EQ(run({"--undo"}).out, "元に戻した: 0枚\n");
  EXPECT_EQ(run({"--restore"}).out, "復元: 0枚\n");
  EXPECT_FALSE(defaults().contains("undoLayout"));
}

TEST_F(CommandsTest, SaveThenRestorePutsWindowsBack) {
  auto r = run({"--save"});
  EXPECT_EQ(r.out, "保存: 2枚\n");
  ASSERT_EQ(run({"--apply", "cascade"}).status, 0);
  r = run({"--restore"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "復元: 2枚\n");
  EXPECT_EQ(frame(101, 0), (std::vector<double>{100, 80, 900, 700}));
  EXPECT_EQ(frame(101, 1), (std::vector<double>{150, 90, 300, 200}));
  // The restore itself can be taken back.
  EXPECT_EQ(run({"--undo"}).out, "元に戻した: 2枚\n");
}

TEST_F(CommandsTest, WithoutPermissionOnlyTheMessageAppears) {
  auto s = scene();
  s["trusted"] = false;
  writeScene(s);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--list"}, {"--apply", "grid", "--mouse"}, {"--bogus"}}) {
    auto r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "アクセシビリティの許可がありません\n");
  }
  EXPECT_FALSE(dir_.exists("defaults.json"));
}

TEST_F(CommandsTest, LongTitlesAreCutToFortyCharacters) {
  const std::string title45 = "0123456789012345678901234567890123456789ABCDE";
  const std::string emoji = "👩‍💻é";  // one grapheme each, several code points
  writeScene({{"screens", screen()},
              {"apps",
               {chrome({window(title45, {0, 0, 800, 600}),
                        window(emoji + std::string(44, 'x'), {0, 0, 800, 600})})}}});
  auto r = run({"--list"});
  EXPECT_NE(r.out.find("| 0123456789012345678901234567890123456789 |"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("| " + emoji + std::string(38, 'x') + " |"), std::string::npos) << r.out;
}

TEST_F(CommandsTest, ControlCharactersAreWrittenOutOneWindowALine) {
  json app = chrome({window("a\nb\r\n\x1B[2J\x7F\xC2\x85\xC2\xA0", {0, 0, 800, 600})});
  app["name"] = "Tab\tName";
  writeScene({{"screens", screen()}, {"apps", {app}}});
  auto r = run({"--list"});
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
            "[ブラウザ] Tab\\x09Name | a\\x0Ab\\x0D\\x0A\\x1B[2J\\x7F\\u0085\xC2\xA0 | "
            "(0.0, 0.0, 800.0, 600.0)\n");
}

TEST_F(CommandsTest, DisplayModeOptionsHoldForOneRunOnly) {
  // Two screens side by side, the pointer over the right one, both windows on the left one.
  auto s = scene();
  s["screens"].push_back(
      {{"name", "Right"}, {"frame", {976, 0, 976, 616}}, {"visible", {976, 0, 976, 616}}});
  s["mouse"] = {1200, 300};
  writeScene(s);

  ASSERT_EQ(run({"--apply", "grid", "--mouse"}).status, 0);
  EXPECT_EQ(frame(101, 0), (std::vector<double>{984, 8, 476, 600}));
  EXPECT_FALSE(defaults().contains("displayMode")) << "the option is never stored";

  writeScene(s);
  writeDefaults({{"displayMode", "mouseDisplay"}});
  ASSERT_EQ(run({"--apply", "grid", "--mouse", "--per-display"}).status, 0);
  EXPECT_EQ(frame(101, 0), (std::vector<double>{8, 8, 476, 600}));
  EXPECT_EQ(defaults()["displayMode"], "mouseDisplay");
}

TEST_F(CommandsTest, RestoreLaunchesAnApplicationThatWasQuit) {
  ASSERT_EQ(run({"--save"}).out, "保存: 2枚\n");
  // The browser is quit, its windows open elsewhere when it starts again.
  json installed = chrome({window("Docs", {300, 300, 500, 400}), window("Mail", {0, 0, 640, 480})});
  installed.erase("pid");
  installed["launchDelay"] = 0.4;
  writeScene({{"screens", screen()}, {"apps", json::array()}, {"installed", {installed}}});

  auto r = run({"--restore"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "復元: 2枚\n");
  auto s = scene();
  ASSERT_EQ(s["apps"].size(), 1u);
  EXPECT_TRUE(s["installed"].empty());
  EXPECT_EQ(s["apps"][0]["windows"][0]["frame"], json({100, 80, 900, 700}));
  EXPECT_EQ(s["apps"][0]["windows"][1]["frame"], json({150, 90, 300, 200}));
}

}  // namespace
}  // namespace tessaloom::testing
