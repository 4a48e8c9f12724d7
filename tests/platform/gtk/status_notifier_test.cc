// Which status item the tray application chooses: a StatusNotifier item only where a watcher
// reports a registered host; a watcher without a host would take the item and show nothing,
// so the classic tray icon is used then.
#include <gio/gio.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/gtk/tray_session.h"

namespace tessaloom::traytest {
namespace {

constexpr const char* kWatcherXml = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>)";

// A StatusNotifier watcher on the session bus, answering from a thread of its own.
class FakeWatcher {
 public:
  FakeWatcher(const std::string& address, bool hostRegistered) : host_(hostRegistered) {
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);  // method calls are dispatched here
    GError* error = nullptr;
    bus_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    node_ = g_dbus_node_info_new_for_xml(kWatcherXml, &error);
    static const GDBusInterfaceVTable vtable = {
        &FakeWatcher::call, &FakeWatcher::property, nullptr, {}};
    if (bus_ && node_)
      g_dbus_connection_register_object(bus_, "/StatusNotifierWatcher", node_->interfaces[0],
                                        &vtable, this, nullptr, &error);
    if (bus_) {
      GVariant* reply = g_dbus_connection_call_sync(
          bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
      if (reply) {
        guint32 result = 0;
        g_variant_get(reply, "(u)", &result);
        named_ = result == 1;  // primary owner
        g_variant_unref(reply);
      }
    }
    g_clear_error(&error);
    g_main_context_pop_thread_default(context_);
    loop_ = g_main_loop_new(context_, FALSE);
    thread_ = std::thread([this] {
      g_main_context_push_thread_default(context_);
      g_main_loop_run(loop_);
      g_main_context_pop_thread_default(context_);
    });
  }

  ~FakeWatcher() {
    g_main_loop_quit(loop_);
    thread_.join();
    if (bus_) {
      g_dbus_connection_close_sync(bus_, nullptr, nullptr);
      g_object_unref(bus_);
    }
    if (node_) g_dbus_node_info_unref(node_);
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  FakeWatcher(const FakeWatcher&) = delete;
  FakeWatcher& operator=(const FakeWatcher&) = delete;

  bool ready() const { return named_; }

  /// Waits until an item has registered; false at the deadline.
  bool waitForItem(double seconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                             [&] { return !items_.empty(); });
  }
  std::vector<std::string> items() {
    std::lock_guard lock(mutex_);
    return items_;
  }

 private:
  static void call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                   GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<FakeWatcher*>(data);
    if (std::string(method) == "RegisterStatusNotifierItem") {
      const gchar* service = nullptr;
      g_variant_get(parameters, "(&s)", &service);
      {
        std::lock_guard lock(self->mutex_);
        self->items_.push_back(service ? service : "");
      }
      self->changed_.notify_all();
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar* name, GError**, gpointer data) {
    auto* self = static_cast<FakeWatcher*>(data);
    const std::string n = name;
    if (n == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(self->host_);
    if (n == "ProtocolVersion") return g_variant_new_int32(0);
    return g_variant_new_strv(nullptr, 0);
  }

  bool host_;
  bool named_ = false;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  GDBusNodeInfo* node_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> items_;
};

class StatusNotifierTest : public TraySession {
 protected:
  bool said(TrayProcess& tray, const std::string& line) {
    return std::find(tray.lines().begin(), tray.lines().end(), line) != tray.lines().end();
  }
};

TEST_F(StatusNotifierTest, AWatcherWithAHostGetsTheItem) {
  FakeWatcher watcher(busAddress_, true);
  ASSERT_TRUE(watcher.ready());
  auto& tray = startTray();
  EXPECT_TRUE(said(tray, "status-item status-notifier"));
  ASSERT_TRUE(watcher.waitForItem(20)) << "the item never registered";
  EXPECT_FALSE(watcher.items().front().empty());
  // Handing the menu to the item activates its items on the way; none of that is a choice
  // (the quit item among them would have ended the program).
  EXPECT_FALSE(tray.waitExit(0.5)) << "the program ended by itself";
  EXPECT_EQ(quit(tray), 0);
}

TEST_F(StatusNotifierTest, WithoutAHostTheClassicTrayIconIsUsed) {
  for (const bool watcher : {false, true}) {
    std::optional<FakeWatcher> hostless;
    if (watcher) hostless.emplace(busAddress_, false);
    auto& tray = startTray();
    EXPECT_TRUE(said(tray, "status-item xembed")) << watcher;
    EXPECT_TRUE(!watcher || hostless->items().empty());
    EXPECT_EQ(quit(tray), 0);
  }
}

}  // namespace
}  // namespace tessaloom::traytest
