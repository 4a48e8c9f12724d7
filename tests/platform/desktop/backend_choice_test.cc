// The choice of backend from the session's environment.
#include "platform/desktop/backend_choice.h"

#include <gtest/gtest.h>

// Each case names only the variables that are set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tessaloom::platform {
namespace {

using B = Backend;
using E = SessionEnvironment;

TEST(BackendChoice, FollowsTheSessionsDesktop) {
  const struct {
    E environment;
    std::vector<Backend> order;  // empty: a failure line
  } cases[] = {
      {{.scene = "s.json", .forced = "x11", .currentDesktop = "GNOME"}, {B::scene}},
      {{.forced = "kde", .currentDesktop = "GNOME", .display = ":0"}, {B::kde}},
      {{.forced = "weston", .display = ":0"}, {}},
      {{.forced = "scene", .display = ":0"}, {}},
      {{.currentDesktop = "ubuntu:GNOME", .sessionType = "wayland", .display = ":0"}, {B::gnome}},
      {{.currentDesktop = "GNOME", .waylandDisplay = "wayland-0", .display = ":0"}, {B::gnome}},
      {{.currentDesktop = "GNOME", .sessionType = "x11", .display = ":0"}, {B::gnome, B::x11}},
      {{.currentDesktop = "GNOME-Flashback:GNOME", .sessionType = "x11"}, {B::gnome}},
      {{.currentDesktop = "KDE", .sessionType = "Wayland"}, {B::kde}},
      {{.currentDesktop = "KDE", .sessionType = "x11", .display = ":0"}, {B::x11}},
      {{.swaySocket = "/s"}, {B::sway}},
      {{.currentDesktop = "sway"}, {B::sway}},
      {{.display = ":0", .i3Socket = "/i"}, {B::i3, B::x11}},
      {{.currentDesktop = "I3"}, {B::i3}},
      {{.currentDesktop = "XFCE", .sessionType = "x11", .display = ":0"}, {B::x11}},
      {{.currentDesktop = "XGNOMEX", .display = ":0"}, {B::x11}},
      {{.currentDesktop = "XFCE", .sessionType = "wayland"}, {}},
  };
  for (const auto& c : cases) {
    const E& e = c.environment;
    SCOPED_TRACE(e.forced + "|" + e.currentDesktop + "|" + e.sessionType + "|" + e.display);
    const auto chosen = chooseBackends(e);
    if (c.order.empty()) {
      EXPECT_FALSE(chosen.ok());
      EXPECT_FALSE(chosen.ok() || chosen.error().empty());
    } else {
      EXPECT_EQ(chosen.ok() ? *chosen : std::vector<Backend>{}, c.order);
    }
  }
  for (const B b : {B::scene, B::x11, B::gnome, B::kde, B::sway, B::i3})
    EXPECT_EQ(backendFromName(name(b)), b);
  EXPECT_EQ(backendFromName("X11"), std::nullopt);
}

}  // namespace
}  // namespace tessaloom::platform
