// The command line run over scene files: each command's output, status and effect; refusals.
#include <gtest/gtest.h>

#include <array>

#include <nlohmann/json.hpp>

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
    const json windows = read("scene.json")["apps"][0]["windows"];
    return {windows[0]["frame"], windows[1]["frame"]};
  }
  ProgramResult run(const std::vector<std::string>& args,
                    std::vector<std::pair<std::string, std::string>> env = {}) {
    env.insert(env.begin(), {{"TESSALOOM_SCENE", dir_.file("scene.json")},
                             {"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                             {"XDG_CONFIG_HOME", dir_.file("config")},
                             {"-DISPLAY", ""},
                             // The source texts unless a test asks for a language.
                             {"LANG", "C.UTF-8"},
                             {"-LANGUAGE", ""},
                             {"-LC_ALL", ""},
                             {"-LC_MESSAGES", ""},
                             {"TESSALOOM_LOCALEDIR", TESSALOOM_BUILD_LOCALE_DIR}});
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
      "使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save [名前] | "
      "--restore [名前] | --saved | --forget <名前>\n";
  const std::string names = "レイアウト名: grid, columns, aiSplit, cascade, sameSize\n";
  // The arguments, the exit status, the output and the frames after the run (if checked).
  const std::tuple<std::vector<std::string>, int, std::string, Frames> steps[] = {
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
      {{"--apply"}, 1, names, original},
      {{"--apply", "Grid"}, 1, names, original},
      {{"--apply", "--mouse", "grid"}, 1, names, original},
      {{"--save"}, 0, "保存: 2枚\n", original},
      {{"--apply", "grid", "--mouse", "--per-display"}, 0, "自動タイルで整列: 2枚\n", left},
      {{"--undo"}, 0, "元に戻した: 2枚\n", original},
      {{"--undo"}, 0, "元に戻した: 2枚\n", left},
      {{"--apply", "grid"}, 0, "自動タイルで整列: 2枚\n", right},
      {{"--apply", "aiSplit"}, 0, "ブラウザ左＋AI右に分ける: 2枚\n", {}},
      {{"--restore"}, 0, "復元: 2枚\n", original},
  };
  for (const auto& [args, status, out, after] : steps) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    const auto r = run(args);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(after.empty() ? after : frames(), after);
  }
  EXPECT_EQ(read("defaults.json")["displayMode"], "mouseDisplay") << "options are never stored";
  // A store that cannot be written saves nothing and says why, not how many.
  const auto r = run({"--save"}, {{"TESSALOOM_DEFAULTS", dir_.file("scene.json") + "/d.json"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

// Named arrangements beside the unnamed one, each put back on its own; bad names get one line.
TEST_F(CommandLine, NamedArrangementsAreSavedListedRestoredAndForgotten) {
  dir_.write("scene.json", R"({"screens": [{"name": "S\u202E", "frame": [0, 0, 976, 616]}],
    "apps": [{"pid": 7, "bundleID": "com.google.Chrome", "windows": [
      {"title": "A", "frame": [0, 0, 300, 200]}, {"title": "B", "frame": [400, 100, 300, 200]}]}]})");
  const Frames start = frames(), grid = {{8, 8, 476, 600}, {492, 8, 476, 600}};
  const std::tuple<std::vector<std::string>, int, std::string, Frames> steps[] = {
      {{"--save", " 仕事\u3000"}, 0, "保存「仕事」: 2枚\n", start},
      {{"--apply", "grid"}, 0, "自動タイルで整列: 2枚\n", grid},
      {{"--save", "Home"}, 0, "保存「Home」: 2枚\n", grid},
      {{"--save"}, 0, "保存: 2枚\n", grid},
      {{"--saved"}, 0, "仕事 | 2枚 | S\\u202E 976x616 | 20", {}},
      {{"--restore", "仕事"}, 0, "復元「仕事」: 2枚\n", start},
      {{"--restore", "Home"}, 0, "復元「Home」: 2枚\n", grid},
      {{"--forget", "仕事"}, 0, "削除「仕事」\n", grid},
      {{"--restore", "仕事"}, 1, "保存した配置「仕事」はありません\n", grid},
      {{"--forget", "仕事"}, 1, "保存した配置「仕事」はありません\n", grid},
      {{"--save", "a\tb"}, 1, "配置の名前は空でなく", grid},
      {{"--save", std::string(65, 'x')}, 1, "配置の名前は空でなく", grid},
      {{"--restore"}, 0, "復元: 2枚\n", grid},
  };
  for (const auto& [args, status, out, after] : steps) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    const auto r = run(args, {{"TZ", "UTC"}});
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out.substr(0, out.size()), out);
    EXPECT_EQ(after.empty() ? after : frames(), after);
  }
  const std::string listed = run({"--saved"}).out;
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1) << listed;
}

