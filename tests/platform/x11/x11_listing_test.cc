// Discovery over a real X server: applications grouped from the managed windows, identified by
// WM_CLASS and desktop entries, titles in every encoding, window kinds and states, outer frames
// as the manager drew them, the frontmost application, and the cost of a discovery.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using Listing = DesktopTest;

std::vector<std::string> titles(const std::vector<WindowFacts>& windows) {
  std::vector<std::string> out;
  for (const auto& w : windows) out.push_back(w.title);
  return out;
}

TEST_P(Listing, GroupsWindowsIntoApplicationsByIdentifierAndProcess) {
  // Two windows of one process and class, one of another class, one of another process.
  open({"--window", "--class", "term,TermA", "--title", "A1", "--window", "--title", "A2",
        "--window", "--class", "other,Other Thing", "--title", "O1"});
  open({"--window", "--class", "term,TermA", "--title", "A3"});
  // Desktop entries by StartupWMClass, by file name and by GTK application id.
  open({"--window", "--class", "probeb,ProbeB", "--title", "P"});
  open({"--window", "--class", "lower,LowerClass", "--title", "L"});
  open({"--window", "--class", "gtkprobe,Gtkprobe", "--gtk-app-id", "org.example.GtkApp", "--title",
        "G"});
  // No pid: stand-ins of their own; one process under two identifiers: two applications.
  open({"--window", "--class", "nopid,NoPid", "--pid", "none", "--title", "N1"});
  open({"--window", "--class", "nopid2,NoPidToo", "--pid", "none", "--title", "N2"});
  open({"--window", "--class", "first,First", "--title", "F", "--window", "--class",
        "second,Second", "--title", "S"});

  struct Expected {
    const char* id;
    const char* name;
    std::vector<std::string> titles;
    int client;  // whose pid it has; -1 for a stand-in
  };
  const Expected expected[] = {
      {"terma", "TermA", {"A1", "A2"}, 0},
      {"other-thing", "Other Thing", {"O1"}, -1},  // the same process, another identifier
      {"terma", "TermA", {"A3"}, 1},
      {"org.example.ProbeB", "プローブ B", {"P"}, 2},  // Name[ja]: the tests' language
      {"lowerclass", "Lower Class", {"L"}, 3},
      {"org.example.GtkApp", "Gtk App", {"G"}, 4},
      {"nopid", "NoPid", {"N1"}, -1},
      {"nopidtoo", "NoPidToo", {"N2"}, -1},
      {"first", "First", {"F"}, 7},
      {"second", "Second", {"S"}, -1},
  };
  for (int round = 0; round < 2; ++round) {  // the same pids on the next discovery
    const auto apps = desktop_->applications();
    ASSERT_EQ(apps.size(), std::size(expected));
    std::set<std::int32_t> pids;
    for (std::size_t i = 0; i < apps.size(); ++i) {
      const auto& e = expected[i];
      SCOPED_TRACE(e.id);
      EXPECT_EQ(apps[i].id, e.id);
      EXPECT_EQ(apps[i].name, e.name);
      EXPECT_FALSE(apps[i].hidden);
      const pid_t pid = e.client < 0 ? -1 : clients_[static_cast<std::size_t>(e.client)]->pid();
      EXPECT_EQ(apps[i].pid < 0 ? -1 : apps[i].pid, pid);
      EXPECT_TRUE(pids.insert(apps[i].pid).second) << "a pid stands for two applications";
      EXPECT_THAT(titles(desktop_->windows(apps[i].pid).value()), ElementsAreArray(e.titles));
    }
  }
}

TEST_P(Listing, ReportsTitlesKindsAndStates) {
  open({"--window", "--class",        "r,Roles",   "--title",  "Grüße – 日本語", "--wm-name",
        "ignored",  "--window",       "--wm-name", "Café ü",   "--type",         "dialog",
        "--window", "--wm-name-utf8", "Ωmega",     "--type",   "utility",        "--window",
        "--type",   "none",           "--window",  "--type",   "none",           "--transient",
        "--window", "--type",         "splash",    "--window", "--state",        "hidden",
        "--window", "--state",        "fullscreen"});
  struct Expected {
    std::string title;
    bool standard, minimized, fullScreen;
  };
  const Expected expected[] = {
      {"Grüße – 日本語", true, false, false},
      {"Café ü", false, false, false},  // Latin-1
      {"Ωmega", false, false, false},
      {"", true, false, false},
      {"", false, false, false},
      {"", false, false, false},
      {"", true, true, false},
      {"", true, false, true},
  };
  const auto windows = windowsOf("roles");
  ASSERT_EQ(windows.size(), std::size(expected));
  for (std::size_t i = 0; i < windows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(windows[i].title, expected[i].title);
    EXPECT_EQ(windows[i].standard, expected[i].standard);
    EXPECT_EQ(windows[i].minimized, expected[i].minimized);
    EXPECT_EQ(windows[i].fullScreen, expected[i].fullScreen);
  }
}

