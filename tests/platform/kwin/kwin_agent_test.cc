// The script's life as the program sees it, against a stand-in for KWin on a private session
// bus: no KWin, a KWin that loads no scripts, a script that never answers (the start gives up
// at its deadline), and one that answers; every script loaded is unloaded again.
#include "platform/kwin/kwin_agent.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "platform/kwin/kwin_report.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"

namespace tessaloom::platform::kwin {
namespace {

enum class Scripts { none, silent, answering };

constexpr const char* kReport = R"({"windows": [], "outputs": []})";

/// KWin's name on the bus, served from GDBus's own thread through a message filter: with
/// `none` every call fails; else loading and running a script succeed, and with `answering`
/// the script, played here, reports and then answers every request with "{}" until "quit".
class FakeKWin {
 public:
  FakeKWin(const std::string& address, Scripts scripts) : scripts_(scripts) {
    bus_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_dbus_connection_add_filter(bus_, &FakeKWin::filter, this, nullptr);
    g_variant_unref(g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.kde.KWin", 4u), nullptr, G_DBUS_CALL_FLAGS_NONE,
        -1, nullptr, nullptr));
  }
  ~FakeKWin() {
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::atomic<int> loads = 0, unloads = 0;

 private:
  static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                              gpointer self) {
    return incoming ? static_cast<FakeKWin*>(self)->serve(message) : message;
  }
  GDBusMessage* serve(GDBusMessage* message) {
    const auto type = g_dbus_message_get_message_type(message);
    if (type == G_DBUS_MESSAGE_TYPE_METHOD_RETURN &&
        g_dbus_message_get_reply_serial(message) == next_) {
      const gchar* request = nullptr;
      g_variant_get(g_dbus_message_get_body(message), "(&s)", &request);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      if (request != quitRequest()) next(request == reportRequest() ? kReport : "{}");
    }
    if (type != G_DBUS_MESSAGE_TYPE_METHOD_CALL) return message;
    const std::string member = g_dbus_message_get_member(message);
    GDBusMessage* reply = g_dbus_message_new_method_reply(message);
    if (scripts_ == Scripts::none) {
      g_object_unref(reply);
      reply = g_dbus_message_new_method_error(message, "org.freedesktop.DBus.Error.UnknownObject",
                                              "no scripts here");
    } else if (member == "loadScript") {
      ++loads;
      agent_ = g_dbus_message_get_sender(message);
      g_dbus_message_set_body(reply, g_variant_new("(i)", 0));
    } else if (member == "unloadScript") {
      ++unloads;
      g_dbus_message_set_body(reply, g_variant_new("(b)", TRUE));
    }
    g_dbus_connection_send_message(bus_, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    if (member == "run" && scripts_ == Scripts::answering) next(kReport);
    g_object_unref(message);
    return nullptr;
  }
  // The script's call with what it has to say; the reply is its next request.
  void next(const char* text) {
    GDBusMessage* call = g_dbus_message_new_method_call(agent_.c_str(), "/org/tessaloom/KWinAgent",
                                                        "org.tessaloom.KWinAgent", "Next");
    g_dbus_message_set_body(call, g_variant_new("(s)", text));
    g_dbus_connection_send_message(bus_, call, G_DBUS_SEND_MESSAGE_FLAGS_NONE, &next_, nullptr);
    g_object_unref(call);
  }

  Scripts scripts_;
  GDBusConnection* bus_;
  std::string agent_;
  guint32 next_ = 0;  // the serial of the script's call waiting for its reply
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

class KWinAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  }
  testing::PrivateBus bus_;
  testing::ScopedEnvironment address_{"DBUS_SESSION_BUS_ADDRESS", bus_.address()};
  testing::ScopedEnvironment runtime_{"XDG_RUNTIME_DIR", ::testing::TempDir()};
};

TEST_F(KWinAgent, StartsWithoutControlWhereKWinIsMissingRunsNoScriptsOrTheScriptIsSilent) {
  EXPECT_EQ(Agent::start().error(), "KWin is not on the session bus");
  const struct {
    Scripts scripts;
    const char* problem;
    int loads;
  } cases[] = {{Scripts::none, "KWin does not load scripts", 0},
               {Scripts::silent, "the KWin script did not answer", 1}};
  for (const auto& c : cases) {
    FakeKWin kwin(bus_.address(), c.scripts);
    const auto started = std::chrono::steady_clock::now();
    auto agent = Agent::start();
    ASSERT_TRUE(agent) << agent.error();
    EXPECT_FALSE((*agent)->running());
    EXPECT_EQ((*agent)->problem().rfind(c.problem, 0), 0u) << (*agent)->problem();
    // Asked again at once, it does not wait through the deadlines a second time.
    EXPECT_FALSE((*agent)->ask(reportRequest()));
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              Agent::kStartTime + std::chrono::seconds(1));
    EXPECT_EQ(kwin.loads, c.loads);
    EXPECT_EQ(kwin.unloads, c.loads);
  }
}

TEST_F(KWinAgent, HandsTheScriptOneRequestAtATimeAndUnloadsItAtTheEnd) {
  FakeKWin kwin(bus_.address(), Scripts::answering);
  const Move moves[] = {{"{a}", {1, 2, 3, 4}}};
  {
    auto agent = Agent::start();
    ASSERT_TRUE(agent && (*agent)->running()) << (*agent)->problem();
    EXPECT_EQ((*agent)->ask(reportRequest()), kReport);
    EXPECT_EQ((*agent)->ask(placeRequest(moves)), "{}");
  }
  EXPECT_EQ(kwin.requests(),
            (std::vector<std::string>{reportRequest(), placeRequest(moves), quitRequest()}));
  EXPECT_EQ(kwin.loads, 1);
  EXPECT_EQ(kwin.unloads, 1);
}

}  // namespace
}  // namespace tessaloom::platform::kwin
