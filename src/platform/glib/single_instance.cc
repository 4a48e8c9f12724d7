#include "platform/glib/single_instance.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace tessaloom::platform {
namespace {

constexpr const char* kIntrospection =
    "<node><interface name='org.tessaloom.Tray'><method name='Quit'/></interface></node>";
constexpr int kCallTimeoutMs = 2000;

/// A call to the bus itself; null, with the error cleared, when it fails.
GVariant* busCall(GDBusConnection* connection, const char* method, GVariant* arguments,
                  const char* replyType) {
  return g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", method, arguments,
                                     G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                     kCallTimeoutMs, nullptr, nullptr);
}

std::string takeMessage(GError* error) {
  std::string message = error && error->message ? error->message : "unknown error";
  g_clear_error(&error);
  return message;
}

/// The session bus's address; a failure when none is configured (GIO would otherwise start
/// a bus of its own, which no other copy can see).
Result<std::string> sessionBusAddress() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  const bool userBus =
      runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
  if (!(address && *address) && !userBus)
    return Failure{"DBUS_SESSION_BUS_ADDRESS が設定されていません"};
  GError* error = nullptr;
  gchar* found = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!found) return Failure{takeMessage(error)};
  std::string result = found;
  g_free(found);
  return result;
}

void methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                const gchar* method, GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
  auto& instance = *static_cast<SingleInstance::Exported*>(data);
  // Only another copy of this program may end this one.
  if (!sender || !instance.peers.isThisProgram(sender)) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.AccessDenied", "Only Tessaloom may call this");
    return;
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
  // Answered first: the caller learns that the request arrived, then waits for the name.
  if (g_strcmp0(method, "Quit") == 0) instance.quit();
}

const GDBusInterfaceVTable kVTable = {methodCall, nullptr, nullptr, {}};

}  // namespace

Result<std::unique_ptr<SingleInstance>> SingleInstance::claim(std::function<void()> quit,
                                                              const std::string& address) {
  std::string where = address;
  if (where.empty()) {
    auto found = sessionBusAddress();
    if (!found) return Failure{found.error()};
    where = *found;
  }
  GError* error = nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      where.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!connection) return Failure{takeMessage(error)};
  // This process must not end when the bus goes away; the tray runs on without it.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  std::unique_ptr<SingleInstance> instance(new SingleInstance(connection, std::move(quit)));

  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  instance->registration_ =
      g_dbus_connection_register_object(connection, kObjectPath, node->interfaces[0], &kVTable,
                                        &instance->exported_, nullptr, &error);
  g_dbus_node_info_unref(node);
  if (!instance->registration_) return Failure{takeMessage(error)};

  // Flags 0: queued behind a running copy, and never replaced by a later one unasked.
  GVariant* reply = busCall(connection, "RequestName", g_variant_new("(su)", kBusName, 0u), "(u)");
  if (!reply) return Failure{std::string(kBusName) + ": RequestName"};
  g_variant_unref(reply);
  return instance;
}

SingleInstance::SingleInstance(GDBusConnection* connection, std::function<void()> quit)
    : connection_(connection), exported_{std::move(quit), BusPeers(connection)} {}

SingleInstance::~SingleInstance() {
  if (registration_) g_dbus_connection_unregister_object(connection_, registration_);
  if (GVariant* reply = busCall(connection_, "ReleaseName", g_variant_new("(s)", kBusName), "(u)"))
    g_variant_unref(reply);
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
}

std::string SingleInstance::ownerName() {
  return nameOwner(connection_, kBusName);
}

bool SingleInstance::ownsName() {
  return ownerName() == g_dbus_connection_get_unique_name(connection_);
}

std::optional<std::int32_t> SingleInstance::ownerPid() {
  const std::string owner = ownerName();
  if (owner.empty() || owner == g_dbus_connection_get_unique_name(connection_)) return std::nullopt;
  GVariant* reply = busCall(connection_, "GetConnectionUnixProcessID",
                            g_variant_new("(s)", owner.c_str()), "(u)");
  if (!reply) return std::nullopt;
  guint32 pid = 0;
  g_variant_get(reply, "(u)", &pid);
  g_variant_unref(reply);
  return static_cast<std::int32_t>(pid);
}

bool SingleInstance::takeOver(std::int32_t pid, double seconds) {
  const std::string owner = ownerName();
  if (owner.empty() || owner == g_dbus_connection_get_unique_name(connection_))
    return !owner.empty();
  if (ownerPid() != pid) return false;

  // The name's change arrives as a signal on a context of our own, so waiting runs nothing else.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  bool changed = false;
  const guint subscription = g_dbus_connection_signal_subscribe(
      connection_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
      "/org/freedesktop/DBus", kBusName, G_DBUS_SIGNAL_FLAGS_NONE,
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
          gpointer data) { *static_cast<bool*>(data) = true; },
      &changed, nullptr);
  g_main_context_pop_thread_default(context);

  // Sent to the owner's unique name: a copy that took the name meanwhile is not asked.
  g_dbus_connection_call(connection_, owner.c_str(), kObjectPath, kInterface, "Quit", nullptr,
                         nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr,
                         nullptr);
  const gint64 deadline =
      g_get_monotonic_time() + static_cast<gint64>(std::clamp(seconds, 0.0, 3600.0) * 1e6);
  bool owned = ownsName();
  while (!owned && g_get_monotonic_time() < deadline) {
    GSource* timeout = g_timeout_source_new(
        static_cast<guint>(std::max<gint64>(1, (deadline - g_get_monotonic_time()) / 1000)));
    g_source_set_callback(
        timeout, +[](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timeout, context);
    g_main_context_iteration(context, TRUE);
    g_source_destroy(timeout);
    g_source_unref(timeout);
    if (std::exchange(changed, false)) owned = ownsName();
  }
  g_dbus_connection_signal_unsubscribe(connection_, subscription);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_unref(context);
  return owned;
}

}  // namespace tessaloom::platform
