// What happens when the desktop misbehaves: no server, no window manager, a server that dies or
// stops answering mid-operation, a window destroyed between the client list and its
// properties. Every case ends in failures the callers absorb, never a crash or a hang.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_facts.h"
#include "x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

using platform::AXError;
using platform::X11Desktop;

TEST(X11Connect, FailsWithAReasonWhenNoServerListens) {
  int unused = 900;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
  std::string error;
  EXPECT_FALSE(X11Desktop::connect(":" + std::to_string(unused), error));
  EXPECT_NE(error.find("X server"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(X11Connect, FailsWithAReasonWhenNoWindowManagerRuns) {
  if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  TempDir dir;
  std::string error;
  auto server = XServer::start((dir.path() / "xvfb.log").string(), error);
  ASSERT_TRUE(server) << error;
  EXPECT_FALSE(X11Desktop::connect(server->display(), error));
  EXPECT_NE(error.find("window manager"), std::string::npos) << error;
}

using Failures = DesktopTest;

TEST_P(Failures, ADeadServerTurnsEverythingIntoFailures) {
  const auto windows = open({"--window", "--class", "d,Doomed", "--title", "doomed"});
  const auto doomed = app("doomed");
  ASSERT_TRUE(doomed);
  const auto element = windowsOf(doomed->pid).at(0);
  ASSERT_TRUE(frame(element));

  server_->process().signal(SIGKILL);
  ASSERT_TRUE(server_->process().waitExit(after(10)));

  EXPECT_TRUE(workspace().runningApplications().empty());
  EXPECT_FALSE(desktop_->alive());
  EXPECT_FALSE(workspace().frontmostApplication());
  platform::AttributeValue value;
  EXPECT_EQ(ax().copyAttributeValue(element, "AXPosition", value), AXError::cannotComplete);
  EXPECT_EQ(ax().copyAttributeValue(ax().createApplication(doomed->pid), "AXWindows", value),
            AXError::cannotComplete);
  EXPECT_EQ(ax().setAttributeValue(element, "AXSize", Size{500, 400}), AXError::cannotComplete);
  EXPECT_TRUE(desktop_->screens().screens().empty());
  EXPECT_EQ(desktop_->screens().mouseLocation(), (Point{0, 0}));
}

TEST_P(Failures, AStoppedServerCostsOneTimeoutAndIsUsableWhenItResumes) {
  open({"--window", "--class", "p,Paused", "--title", "paused"});
  const auto paused = app("paused");
  ASSERT_TRUE(paused);
  const auto element = windowsOf(paused->pid).at(0);
  ax().setMessagingTimeout(ax().createApplication(paused->pid), 0.2f);

  server_->process().signal(SIGSTOP);
  EXPECT_TRUE(workspace().runningApplications().empty());
  platform::AttributeValue value;
  EXPECT_NE(ax().copyAttributeValue(element, "AXTitle", value), AXError::success);
  EXPECT_TRUE(desktop_->screens().screens().empty());
  server_->process().signal(SIGCONT);

  // The late replies are dropped; new requests get their own answers.
  EXPECT_TRUE(probe_->waitUntil([&] { return app("paused").has_value(); }, 10));
  EXPECT_EQ(read<std::string>(element, "AXTitle"), "paused");
  EXPECT_EQ(desktop_->screens().screens().size(), 1u);
}

TEST_P(Failures, AWindowDestroyedBeforeItsPropertiesAreReadIsGoneAndTheOthersAreRead) {
  const auto windows = open({"--window", "--class", "k,Kept", "--window"});
  // A window id that names nothing any more, between two live ones.
  const xcb_window_t dead = xcb_generate_id(probe_->raw());
  xcb_create_window(probe_->raw(), XCB_COPY_FROM_PARENT, dead, probe_->root(), 0, 0, 10, 10, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_destroy_window(probe_->raw(), dead);
  std::free(xcb_get_input_focus_reply(probe_->raw(), xcb_get_input_focus(probe_->raw()), nullptr));

  std::string error;
  auto connection = platform::x11::Connection::open(server_->display(), error);
  ASSERT_TRUE(connection) << error;
  const auto facts = platform::x11::fetchWindowFacts(*connection, {windows[0], dead, windows[1]});
  ASSERT_EQ(facts.size(), 3u);
  using Status = platform::x11::WindowFacts::Status;
  EXPECT_EQ(facts[0].status, Status::ok);
  EXPECT_EQ(facts[1].status, Status::gone);
  EXPECT_EQ(facts[2].status, Status::ok);
  EXPECT_EQ(facts[2].wmClass, "Kept");
}

TEST_P(Failures, LaunchesAnInstalledApplicationFromItsDesktopEntry) {
  const auto path = workspace().urlForApplication("org.example.Launchable");
  ASSERT_TRUE(path);
  EXPECT_EQ(std::filesystem::path(*path),
            testDataHome() / "applications" / "org.example.Launchable.desktop");
  EXPECT_FALSE(workspace().urlForApplication("org.example.NotInstalled"));
  EXPECT_FALSE(workspace().urlForApplication("../applications/org.example.Launchable"));
  EXPECT_FALSE(workspace().urlForApplication(""));

  workspace().openApplication(*path);
  // The child runs on this test's display, not on whatever DISPLAY said.
  EXPECT_TRUE(probe_->waitUntil([&] { return app("org.example.Launchable").has_value(); }, 20));
  const auto launched = app("org.example.Launchable");
  ASSERT_TRUE(launched);
  EXPECT_EQ(launched->localizedName, "Launchable");
  ASSERT_EQ(windowsOf(launched->pid).size(), 1u);
  EXPECT_EQ(read<std::string>(windowsOf(launched->pid)[0], "AXTitle"), "Launched");

  // Paths that are no desktop entry are ignored.
  workspace().openApplication("/nonexistent/entry.desktop");
  workspace().openApplication("");
}

TEST_P(Failures, TheProcessIsTrustedAndSettingsLinksDoNothing) {
  EXPECT_TRUE(ax().isProcessTrusted(false));
  EXPECT_TRUE(ax().isProcessTrusted(true));
  workspace().openURL("x-apple.systempreferences:com.apple.preference.security");
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Failures, ::testing::Values("openbox"), managerName);

}  // namespace
}  // namespace tessaloom::x11test
