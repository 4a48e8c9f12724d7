// The command line: the real program run over scene files, each command's output, exit status
// and effect, and the runs it refuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "entry/cli.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace tessaloom::testing {
namespace {

using nlohmann::json;
using Frames = std::vector<std::vector<double>>;

class CommandLine : public ::testing::Test {
 protected:
  json read(const char* name) const { return json::parse(dir_.read(name)); }
  Frames frames() const {
    Frames out;
    const json scene = read("scene.json");
    for (const auto& w : scene["apps"][0]["windows"]) out.push_back(w["frame"]);
    return out;
  }
  ProgramResult run(const std::vector<std::string>& args,
                    std::vector<std::pair<std::string, std::string>> env = {}) {
    env.insert(env.begin(), {{"TESSALOOM_SCENE", dir_.file("scene.json")},
                             {"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                             {"XDG_CONFIG_HOME", dir_.file("config")},
                             {"-DISPLAY", ""}});
    return runProgram(TESSALOOM_BINARY, args, env);
  }
  TempDir dir_;
};

TEST_F(CommandLine, EachCommandSaysWhatItDidAndBadArgumentsGetOneLineAndStatusOne) {
  // Two screens side by side, the pointer over the right one, both windows on the left one.
  dir_.write("scene.json", R"({"mouse": [1200, 300], "screens": [
      {"name": "Left", "frame": [0, 0, 976, 616], "visible": [0, 0, 976, 616]},
      {"name": "Right", "frame": [976, 0, 976, 616], "visible": [976, 0, 976, 616]}],
    "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "windows": [
      {"title": "Docs", "frame": [100, 80, 900, 700]}, {"title": "Mail", "frame": [150, 90, 300, 200]}]}]})");
  dir_.write("defaults.json", R"({"displayMode": "mouseDisplay"})");
  const Frames original = {{100, 80, 900, 700}, {150, 90, 300, 200}};
  const Frames left = {{8, 8, 476, 600}, {492, 8, 476, 600}};  // inset by the default gap
  const Frames right = {{984, 8, 476, 600}, {1468, 8, 476, 600}};
  const std::string usage =
      "使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save | --restore\n";
  const std::string names = "レイアウト名: grid, columns, aiSplit, cascade, sameSize\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    Frames after;  // empty: not checked
  } steps[] = {
      {{"--list", "extra"},
       0,
       "display Left frame=(0.0, 0.0, 976.0, 616.0) visible=(0.0, 0.0, 976.0, 616.0)\n"
       "display Right frame=(976.0, 0.0, 976.0, 616.0) visible=(976.0, 0.0, 976.0, 616.0)\n"
       "[ブラウザ] Google Chrome | Docs | (100.0, 80.0, 900.0, 700.0)\n"
       "[ブラウザ] Google Chrome | Mail | (150.0, 90.0, 300.0, 200.0)\n",
       original},
      {{"--undo"}, 0, "元に戻した: 0枚\n", original},
      {{"--restore"}, 0, "復元: 0枚\n", original},
      {{"--bogus"}, 1, usage, original},
      {{"--mouse"}, 1, usage, original},
      {{"--apply"}, 1, names, original},
      {{"--apply", "Grid"}, 1, names, original},
      {{"--apply", "--mouse", "grid"}, 1, names, original},
      {{"--save"}, 0, "保存: 2枚\n", original},
      {{"--apply", "grid", "--mouse", "--per-display"}, 0, "自動タイルで整列: 2枚\n", left},
      {{"--undo"}, 0, "元に戻した: 2枚\n", original},
      {{"--undo"}, 0, "元に戻した: 2枚\n", left},
      {{"--apply", "grid"}, 0, "自動タイルで整列: 2枚\n", right},
      {{"--apply", "columns"}, 0, "横一列に並べる: 2枚\n", {}},
      {{"--apply", "aiSplit"}, 0, "ブラウザ左＋AI右に分ける: 2枚\n", {}},
      {{"--apply", "cascade"}, 0, "同じサイズで重ねる: 2枚\n", {}},
      {{"--apply", "sameSize"}, 0, "サイズだけ揃える（位置はそのまま）: 2枚\n", {}},
      {{"--restore"}, 0, "復元: 2枚\n", original},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.args[0] + (step.args.size() > 1 ? " " + step.args[1] : ""));
    const auto r = run(step.args);
    EXPECT_EQ(r.status, step.status);
    EXPECT_EQ(r.out, step.out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(step.after.empty() ? step.after : frames(), step.after);
  }
  EXPECT_EQ(read("defaults.json")["displayMode"], "mouseDisplay") << "options are never stored";
}