TEST_F(CommandLine, ListedNamesAndTitlesStayOnOneLineAndTitlesAreCut) {
  dir_.write("scene.json", R"({"screens": [{"name": "S", "frame": [0, 0, 976, 616]}],
    "apps": [{"pid": 7, "bundleID": "com.google.Chrome", "name": "Tab\tName", "windows": [
      {"title": "👩‍💻é0123456789012345678901234567890123456789", "frame": [0, 0, 800, 600]},
      {"title": "a\nb\r\n\u001B[2J\u007F\u0085\u00A0\u2027\u2028\u202E\u2066x\u2069\u206A",
       "frame": [0, 0, 800, 600]}]}]})");
  const auto out = run({"--list"}).out;
  EXPECT_EQ(
      out.substr(out.find('\n') + 1),  // emoji and accent: one character each
      "[ブラウザ] Tab\\x09Name | 👩‍💻é01234567890123456789012345678901234567 | (0.0, "
      "0.0, "
      "800.0, 600.0)\n[ブラウザ] Tab\\x09Name | a\\x0Ab\\x0D\\x0A\\x1B[2J\\x7F\\u0085\xC2\xA0\u2027"
      "\\u2028\\u202E\\u2066x\\u2069\u206A "
      "| (0.0, 0.0, 800.0, 600.0)\n");
}

// Japanese under C.UTF-8 and Japanese, English under English and under a language without a
// catalogue; the locales need not exist on the machine. One window and none: both plural forms.
TEST_F(CommandLine, SpeaksTheLocalesLanguageAndEnglishWhereThereIsNoCatalogue) {
  dir_.write("scene.json", R"({"screens": [{"name": "S", "frame": [0, 0, 976, 616]}],
    "apps": [{"pid": 7, "bundleID": "com.google.Chrome",
    "windows": [{"title": "A", "frame": [0, 0, 300, 200]}]}]})");
  using Lines = std::array<const char*, 5>;
  const Lines ja = {"自動タイルで整列: 1枚", "復元: 0枚", "使い方: --list | --apply <layout>",
                    "使い方: tessaloom [コマンド]", "保存した配置「x」はありません"};
  const Lines en = {"Auto grid: 1 window", "Restored: 0 windows",
                    "Usage: --list | --apply <layout>", "Usage: tessaloom [COMMAND]",
                    "There is no saved arrangement \u201cx\u201d"};
  const std::vector<std::vector<std::string>> commands = {
      {"--apply", "grid"}, {"--restore"}, {"--bogus"}, {"--help"}, {"--forget", "x"}};
  for (const auto& [locale, lines] : {std::pair{"C.UTF-8", ja}, std::pair{"ja_JP.UTF-8", ja},
                                      std::pair{"en_US.UTF-8", en}, std::pair{"de_DE.UTF-8", en}}) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
      const auto r = run(commands[i], {{"LANG", locale}});
      EXPECT_TRUE(r.out.starts_with(lines[i])) << locale << ": " << r.out;
    }
  }
}

TEST_F(CommandLine, RunsThatCannotReachTheDesktopEndWithOneLineAndStatusTwo) {
  using Env = std::vector<std::pair<std::string, std::string>>;
  const Env noScene = {{"-TESSALOOM_SCENE", ""}, {"-WAYLAND_DISPLAY", ""}};
  // The scene (nothing: no scene file), the command, the environment, what the line names.
  const std::tuple<const char*, const char*, Env, const char*> cases[] = {
      {nullptr, "--list", {}, "scene.json"},
      {"{ not json", "--list", {}, "scene.json"},
      {R"({"trusted": false})", "--apply", {}, "ウィンドウを動かせません"},
      {nullptr, "--list", noScene, "TESSALOOM_SCENE"},
      {nullptr, "--undo", {{"-TESSALOOM_SCENE", ""}, {"DISPLAY", ":4711"}}, ""},
  };
  for (const auto& [scene, command, env, mention] : cases) {
    SCOPED_TRACE(std::string(scene ? scene : "") + " " + command);
    if (scene) dir_.write("scene.json", scene);
    const auto r = run({command, "grid"}, env);
    EXPECT_TRUE(testing::failedInOneLine(r, mention));
  }
  EXPECT_FALSE(dir_.exists("defaults.json"));
  // Help and the version need no desktop.
  for (const char* asked : {"--help", "--version"}) {
    const auto r = run({asked, "grid"}, noScene);
    EXPECT_EQ(r.status, 0) << asked;
    EXPECT_TRUE(r.out.starts_with(asked[2] == 'h' ? "使い方: tessaloom" : "tessaloom 0.")) << r.out;
  }
}

}  // namespace
}  // namespace tessaloom::testing
