// The script's start as the program sees it, against a stand-in for KWin on a private session
// bus: no KWin, a KWin that loads no scripts, and a script that never answers (the start gives
// up at its deadline, and is not tried again at once); every script loaded is unloaded again.
#include "platform/kwin/kwin_agent.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>

#include "platform/kwin/kwin_report.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"

namespace tessaloom::platform::kwin {
namespace {

/// KWin's name on the bus, answering from GDBus's own thread through a message filter: every
/// call fails unless `scripts`, else loading and running a script succeed, and it stays silent.
struct FakeKWin {
  FakeKWin(const std::string& address, bool loadsScripts) : scripts(loadsScripts) {
    bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_dbus_connection_add_filter(bus, &FakeKWin::serve, this, nullptr);
    g_variant_unref(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", "org.kde.KWin", 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        nullptr));
  }
  ~FakeKWin() {
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
  }
  static GDBusMessage* serve(GDBusConnection* bus, GDBusMessage* call, gboolean incoming,
                             gpointer data) {
    if (!incoming || g_dbus_message_get_message_type(call) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
      return call;
    auto* kwin = static_cast<FakeKWin*>(data);
    const std::string member = g_dbus_message_get_member(call);
    GDBusMessage* reply = kwin->scripts
                              ? g_dbus_message_new_method_reply(call)
                              : g_dbus_message_new_method_error(
                                    call, "org.freedesktop.DBus.Error.UnknownObject", "-");
    if (kwin->scripts && member == "loadScript") {
      ++kwin->loads;
      g_dbus_message_set_body(reply, g_variant_new("(i)", 0));
    } else if (kwin->scripts && member == "unloadScript") {
      ++kwin->unloads;
      g_dbus_message_set_body(reply, g_variant_new("(b)", TRUE));
    }
    g_dbus_connection_send_message(bus, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    g_object_unref(call);
    return nullptr;
  }
  bool scripts;
  GDBusConnection* bus;
  std::atomic<int> loads = 0, unloads = 0;
};

TEST(KWinAgent, StartsWithoutControlWhereKWinIsMissingRunsNoScriptsOrTheScriptIsSilent) {
  const testing::PrivateBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  const testing::ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address()),
      runtime("XDG_RUNTIME_DIR", ::testing::TempDir());
  EXPECT_EQ(Agent::start().error(), "KWin is not on the session bus");
  for (const auto& [scripts, problem] :
       {std::pair<bool, std::string>{false, "KWin does not load scripts"},
        {true, "the KWin script did not answer"}}) {
    FakeKWin kwin(bus.address(), scripts);
    const auto started = std::chrono::steady_clock::now();
    auto agent = Agent::start();
    ASSERT_TRUE(agent) << agent.error();
    EXPECT_FALSE((*agent)->running());
    EXPECT_EQ((*agent)->problem().rfind(problem, 0), 0u) << (*agent)->problem();
    EXPECT_FALSE((*agent)->ask(reportRequest()));  // not waiting through the deadlines again
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              Agent::kStartTime + std::chrono::seconds(1));
    EXPECT_EQ(kwin.loads, scripts ? 1 : 0);
    EXPECT_EQ(kwin.unloads, kwin.loads);
  }
}

}  // namespace
}  // namespace tessaloom::platform::kwin
