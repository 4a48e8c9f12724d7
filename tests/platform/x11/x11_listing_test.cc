// Discovery over a real X server: applications grouped from the managed windows, identifiers
// and names from WM_CLASS and desktop entries, titles in both encodings, roles, frames that
// match the manager's frames, the frontmost application, and the cost of a discovery.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "platform/x11/x11_window_cache.h"
#include "x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::AXError;
using platform::ElementRef;
using ::testing::ElementsAre;

using Listing = DesktopTest;

TEST_P(Listing, GroupsWindowsIntoApplicationsByIdentifierAndProcess) {
  // Two windows of one process and class, one of another class, one of another process.
  const auto a = open({"--window", "--class", "term,TermA", "--title", "A1", "--window", "--class",
                       "term,TermA", "--title", "A2", "--window", "--class", "other,Other Thing",
                       "--title", "O1"});
  const auto b = open({"--window", "--class", "term,TermA", "--title", "A3"});
  ASSERT_EQ(a.size(), 3u);
  ASSERT_EQ(b.size(), 1u);

  const auto apps = workspace().runningApplications();
  std::vector<std::string> ids;
  for (const auto& app : apps) ids.push_back(app.bundleIdentifier.value_or("?"));
  // Client-list order; the second TermA process is an application of its own.
  EXPECT_THAT(ids, ElementsAre("terma", "other-thing", "terma"));
  EXPECT_EQ(apps[0].pid, clients_[0]->pid());
  EXPECT_EQ(apps[2].pid, clients_[1]->pid());
  EXPECT_EQ(apps[0].localizedName, "TermA");
  EXPECT_EQ(apps[1].localizedName, "Other Thing");
  for (const auto& app : apps) {
    EXPECT_EQ(app.activationPolicy, platform::ActivationPolicy::regular);
    EXPECT_FALSE(app.hidden);
  }

  auto titles = [&](std::int32_t pid) {
    std::vector<std::string> out;
    for (const auto& w : windowsOf(pid)) out.push_back(read<std::string>(w, "AXTitle").value());
    return out;
  };
  EXPECT_THAT(titles(apps[0].pid), ElementsAre("A1", "A2"));
  EXPECT_THAT(titles(apps[2].pid), ElementsAre("A3"));
  EXPECT_EQ(workspace().currentProcessIdentifier(), getpid());
}

TEST_P(Listing, IdentifiesApplicationsThroughDesktopEntries) {
  open({"--window", "--class", "probeb,ProbeB", "--title", "by StartupWMClass"});
  open({"--window", "--class", "lower,LowerClass", "--title", "by file name"});
  open({"--window", "--class", "gtkprobe,Gtkprobe", "--gtk-app-id", "org.example.GtkApp", "--title",
        "by GTK id"});

  const auto probe = app("org.example.ProbeB");
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->localizedName, "プローブ B");  // Name[ja], the message language of the tests
  const auto lower = app("lowerclass");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->localizedName, "Lower Class");
  const auto gtk = app("org.example.GtkApp");
  ASSERT_TRUE(gtk);
  EXPECT_EQ(gtk->localizedName, "Gtk App");
}

TEST_P(Listing, DecodesTitlesByTheirEncoding) {
  const auto windows =
      open({"--window", "--class", "t,Titles", "--title", "Grüße – 日本語", "--wm-name", "ignored",
            "--window", "--wm-name", "Café ü", "--window", "--wm-name-utf8", "Ωmega", "--window"});
  const auto t = app("titles");
  ASSERT_TRUE(t);
  const auto elements = windowsOf(t->pid);
  ASSERT_EQ(elements.size(), 4u);
  EXPECT_EQ(read<std::string>(elements[0], "AXTitle"), "Grüße – 日本語");
  EXPECT_EQ(read<std::string>(elements[1], "AXTitle"), "Café ü");  // Latin-1 STRING
  EXPECT_EQ(read<std::string>(elements[2], "AXTitle"), "Ωmega");
  platform::AttributeValue value;
  EXPECT_EQ(ax().copyAttributeValue(elements[3], "AXTitle", value), AXError::noValue);
}

