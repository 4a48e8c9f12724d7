// What happens when the desktop misbehaves: no server, no window manager, a server that is
// frozen, dies or stops answering mid-operation, a window destroyed between the client list and
// its properties; and launching installed applications. Every case ends in failures the callers
// see, never a crash or a hang.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::Placement;
using platform::X11Desktop;

TEST(X11Connect, FailsWithOneLineWhenNoServerOrNoManagerAnswers) {
  int unused = 900;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
  auto none = X11Desktop::connect(":" + std::to_string(unused));
  ASSERT_FALSE(none);
  EXPECT_THAT(none.error(), ::testing::HasSubstr("X server"));
  EXPECT_EQ(none.error().find('\n'), std::string::npos);
  if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  TempDir dir;
  std::string error;
  auto server = XServer::start((dir.path() / "xvfb.log").string(), error);
  ASSERT_TRUE(server) << error;
  auto bare = X11Desktop::connect(server->display());
  ASSERT_FALSE(bare);
  EXPECT_THAT(bare.error(), ::testing::HasSubstr("window manager"));
  // A frozen server: connecting gives up after its deadline instead of waiting forever.
  server->process().signal(SIGSTOP);
  const auto start = Clock::now();
  auto frozen = X11Desktop::connect(server->display());
  server->process().signal(SIGCONT);
  ASSERT_FALSE(frozen);
  EXPECT_THAT(frozen.error(), ::testing::HasSubstr("does not answer"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
}

using Failures = DesktopTest;

TEST_P(Failures, ADeadServerTurnsEverythingIntoFailuresEvenMidPlacement) {
  const auto ids = open({"--window", "--class", "d,Doomed", "--title", "doomed"});
  const auto doomed = app("doomed");
  ASSERT_TRUE(doomed);
  ASSERT_TRUE(desktop_->controlAvailable());
  server_->process().signal(SIGKILL);
  ASSERT_TRUE(server_->process().waitExit(after(10)));

  // Writes first: a write to a dead server must not end the program.
  desktop_->place(std::vector<Placement>{{ids[0], {0, 0, 500, 400}}});
  desktop_->place(std::vector<Placement>{{ids[0], {10, 0, 500, 400}}});
  EXPECT_FALSE(desktop_->alive());
  EXPECT_THAT(desktop_->trouble().value_or(""), ::testing::HasSubstr("lost the connection"));
  EXPECT_FALSE(desktop_->controlAvailable());
  EXPECT_TRUE(desktop_->applications().empty());
  EXPECT_FALSE(desktop_->windows(doomed->pid));
  const WindowHandle handles[] = {ids[0]};
  EXPECT_THAT(desktop_->frames(handles), ::testing::ElementsAre(std::nullopt));
  EXPECT_TRUE(desktop_->screens().empty());
  EXPECT_EQ(desktop_->pointer(), (Point{0, 0}));
}

TEST_P(Failures, AStoppedServerCostsOneTimeoutAndIsUsableWhenItResumes) {
  open({"--window", "--class", "p,Paused", "--title", "paused"});
  ASSERT_TRUE(app("paused"));
  EXPECT_EQ(desktop_->trouble(), std::nullopt);
  desktop_->connection().setReplyTimeout(0.2);
  server_->process().signal(SIGSTOP);
  EXPECT_TRUE(desktop_->applications().empty());
  EXPECT_TRUE(desktop_->screens().empty());
  // A command that met this must not report success.
  EXPECT_THAT(desktop_->trouble().value_or(""), ::testing::HasSubstr("does not answer"));
  server_->process().signal(SIGCONT);
  // The late replies are dropped; new requests get their own answers.
  EXPECT_TRUE(probe_->waitUntil([&] { return app("paused").has_value(); }, 10));
  EXPECT_EQ(windowsOf("paused").at(0).title, "paused");
  EXPECT_EQ(desktop_->screens().size(), 1u);
}

TEST_P(Failures, AWindowDestroyedBeforeItIsReadIsGoneAndTheOthersAreRead) {
  const auto ids = open({"--window", "--class", "k,Kept", "--window"});
  // A window id that names nothing any more, between two live ones.
  const xcb_window_t dead = xcb_generate_id(probe_->raw());
  xcb_create_window(probe_->raw(), XCB_COPY_FROM_PARENT, dead, probe_->root(), 0, 0, 10, 10, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_destroy_window(probe_->raw(), dead);
  std::free(xcb_get_input_focus_reply(probe_->raw(), xcb_get_input_focus(probe_->raw()), nullptr));
  const WindowHandle handles[] = {ids[0], dead, ids[1]};
  const auto frames = desktop_->frames(handles);
  EXPECT_EQ(frames[0], probe_->outerFrame(ids[0]));
  EXPECT_EQ(frames[1], std::nullopt);
  EXPECT_EQ(frames[2], probe_->outerFrame(ids[1]));
}

TEST_P(Failures, LaunchesAnInstalledApplicationByItsDesktopEntryId) {
  for (const char* id : {"org.example.NotInstalled", "../applications/org.example.Launchable", ""})
    EXPECT_FALSE(desktop_->launch(id)) << id;
  ASSERT_TRUE(desktop_->launch("org.example.Launchable"));
  // The child runs on this test's display, not on whatever DISPLAY said.
  EXPECT_TRUE(probe_->waitUntil([&] { return app("org.example.Launchable").has_value(); }, 20));
  EXPECT_EQ(app("org.example.Launchable")->name, "Launchable");
  const auto windows = windowsOf("org.example.Launchable");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].title, "Launched");
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Failures, ::testing::Values("openbox"), managerName);

}  // namespace
}  // namespace tessaloom::x11test
