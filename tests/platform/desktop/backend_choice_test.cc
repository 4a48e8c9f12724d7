// The choice of backend from the session's environment.
#include "platform/desktop/backend_choice.h"

#include <gtest/gtest.h>

namespace tessaloom::platform {
namespace {

using B = Backend;

struct Case {
  const char* what;
  SessionEnvironment environment;
  std::vector<Backend> order;  // empty: a failure line
};

class Choice : public ::testing::TestWithParam<Case> {};

TEST_P(Choice, PicksTheSessionsDesktop) {
  const Case& c = GetParam();
  const auto chosen = chooseBackends(c.environment);
  if (c.order.empty()) {
    EXPECT_FALSE(chosen.ok()) << c.what;
    EXPECT_FALSE(chosen.error().empty());
    return;
  }
  ASSERT_TRUE(chosen.ok()) << c.what << ": " << chosen.error();
  EXPECT_EQ(*chosen, c.order) << c.what;
}

SessionEnvironment env(std::string desktop, std::string type, std::string display = ":0") {
  SessionEnvironment e;
  e.currentDesktop = std::move(desktop);
  e.sessionType = std::move(type);
  e.display = std::move(display);
  return e;
}

SessionEnvironment with(SessionEnvironment e, std::string SessionEnvironment::*member,
                        std::string value) {
  e.*member = std::move(value);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, Choice,
    ::testing::Values(
        Case{"a scene wins over everything",
             with(env("GNOME", "wayland"), &SessionEnvironment::scene, "s.json"),
             {B::scene}},
        Case{"forced", with(env("GNOME", "wayland"), &SessionEnvironment::forced, "x11"), {B::x11}},
        Case{"forced to nothing known",
             with(env("", "x11"), &SessionEnvironment::forced, "weston"),
             {}},
        Case{"GNOME on Wayland has no X11 fallback", env("ubuntu:GNOME", "wayland"), {B::gnome}},
        Case{"GNOME on X11 falls back to X11", env("GNOME", "x11"), {B::gnome, B::x11}},
        Case{"Plasma on Wayland", env("KDE", "wayland"), {B::kde}},
        Case{"Plasma on X11 is moved through X11", env("KDE", "x11"), {B::x11}},
        Case{"sway by its socket",
             with(env("", "", ""), &SessionEnvironment::swaySocket, "/s"),
             {B::sway}},
        Case{"i3 by its socket, X11 after it",
             with(env("", "x11"), &SessionEnvironment::i3Socket, "/i"),
             {B::i3, B::x11}},
        Case{"i3 by name, lower or upper case", env("I3", "x11"), {B::i3, B::x11}},
        Case{"any other X11 desktop", env("XFCE", "x11"), {B::x11}},
        Case{"a Wayland session is recognised by its display",
             with(env("GNOME", "", ""), &SessionEnvironment::waylandDisplay, "wayland-0"),
             {B::gnome}},
        Case{"nothing reachable", env("", "", ""), {}}));

TEST(BackendNames, ReadBackWhatTheyWrite) {
  for (const B b : {B::scene, B::x11, B::gnome, B::kde, B::sway, B::i3})
    EXPECT_EQ(backendFromName(name(b)), b);
  EXPECT_EQ(backendFromName("X11"), std::nullopt);
}

}  // namespace
}  // namespace tessaloom::platform
