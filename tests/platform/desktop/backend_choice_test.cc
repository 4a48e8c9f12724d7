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
  // An empty order stands for a failure line.
  const std::pair<E, std::vector<Backend>> cases[] = {
      {{.scene = "s.json", .forced = "x11", .currentDesktop = "GNOME"}, {B::scene}},
      {{.forced = "kde", .currentDesktop = "GNOME", .display = ":0"}, {B::kde}},
      {{.forced = "weston", .display = ":0"}, {}},
      {{.currentDesktop = "ubuntu:GNOME", .sessionType = "wayland", .display = ":0"}, {B::gnome}},
      {{.currentDesktop = "GNOME", .sessionType = "x11", .display = ":0"}, {B::gnome, B::x11}},
      {{.currentDesktop = "KDE", .sessionType = "Wayland"}, {B::kde}},
      {{.currentDesktop = "KDE", .sessionType = "x11", .display = ":0"}, {B::x11}},
      {{.currentDesktop = "sway"}, {B::sway}},
      {{.display = ":0", .i3Socket = "/i"}, {B::i3, B::x11}},
      {{.currentDesktop = "XGNOMEX", .display = ":0"}, {B::x11}},
      {{.currentDesktop = "XFCE", .sessionType = "wayland"}, {}},
  };
  for (const auto& [e, order] : cases) {
    SCOPED_TRACE(e.forced + "|" + e.currentDesktop + "|" + e.sessionType + "|" + e.display);
    const auto chosen = chooseBackends(e);
    EXPECT_EQ(chosen.ok() ? *chosen : std::vector<Backend>{}, order);
    EXPECT_TRUE(chosen.ok() || !chosen.error().empty());
  }
  for (const B b : {B::scene, B::x11, B::gnome, B::kde, B::sway, B::i3})
    EXPECT_EQ(backendFromName(name(b)), b);
  EXPECT_EQ(backendFromName("X11"), std::nullopt);
}

}  // namespace
}  // namespace tessaloom::platform
