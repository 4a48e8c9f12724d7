// The script's life as the program sees it, against a stand-in for KWin on a private session
// bus: no KWin, a KWin that loads no scripts, a script that never answers (the start gives up
// at its deadline), and a script that answers; every script loaded is unloaded again.
#include "platform/kwin/kwin_agent.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/kwin/kwin_desktop.h"
#include "platform/kwin/kwin_report.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"

namespace tessaloom::platform::kwin {
namespace {

using testing::PrivateBus;
using testing::ScopedEnvironment;

enum class Scripts { none, silent, answering };

constexpr const char* kReport =
    R"({"windows": [], "outputs": [{"name": "Virtual-1", "frame": [0, 0, 800, 600],
        "usable": [0, 0, 800, 570]}], "desktop": "1", "cursor": [1, 2]})";

/// KWin as far as the script channel goes, served from a thread of its own: the name, and
/// (unless `scripts` is none) /Scripting and one script object whose run() starts the script,
/// played here: it reports, then answers every request until "quit".
class FakeKWin {
 public:
  FakeKWin(const std::string& address, Scripts scripts)
      : scripts_(scripts), context_(g_main_context_new()) {
    std::promise<void> ready;
    thread_ = std::thread([&] {
      g_main_context_push_thread_default(context_);
      bus_ = g_dbus_connection_new_for_address_sync(
          address.c_str(),
          static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                            G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, nullptr);
      if (scripts_ != Scripts::none) {
        exportObject("/Scripting", R"(<node><interface name="org.kde.kwin.Scripting">
            <method name="loadScript"><arg type="s" direction="in"/><arg type="s" direction="in"/>
              <arg type="i" direction="out"/></method>
            <method name="unloadScript"><arg type="s" direction="in"/>
              <arg type="b" direction="out"/></method></interface></node>)");
        exportObject("/Scripting/Script0", R"(<node><interface name="org.kde.kwin.Script">
            <method name="run"/></interface></node>)");
      }
      GVariant* owned = g_dbus_connection_call_sync(
          bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.kde.KWin", 4u), nullptr, G_DBUS_CALL_FLAGS_NONE,
          -1, nullptr, nullptr);
      if (owned) g_variant_unref(owned);
      ready.set_value();
      while (!stop_) g_main_context_iteration(context_, TRUE);
      g_dbus_connection_close_sync(bus_, nullptr, nullptr);
      g_object_unref(bus_);
      g_main_context_pop_thread_default(context_);
    });
    ready.get_future().wait();
  }
  ~FakeKWin() {
    stop_ = true;
    g_main_context_wakeup(context_);
    thread_.join();
    g_main_context_unref(context_);
  }