TEST_P(Listing, ReportsRolesSubrolesAndStates) {
  open({"--window", "--class",  "r,Roles", "--type",      "normal",   "--window",  "--type",
        "dialog",   "--window", "--type",  "utility",     "--window", "--type",    "none",
        "--window", "--type",   "none",    "--transient", "--window", "--type",    "splash",
        "--window", "--state",  "hidden",  "--window",    "--state",  "fullscreen"});
  const auto roles = app("roles");
  ASSERT_TRUE(roles);
  const auto elements = windowsOf(roles->pid);
  ASSERT_EQ(elements.size(), 8u);
  std::vector<std::string> subroles;
  for (const auto& w : elements) {
    EXPECT_EQ(read<std::string>(w, "AXRole"), "AXWindow");
    subroles.push_back(read<std::string>(w, "AXSubrole").value_or("-"));
  }
  EXPECT_THAT(subroles,
              ElementsAre("AXStandardWindow", "AXDialog", "AXFloatingWindow", "AXStandardWindow",
                          "AXDialog", "AXUnknown", "AXStandardWindow", "AXStandardWindow"));
  EXPECT_EQ(read<bool>(elements[0], "AXMinimized"), false);
  EXPECT_EQ(read<bool>(elements[6], "AXMinimized"), true);
  EXPECT_EQ(read<bool>(elements[0], "AXFullScreen"), false);
  EXPECT_EQ(read<bool>(elements[7], "AXFullScreen"), true);

  platform::AttributeValue value;
  EXPECT_EQ(ax().copyAttributeValue(elements[0], "AXEnhancedUserInterface", value),
            AXError::attributeUnsupported);
  EXPECT_EQ(
      ax().copyAttributeValue(ax().createApplication(roles->pid), "AXEnhancedUserInterface", value),
      AXError::attributeUnsupported);
}

TEST_P(Listing, LeavesOutDocksAndAppsWithoutStandardWindowsAreNotRegular) {
  open({"--window", "--class", "dock,Dock", "--type", "dock", "--geometry", "1920x30+0+0",
        "--strut-partial", "0,0,30,0,0,0,0,0,0,1919,0,0"});
  open({"--window", "--class", "tools,Tools", "--type", "utility"});
  EXPECT_FALSE(app("dock"));
  const auto tools = app("tools");
  ASSERT_TRUE(tools);
  EXPECT_EQ(tools->activationPolicy, platform::ActivationPolicy::accessory);
}

TEST_P(Listing, FramesAreTheOuterFramesTheManagerDrew) {
  const auto windows =
      open({"--window", "--class", "f,Frames", "--geometry", "640x480+200+150", "--window",
            "--geometry", "300x200+900+500", "--window", "--state", "maximized"});
  const auto frames = app("frames");
  ASSERT_TRUE(frames);
  const auto elements = windowsOf(frames->pid);
  ASSERT_EQ(elements.size(), 3u);
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const auto expected = probe_->outerFrame(windows[i]);
    ASSERT_TRUE(expected);
    EXPECT_EQ(frame(elements[i]), *expected) << "window " << i;
  }
  // The client keeps its size inside the decoration.
  const Rect first = *frame(elements[0]);
  EXPECT_GT(first.width, 640);
  EXPECT_GT(first.height, 480);
}

TEST_P(Listing, WindowsWithoutPidGetAStandInPidThatFindsThem) {
  open({"--window", "--class", "nopid,NoPid", "--pid", "none", "--title", "no pid"});
  open({"--window", "--class", "nopid2,NoPidToo", "--pid", "none", "--title", "no pid either"});
  const auto one = app("nopid");
  const auto two = app("nopidtoo");
  ASSERT_TRUE(one && two);
  EXPECT_LT(one->pid, 0);
  EXPECT_LT(two->pid, 0);
  EXPECT_NE(one->pid, two->pid);
  ASSERT_EQ(windowsOf(one->pid).size(), 1u);
  EXPECT_EQ(read<std::string>(windowsOf(one->pid)[0], "AXTitle"), "no pid");
  // The same stand-in on the next discovery.
  EXPECT_EQ(app("nopid")->pid, one->pid);
}