TEST_P(Listing, FramesAreTheOuterFramesTheManagerDrewAndDocksAreNoApplications) {
  open({"--window", "--class", "dock,Dock", "--type", "dock", "--geometry", "1920x30+0+0",
        "--strut-partial", "0,0,30,0,0,0,0,0,0,1919,0,0"});
  const auto ids =
      open({"--window", "--class", "f,Frames", "--geometry", "640x480+200+150", "--window",
            "--geometry", "300x200+900+500", "--window", "--state", "maximized"});
  EXPECT_FALSE(app("dock"));
  const auto windows = windowsOf("frames");
  ASSERT_EQ(windows.size(), 3u);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(windows[i].handle, ids[i]);
    EXPECT_EQ(windows[i].frame, probe_->outerFrame(ids[i])) << "window " << i;
  }
  // The client keeps its size inside the decoration.
  EXPECT_GT(windows[0].frame.width, 640);
  EXPECT_GT(windows[0].frame.height, 480);
  // frames() reads the same, and nothing for a handle that names no window.
  const WindowHandle handles[] = {ids[0], ids[1], 0xFFFFFFFFFFull};
  EXPECT_THAT(desktop_->frames(handles),
              ElementsAre(windows[0].frame, windows[1].frame, std::nullopt));
}

TEST_P(Listing, ImplausibleFrameExtentsAreIgnored) {
  const auto ids = open({"--window", "--class", "x,Extents", "--geometry", "400x300+100+100"});
  const std::uint32_t huge[] = {4096, 4096, 4096, 4096};
  xcb_change_property(probe_->raw(), XCB_PROP_MODE_REPLACE, ids[0],
                      probe_->atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4, huge);
  ASSERT_TRUE(probe_->waitUntil(
      [&] {
        return probe_->longs(ids[0], "_NET_FRAME_EXTENTS") == std::vector<std::uint32_t>(4, 4096);
      },
      5));
  const auto windows = windowsOf("extents");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].frame.size(), (Size{400, 300}));
}

TEST_P(Listing, WindowsOnOtherDesktopsAreLeftOut) {
  const auto ids = open({"--window", "--class", "d,Desks", "--title", "here", "--window", "--title",
                         "elsewhere", "--window", "--title", "everywhere"});
  probe_->request(ids[1], "_NET_WM_DESKTOP", {1, 2});
  probe_->request(ids[2], "_NET_WM_DESKTOP", {0xFFFFFFFF, 2});
  ASSERT_TRUE(probe_->waitUntil(
      [&] {
        return probe_->longs(ids[1], "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{1} &&
               probe_->longs(ids[2], "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{0xFFFFFFFF};
      },
      5));
  EXPECT_THAT(titles(windowsOf("desks")), ElementsAre("here", "everywhere"));
}

TEST_P(Listing, FrontmostIsTheOwnerOfTheActiveWindow) {
  open({"--window", "--class", "back,Back"});
  const auto front = open({"--window", "--class", "front,Front"});
  ASSERT_TRUE(probe_->waitUntil(
      [&] { return probe_->longs(probe_->root(), "_NET_ACTIVE_WINDOW") == front; }, 5));
  EXPECT_TRUE(app("front")->frontmost);
  EXPECT_FALSE(app("back")->frontmost);
}

TEST_P(Listing, ADiscoveryCostsTwoRoundTripsWhateverTheNumberOfWindows) {
  std::vector<std::string> args;
  for (int i = 0; i < 30; ++i)
    args.insert(args.end(), {"--window", "--class", "many,Many", "--title", std::to_string(i)});
  open(args);
  const std::size_t before = desktop_->connection().roundTrips();
  std::size_t listed = 0;
  for (const auto& a : desktop_->applications()) listed += desktop_->windows(a.pid)->size();
  EXPECT_EQ(listed, 30u);
  EXPECT_EQ(desktop_->connection().roundTrips() - before, 2u);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Listing, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