  int loads() const { return loads_; }
  int unloads() const { return unloads_; }
  /// The requests the script was handed, in order.
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void exportObject(const char* path, const char* xml) {
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
           GVariant* parameters, GDBusMethodInvocation* invocation,
           gpointer self) { static_cast<FakeKWin*>(self)->called(method, parameters, invocation); },
        nullptr,
        nullptr,
        {}};
    g_dbus_connection_register_object(bus_, path, node->interfaces[0], &vtable, this, nullptr,
                                      nullptr);
    g_dbus_node_info_unref(node);
  }

  void called(const std::string& method, GVariant* parameters, GDBusMethodInvocation* call) {
    if (method == "loadScript") {
      const gchar* path = nullptr;
      g_variant_get(parameters, "(&ss)", &path, nullptr);
      std::ifstream file(path);
      std::string first;
      std::getline(file, first);  // var bus = {...};
      const auto brace = first.find('{');
      bus_names_ = nlohmann::json::parse(first.substr(brace, first.rfind('}') - brace + 1));
      ++loads_;
      g_dbus_method_invocation_return_value(call, g_variant_new("(i)", 0));
    } else if (method == "unloadScript") {
      ++unloads_;
      g_dbus_method_invocation_return_value(call, g_variant_new("(b)", TRUE));
    } else if (method == "run") {
      g_dbus_method_invocation_return_value(call, nullptr);
      if (scripts_ == Scripts::answering) next(kReport);
    }
  }

  // The script's call with what it has to say; the answer is its next request.
  void next(const std::string& text) {
    g_dbus_connection_call(
        bus_, bus_names_["service"].get<std::string>().c_str(),
        bus_names_["path"].get<std::string>().c_str(),
        bus_names_["interface"].get<std::string>().c_str(), "Next",
        g_variant_new("(s)", text.c_str()), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, -1,
        nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer self) {
          GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
          if (!reply) return;
          const gchar* request = nullptr;
          g_variant_get(reply, "(&s)", &request);
          auto* kwin = static_cast<FakeKWin*>(self);
          const std::string r = request;
          g_variant_unref(reply);
          {
            std::lock_guard lock(kwin->mutex_);
            kwin->requests_.push_back(r);
          }
          if (r != quitRequest()) kwin->next(r == reportRequest() ? kReport : "{}");
        },
        this);
  }

  Scripts scripts_;
  GMainContext* context_;
  GDBusConnection* bus_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_ = false;
  std::atomic<int> loads_ = 0;
  std::atomic<int> unloads_ = 0;
  nlohmann::json bus_names_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  }
  PrivateBus bus_;
  ScopedEnvironment address_{"DBUS_SESSION_BUS_ADDRESS", bus_.address()};
  ScopedEnvironment runtime_{"XDG_RUNTIME_DIR", ::testing::TempDir()};
};

TEST_F(AgentTest, FailsWithoutKWinOnTheBus) {
  const auto agent = Agent::start();
  ASSERT_FALSE(agent);
  EXPECT_EQ(agent.error(), "KWin is not on the session bus");
}

TEST_F(AgentTest, OpensWithoutControlWhereKWinRunsNoScriptsOrTheScriptStaysSilent) {
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
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              Agent::kStartTime + std::chrono::seconds(1));
    // Asked again at once, it does not wait through the deadlines a second time.
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE((*agent)->ask(reportRequest()));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(100));
    EXPECT_EQ(kwin.loads(), c.loads);
    EXPECT_EQ(kwin.unloads(), c.loads);
  }
}

TEST_F(AgentTest, TheDesktopWithoutScriptsHasNoControlAndSaysHowToGetIt) {
  FakeKWin kwin(bus_.address(), Scripts::none);
  auto desktop = KWinDesktop::connect();
  ASSERT_TRUE(desktop) << desktop.error();
  EXPECT_FALSE((*desktop)->controlAvailable());
  EXPECT_TRUE((*desktop)->applications().empty());
  const auto prompt = (*desktop)->controlPrompt();
  ASSERT_TRUE(prompt);
  EXPECT_NE(prompt->line.find("KWin"), std::string::npos);
  EXPECT_EQ(prompt->buttons.size(), 2u);
}

TEST_F(AgentTest, HandsTheScriptOneRequestAtATimeAndUnloadsItAtTheEnd) {
  FakeKWin kwin(bus_.address(), Scripts::answering);
  {
    auto agent = Agent::start();
    ASSERT_TRUE(agent && (*agent)->running()) << (*agent)->problem();
    const auto report = (*agent)->ask(reportRequest());
    ASSERT_TRUE(report);
    const auto parsed = parseReport(*report);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->outputs.front().usable, (Rect{0, 0, 800, 570}));
    const Move moves[] = {{"{a}", {1, 2, 3, 4}}};
    EXPECT_EQ((*agent)->ask(placeRequest(moves)), "{}");
    EXPECT_EQ(kwin.loads(), 1);
  }
  const Move moves[] = {{"{a}", {1, 2, 3, 4}}};
  EXPECT_EQ(kwin.requests(),
            (std::vector<std::string>{reportRequest(), placeRequest(moves), quitRequest()}));
  EXPECT_EQ(kwin.unloads(), 1);
}

}  // namespace
}  // namespace tessaloom::platform::kwin