TEST_P(Listing, OneProcessWithTwoIdentifiersNeverListsAWindowTwice) {
  open({"--window", "--class", "first,First", "--window", "--class", "second,Second"});
  const auto first = app("first");
  const auto second = app("second");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->pid, second->pid);
  EXPECT_EQ(windowsOf(first->pid).size(), 1u);
  EXPECT_EQ(windowsOf(second->pid).size(), 1u);
}

TEST_P(Listing, WindowsOnOtherDesktopsAreLeftOut) {
  const auto windows = open({"--window", "--class", "d,Desks", "--title", "here", "--window",
                             "--title", "elsewhere", "--window", "--title", "everywhere"});
  probe_->request(windows[1], "_NET_WM_DESKTOP", {1, 2});
  probe_->request(windows[2], "_NET_WM_DESKTOP", {0xFFFFFFFF, 2});
  ASSERT_TRUE(probe_->waitUntil(
      [&] {
        auto elsewhere = probe_->longs(windows[1], "_NET_WM_DESKTOP");
        auto everywhere = probe_->longs(windows[2], "_NET_WM_DESKTOP");
        return elsewhere == std::vector<std::uint32_t>{1} &&
               everywhere == std::vector<std::uint32_t>{0xFFFFFFFF};
      },
      5));
  const auto desks = app("desks");
  ASSERT_TRUE(desks);
  std::vector<std::string> titles;
  for (const auto& w : windowsOf(desks->pid)) titles.push_back(*read<std::string>(w, "AXTitle"));
  EXPECT_THAT(titles, ElementsAre("here", "everywhere"));
}

TEST_P(Listing, FrontmostIsTheOwnerOfTheActiveWindow) {
  open({"--window", "--class", "back,Back"});
  const auto front = open({"--window", "--class", "front,Front"});
  ASSERT_TRUE(probe_->waitUntil(
      [&] {
        auto active = probe_->longs(probe_->root(), "_NET_ACTIVE_WINDOW");
        return !active.empty() && active[0] == front[0];
      },
      5));
  workspace().runningApplications();
  const auto frontmost = workspace().frontmostApplication();
  ASSERT_TRUE(frontmost);
  EXPECT_EQ(frontmost->bundleIdentifier, "front");
}

TEST_P(Listing, TheSameWindowKeepsTheSameHandle) {
  open({"--window", "--class", "same,Same"});
  const auto first = windowsOf(app("same")->pid);
  const auto second = windowsOf(app("same")->pid);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0], second[0]);
}

TEST_P(Listing, ADiscoveryFetchesOnceWhateverTheNumberOfWindows) {
  std::vector<std::string> args;
  for (int i = 0; i < 30; ++i) {
    args.insert(args.end(), {"--window", "--class", "many,Many", "--title", std::to_string(i)});
  }
  open(args);
  auto& cache = desktop_->windowCache();
  cache.setLifetime(std::chrono::seconds(30));
  const std::size_t before = cache.fetchCount();
  // Everything the window layer reads in one discovery.
  std::size_t listed = 0;
  for (const auto& a : workspace().runningApplications()) {
    auto element = ax().createApplication(a.pid);
    ax().setMessagingTimeout(element, 1.0f);
    for (const auto& w : windowsOf(a.pid)) {
      for (const char* attribute : {"AXRole", "AXSubrole", "AXMinimized", "AXFullScreen"})
        read<std::string>(w, attribute);
      if (frame(w)) ++listed;
      read<std::string>(w, "AXTitle");
    }
  }
  EXPECT_EQ(listed, 30u);
  EXPECT_EQ(cache.fetchCount() - before, 1u);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Listing, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
