// The script's reports as KWin 5 and KWin 6 send them, read into facts, with whatever a report
// gets wrong skipped rather than trusted, and the windows the program arranges among them; the
// notes of the scripts it loaded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/kwin/kwin_desktop.h"
#include "platform/kwin/kwin_report.h"
#include "platform/kwin/kwin_script.h"
#include "platform/kwin/kwin_script_notes.h"
#include "support/run_program.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform::kwin {
namespace {

using ::testing::ElementsAre;

// KWin 5 names no outputs and gives a window's output as an index and no maximize mode (a
// window filling its output's client area is maximized); KWin 6 gives names and the mode.
constexpr const char* kReport = R"({"desktop": "1", "cursor": [959.5, 539],
  "outputs": [{"frame": [0, 0, 1920, 1080], "usable": [0, 0, 1920, 1040]},
              {"name": "", "frame": [1920, 0, 1920, 1080], "usable": [1920, 0, 1920, 1040]},
              {"name": "x", "frame": [0, 0, 1, 1]}, {"name": "y", "frame": [0, 0, 1, 1],
              "usable": [0, 0, "1", 1]}, 5],
  "windows": [
    {"id": "{chat}", "desktopFileName": "org.example.Chat", "resourceClass": "chat",
     "resourceName": "chat-x", "caption": "New chat", "pid": 4242, "frame": [560, 216, 800, 647],
     "normal": true, "active": true, "minimized": true, "output": 1, "desktops": ["1"],
     "client": [562, 246, 796, 615], "minSize": [500, 300]},
    {"id": "{docs}", "pid": -5, "frame": [1920, 0, 1920, 1040], "output": 1, "desktops": [1, "2", "1"],
     "client": [1920, 0, 1920, 1040], "minSize": [500, "300"]},
    {"id": "{max}", "pid": 2147483648, "frame": [0, 0, 9, 9], "maximizeMode": 3, "fullScreen": true,
     "output": "V-1"},
    {"id": "{half}", "frame": [0, 0, 1920, 1040], "maximizeMode": 1, "output": 0},
    {"id": "{far}", "pid": "7", "frame": [0, 0, 1920, 1040], "output": 9, "normal": "yes"},
    {"id": "{wide}", "pid": 4294967301, "frame": [0, 0, 1920, 1040], "output": 0,
     "maximizeMode": 4294967299},
    {"id": "{panel}", "frame": [0, 1040, 1920, 40], "special": true},
    {"id": "{elsewhere}", "frame": [0, 0, 1, 1], "desktops": ["2"]},
    {"id": "{gone}", "frame": [0, 0, 1, 1], "deleted": true},
    {"id": "{self}", "pid": 77, "frame": [0, 0, 1, 1]},
    {"id": "a", "frame": [0, 0, 1]}, {"id": "b", "frame": [0, 0, 1, null]},
    {"id": 3, "frame": [0, 0, 1, 1]}, {"frame": [0, 0, 1, 1]}, 7]})";