TEST_F(CommandLine, ListedNamesAndTitlesStayOnOneLineAndTitlesAreCut) {
  const std::string cut =
      "👩‍💻é" + std::string(38, 'x');  // one character each, several code points
  dir_.write("scene.json", R"({"screens": [{"name": "S", "frame": [0, 0, 976, 616]}],
    "apps": [{"pid": 7, "bundleID": "com.google.Chrome", "name": "Tab\tName", "windows": [
      {"title": "0123456789012345678901234567890123456789ABC", "frame": [0, 0, 800, 600]},
      {"title": ")" + cut + R"(xxxxxx", "frame": [0, 0, 800, 600]},
      {"title": "a\nb\r\n\u001B[2J\u007F\u0085\u00A0", "frame": [0, 0, 800, 600]}]}]})");
  const auto out = run({"--list"}).out;
  EXPECT_EQ(out.substr(out.find('\n') + 1),
            "[ブラウザ] Tab\\x09Name | 0123456789012345678901234567890123456789 | (0.0, 0.0, "
            "800.0, 600.0)\n[ブラウザ] Tab\\x09Name | " +
                cut +
                " | (0.0, 0.0, 800.0, 600.0)\n[ブラウザ] Tab\\x09Name | "
                "a\\x0Ab\\x0D\\x0A\\x1B[2J\\x7F\\u0085\xC2\xA0 | (0.0, 0.0, 800.0, 600.0)\n");
}

TEST_F(CommandLine, RunsThatCannotReachTheDesktopEndWithOneLineAndStatusTwo) {
  using Env = std::vector<std::pair<std::string, std::string>>;
  const Env noScene = {{"-TESSALOOM_SCENE", ""}, {"-WAYLAND_DISPLAY", ""}};
  const struct {
    const char* scene;  // nothing: no scene file
    const char* command;
    Env env;
    const char* mention;
  } cases[] = {
      {nullptr, "--list", {}, "scene.json"},
      {"{ not json", "--list", {}, "scene.json"},
      {R"({"screens": 3})", "--list", {}, "screens"},
      {R"({"apps": [{"pid": "x"}]})", "--save", {}, "pid"},
      {R"({"trusted": false})", "--apply", {}, "アクセシビリティの許可がありません"},
      {R"({"trusted": false})", "--bogus", {}, "アクセシビリティの許可がありません"},
      {nullptr, "--list", noScene, "TESSALOOM_SCENE"},
      {nullptr, "--undo", {{"-TESSALOOM_SCENE", ""}, {"DISPLAY", ":4711"}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.scene ? c.scene : "") + " " + c.command);
    if (c.scene) dir_.write("scene.json", c.scene);
    const auto r = run({c.command, "grid"}, c.env);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_NE(r.out.find(c.mention), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(dir_.exists("defaults.json"));
}

TEST(CommandLineMode, OnlyAFirstArgumentStartingWithTwoDashesChoosesIt) {
  const char* argv[] = {"/usr/bin/tessaloom", "-psn_0_42", "--list", nullptr};
  EXPECT_EQ(entry::arguments(4, argv), (std::vector<std::string>{"-psn_0_42", "--list", ""}));
  using V = std::vector<std::string>;
  for (const auto& [args, chosen] : std::vector<std::pair<V, bool>>{
           {{}, false}, {{"-psn_0_42", "--list"}, false}, {{"--list"}, true}, {{"--"}, true}})
    EXPECT_EQ(entry::isCommandLineMode(args), chosen) << args.size();
}

}  // namespace
}  // namespace tessaloom::testing
