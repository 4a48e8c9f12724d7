// What the GNOME backend reads from the Shell extension's facts, and that it takes nothing from
// a report it cannot read whole; the key chords it asks the extension for.
#include "platform/gnome/shell_facts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/glib/gio.h"
#include "platform/gnome/gnome_hot_keys.h"
#include "platform/gnome/shell_channel.h"

namespace tessaloom::platform::gnome {
namespace {

// Two monitors, the primary one on the right and lower, so the seam's origin is (1280, 56).
const char* kFacts = R"({"primary": 1, "pointer": [1500, 500], "focus": 3, "workspace": 0,
  "monitors": [{"frame": [0, 0, 1280, 1024], "workArea": [0, 0, 1280, 1024]},
               {"frame": [1280, 56, 1920, 1080], "workArea": [1280, 88, 1920, 1048]}],
  "windows": [
    {"id": 7, "sequence": 9, "wmClass": "firefox", "wmInstance": "Navigator", "pid": 70,
     "frame": [1300, 50, 800, 600], "type": 0, "workspace": 0, "maximized": true},
    {"id": 3, "sequence": 2, "sandboxedAppId": "org.example.Flat", "gtkApplicationId": "x",
     "frame": [1400, 100, 500, 400], "type": 0, "workspace": 0, "resizable": false},
    {"id": 4, "sequence": 3, "gtkApplicationId": "org.gnome.Epiphany", "frame": [0, 0, 3, 2],
     "type": 4, "workspace": 0},
    {"id": 5, "sequence": 4, "frame": [0, 0, 1280, 30], "type": 2, "workspace": -1},
    {"id": 6, "sequence": 5, "frame": [0, 0, 1, 1], "type": 0, "workspace": -1},
    {"id": 8, "sequence": 6, "frame": [0, 0, 1, 1], "type": 0, "workspace": 1}]})";

TEST(ShellFacts, ReadsWindowsInCreationOrderAndScreensFromThePrimaryOriginAndMovesBack) {
  const auto f = parseFacts(kFacts);
  ASSERT_TRUE(f);
  // id, counted on the current workspace, a standard window, the application named.
  std::vector<std::tuple<WindowHandle, bool, bool, std::string>> seen;
  for (const ShellWindow& w : f->windows)
    seen.emplace_back(w.id, counts(w, f->workspace), factsOf(w, {}).standard,
                      hintsOf(w).gtkApplicationId);
  EXPECT_THAT(
      seen, ::testing::ElementsAre(std::tuple(3, true, true, "org.example.Flat"),
                                   std::tuple(4, true, false, "org.gnome.Epiphany"),
                                   std::tuple(5, false, false, ""), std::tuple(6, true, true, ""),
                                   std::tuple(8, false, true, ""), std::tuple(7, true, true, "")));
  EXPECT_THAT(screensOf(*f),
              ::testing::ElementsAre(
                  Screen{{0, 0, 1920, 1080}, {0, 32, 1920, 1048}, "Monitor 2"},
                  Screen{{-1280, -56, 1280, 1024}, {-1280, -56, 1280, 1024}, "Monitor 1"}));
  EXPECT_EQ(std::tuple(factsOf(*f->find(3), f->origin()).frame, f->find(3)->minimized),
            std::tuple(Rect(120, 44, 500, 400), false));
  const Placement moves[] = {
      {3, {10, 20, 1, 2}}, {7, {0, 0, 6, 1}}, {9, {0, 0, 9, 9}}, {6, {1, 2, 3, 4}}};
  EXPECT_EQ(movesFor(*f, moves),
            R"([{"height":2,"id":3,"resize":false,"width":1,"x":1290,"y":76},{"height":1,"id":7,)"
            R"("resize":true,"unmaximize":true,"width":6,"x":1280,"y":56},)"
            R"({"height":4,"id":6,"resize":true,"width":3,"x":1281,"y":58}])");
  EXPECT_EQ(std::tie(f->pointer, f->find(6)->workspace), std::tuple(Point{1500, 500}, -1));
}

TEST(ShellFacts, AMalformedWindowIsLeftOutAndAMalformedReportRefused) {
  const auto doc = [](std::string list, std::string screens = "[]", std::string at = "[0, 0]") {
    return R"({"windows": )" + list + R"(, "monitors": )" + screens + R"(, "pointer": )" + at + "}";
  };
  for (const std::string& text : {std::string(), std::string("[]"), std::string("{}"), doc("{}"),
                                  doc("[]", "[]", "[0]"), doc("[]", "[]", R"(["0", 0])"),
                                  doc("[]", R"([{"frame": [0, 0], "workArea": [0, 0, 1, 1]}])")})
    EXPECT_FALSE(parseFacts(text)) << text;
  // Each beside a sound window, which alone is read.
  for (const std::string& bad :
       {std::string(R"({"id": 1})"), std::string(R"({"id": "1", "frame": [0, 0, 1, 1]})"),
        std::string(R"({"id": 1, "frame": [0, 0, 1, 1], "title": 5})"),
        std::string(R"({"id": -3, "frame": [0, 0, 1, 1]})"), std::string("5")}) {
    const auto f = parseFacts(doc(R"([{"id": 2, "frame": [0, 0, 1, 1]}, )" + bad + "]"));
    ASSERT_TRUE(f && f->origin() == Point{}) << bad;  // no monitor: no origin either
    EXPECT_THAT(f->windows, ::testing::ElementsAre(::testing::Field(&ShellWindow::id, 2u))) << bad;
  }
  // Numbers that are no whole number of their field's range read as the field's default.
  const auto odd = parseFacts(R"({"primary": 2e89, "focus": -5, "workspace": 0.5, "pointer": [0, 0],
    "monitors": [{"frame": [5, 7, 9, 9], "workArea": [5, 7, 9, 9]}],
    "windows": [{"id": 2, "frame": [0, 0, 1, 1], "pid": 1e300, "monitor": 2.5,
    "workspace": -3000000000, "type": 4294967296, "sequence": -1},
    {"id": 3, "frame": [0, 0, 1, 1], "pid": 2147483647}]})");
  ASSERT_TRUE(odd);
  EXPECT_EQ(std::tuple(odd->primary, odd->focus, odd->workspace, odd->origin().y),
            std::tuple(0, 0u, 0, 7.0));
  const ShellWindow& w = odd->windows.at(0);
  EXPECT_EQ(std::tie(w.processId, w.monitor, w.workspace, w.type, w.sequence),
            std::tuple(0, -1, 0, int(kNormal), 0u));
  EXPECT_EQ(odd->windows.at(1).processId, 2147483647);  // its field's largest number is one
}