TEST(KWinReport, ReadsBothKWinGenerationsAndSkipsWhatIsMalformed) {
  const auto report = parseReport(kReport);
  ASSERT_TRUE(report);
  EXPECT_THAT(
      report->outputs,
      ElementsAre(ReportedOutput{"screen-1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                  ReportedOutput{"screen-2", {1920, 0, 1920, 1080}, {1920, 0, 1920, 1040}}));
  EXPECT_EQ(report->cursor, (Point{959.5, 539}));
  ASSERT_EQ(report->windows.size(), 10u);
  const ReportedWindow& c = report->windows[0];
  EXPECT_EQ(std::tie(c.id, c.desktopFileName, c.resourceClass, c.resourceName, c.caption, c.pid,
                     c.frame, c.normal, c.special, c.deleted, c.minimized, c.fullScreen,
                     c.maximized, c.active, c.output, c.desktops, c.minimum),
            std::make_tuple("{chat}", "org.example.Chat", "chat", "chat-x", "New chat", 4242u,
                            Rect(560, 216, 800, 647), true, false, false, true, false, false, true,
                            "screen-2", std::vector<std::string>{"1"}, Size{504, 332}));
  // A pid, output or flag of the wrong kind, or a number too wide for it, reads as none.
  const std::tuple<std::string, bool, std::vector<std::string>> rows[] = {
      {"screen-2", true, {"2", "1"}},
      {"V-1", true, {}},
      {"screen-1", false, {}},
      {"", false, {}},
      {"screen-1", false, {}}};
  for (int i = 1; i <= 5; ++i) {
    const ReportedWindow& w = report->windows[i];
    EXPECT_EQ(std::tie(w.output, w.maximized, w.desktops), rows[i - 1]) << w.id;
    EXPECT_EQ(std::tie(w.pid, w.minimum), std::tuple(0u, Size{})) << w.id;
  }
  EXPECT_FALSE(report->windows[4].normal);
  std::vector<std::string> kept;
  for (const ReportedWindow* k : KWinDesktop::candidates(*report, 77))
    kept.push_back(k->id + (onDesktop(*k, report->desktop) ? "" : " elsewhere"));
  EXPECT_THAT(kept, ElementsAre("{chat}", "{docs}", "{max}", "{half}", "{far}", "{wide}",
                                "{elsewhere} elsewhere"));
  for (const char* text : {"", "not json", "[]", R"({"windows": []})", R"({"outputs": []})",
                           R"({"windows": {}, "outputs": []})", R"({"windows": [], "outputs": 1})"})
    EXPECT_FALSE(parseReport(text)) << text;
}

// KWin 5 puts script N at /N, KWin 6 at /Scripting/ScriptN; other nodes are no scripts.
TEST(KWinReport, NumbersTheScriptsOfBothKWinGenerations) {
  EXPECT_EQ(loadedScriptIds(R"(<node name="/"><node name="0"/><node name="12"/><node name="KWin"/>
                               <node name="3x"/><node name=""/><node name="Script4"/></node>)",
                            R"(<node><node name="Script2"/><node name="Script"/>
                               <node name="Scripts5"/><node name="7"/><node name="Script9)"),
            (std::set<int>{0, 2, 12}));
}

// Only whole notes of this program's scripts are kept and read; a name is never a path.
TEST(KWinScriptNotes, KeepOnlyWholeNotesOfOurScripts) {
  testing::TempDir dir;
  testing::ScopedEnvironment runtime("XDG_RUNTIME_DIR", dir.path().string());
  const ScriptNote note{"tessaloom-12-1", ":1.5", ":1.7"};
  EXPECT_TRUE(writeNote(note));
  for (const char* plugin : {"../tessaloom-1", "tessaloom-x", "other-1"})
    EXPECT_FALSE(writeNote({plugin, ":1.5", ":1.7"})) << plugin;
  dir.write("tessaloom-kwin/tessaloom-13-1", ":1.5\n");
  dir.write("tessaloom-kwin/tessaloom-other", ":1.5\n:1.7\n");
  EXPECT_THAT(readNotes(), ElementsAre(note));
  dropNote(note.plugin);
  EXPECT_THAT(readNotes(), ::testing::IsEmpty());
}

// The script run by gjs in a workspace shaped as KWin 5's or KWin 6's: a placed window leaves
// full screen and maximization first, and each change of the outputs that generation signals
// calls the program back, until it says to stop.
class KWinScriptOutputs : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(KWinScriptOutputs, PlaceWindowsAndCallTheProgramBackAtEachChangeOfTheOutputs) {
  if (!tessaloom::testing::onPath("gjs")) GTEST_SKIP() << "gjs is not installed";
  std::string fake =
      "var KWin = {}, pending = null, full = {internalId: 'w1', fullScreen: true, frameGeometry:"
      " {x: 0, y: 0, width: 1, height: 1}, setMaximize: function (h, v) { this.max = [h, v]; }},"
      " workspace = {windowList: function () { return [full]; }, currentDesktop: 1,"
      " cursorPos: {x: 0, y: 0}};\n";
  for (const auto& signal : GetParam())
    fake += "workspace." + signal + " = {f: [], connect: function (f) { this.f.push(f); }};\n";
  fake += R"js(function callDBus(service, path, iface, method, arg) {
  if (method === "Next") pending = arguments[arguments.length - 1];
  else print([service, path, iface, method].join(" "));
}
function fire() { for (var s in workspace) (workspace[s].f || []).forEach(function (f) { f(); }); }
)js";
  const std::string script = agentScript({":1.5", "/agent", "org.agent", "p", "t"});
  const Move move{"w1", {10, 20, 300, 200}};
  const std::string drive =
      "pending('" + placeRequest({&move, 1}) + "');\n" +
      "print(JSON.stringify([full.fullScreen, full.max, full.frameGeometry]));\n" + "pending('" +
      outputsRequest(":1.7", "org.outputs") + "'); fire();\n" + "pending('" +
      outputsRequest("", "org.outputs") + "'); fire();\n";
  tessaloom::testing::TempDir dir;
  dir.write("run.js", fake + script + drive);
  const auto r = tessaloom::testing::runProgram("gjs", {dir.file("run.js")}, {}, 20);
  std::string calls = R"([false,[false,false],{"x":10,"y":20,"width":300,"height":200}])";
  for (std::size_t i = 0; i < GetParam().size(); ++i) calls += "\n:1.7 /agent org.outputs Changed";
  EXPECT_EQ(r.out, calls + "\n") << r.err;
}
INSTANTIATE_TEST_SUITE_P(
    KWin, KWinScriptOutputs,
    ::testing::Values(std::vector<std::string>{"numberScreensChanged", "screenResized",
                                               "virtualScreenGeometryChanged"},
                      std::vector<std::string>{"screensChanged", "virtualScreenSizeChanged"}));

}  // namespace
}  // namespace tessaloom::platform::kwin