// What the Shell reports of moved windows answers a read only when each window asked for is
// at the frame it was sent to; a report it cannot read whole changes nothing.
TEST(ShellFacts, ReportedFramesAnswerOnlyForWindowsAtTheirTargets) {
  ReportedFrames reported;
  for (const char* bad :
       {"", "[]", R"({"x": [0, 0, 1, 1]})", R"({"-1": [0, 0, 1, 1]})", R"({"0": [0, 0, 1, 1]})",
        R"({"5": [0, 0, 1]})", R"({"5": [0, 0, 1, 1], "6": "x"})"})
    EXPECT_FALSE(mergeFrames(bad, reported)) << bad;
  EXPECT_TRUE(reported.empty());
  ASSERT_TRUE(mergeFrames(R"({"5": [110, 70, 300, 200], "6": [0, 0, 9, 9], "7": null})", reported));
  ASSERT_TRUE(mergeFrames(R"({"6": [510, 70, 300, 200]})", reported));  // the later one holds
  const std::map<WindowHandle, Rect> sent = {
      {5, {10, 20, 300, 200}}, {6, {410, 20, 300, 200}}, {7, {0, 0, 1, 1}}, {8, {0, 0, 1, 1}}};
  const WindowHandle placed[] = {6, 5};
  EXPECT_THAT(
      framesAtTargets(sent, reported, placed, {100, 50}),
      ::testing::Optional(::testing::ElementsAre(Rect(410, 20, 300, 200), Rect(10, 20, 300, 200))));
  for (const WindowHandle other : {7, 8, 9}) {  // gone, not reported, not sent
    const WindowHandle asked[] = {5, other};
    EXPECT_FALSE(framesAtTargets(sent, reported, asked, {100, 50})) << other;
  }
  for (const Rect off : {Rect(111, 70, 300, 200), Rect(110, 70, 300, 199)}) {
    reported[5] = off;
    EXPECT_FALSE(framesAtTargets(sent, reported, placed, {100, 50}));
  }
}

// The extension binds no less than a letter with two of Control, Alt and Super.
TEST(ShellFacts, AcceleratorsAreLettersWithTwoOfControlAltSuper) {
  EXPECT_EQ(accelerator({'g', kControlAlt | kShift}), "<Control><Alt><Shift>g");
  EXPECT_EQ(accelerator({'g', kAlt | kSuper}), "<Alt><Super>g");
  EXPECT_EQ(accelerator({'g', kControl | kShift}), "");
  EXPECT_EQ(accelerator({'a', kControlAlt}) + accelerator({'z', kControlAlt}),
            "<Control><Alt>a<Control><Alt>z");
  EXPECT_EQ(accelerator({'{', kControlAlt}), "");
}

// A failed call says in one line whether the Shell was slow, went away or refused it.
TEST(ShellFacts, AFailedCallSaysWhetherTheShellWasSlowWentAwayOrRefused) {
  const auto* gio = glib::gio();
  ASSERT_TRUE(gio);
  const std::string call = "Facts of org.tessaloom.Shell",
                    away = "GNOME Shell or its Tessaloom extension went away during " + call,
                    refused = "GNOME Shell answered " + call + " with an error: no";
  const std::tuple<GQuark, int, const char*, std::string> rows[] = {
      {gio->ioError(), G_IO_ERROR_TIMED_OUT, "",
       "GNOME Shell did not answer " + call + " within 900 ms"},
      {gio->ioError(), G_IO_ERROR_CLOSED, "", away},
      {gio->dbusError(), G_DBUS_ERROR_NO_REPLY, "", away},
      {gio->dbusError(), G_DBUS_ERROR_NAME_HAS_NO_OWNER, "", away},
      {gio->dbusError(), G_DBUS_ERROR_SERVICE_UNKNOWN, "", away},
      {gio->dbusError(), G_DBUS_ERROR_UNKNOWN_METHOD, "", away},
      {gio->dbusError(), G_DBUS_ERROR_UNKNOWN_OBJECT, "", away},
      {gio->dbusError(), G_DBUS_ERROR_ACCESS_DENIED, "GDBus.Error:org.example.No: ", refused},
      {gio->ioError(), G_IO_ERROR_FAILED, "", refused}};
  for (const auto& [domain, code, remote, want] : rows) {
    GError* error = g_error_new(domain, code, "%sno", remote);
    EXPECT_EQ(callFailure("Facts", 900, error), want) << code;
    g_error_free(error);
  }
  EXPECT_EQ(callFailure("Facts", 900, nullptr), "GNOME Shell gave no answer to " + call);
}

}  // namespace
}  // namespace tessaloom::platform::gnome
