#include "platform/glib/bus_calls.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/language.h"
#include "platform/glib/gio.h"

namespace tessaloom::platform::glib {

GVariant* callBus(GDBusConnection* connection, const char* method, GVariant* arguments,
                  const char* replyType) {
  return gio()->callSync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", method, arguments, G_VARIANT_TYPE(replyType),
                         G_DBUS_CALL_FLAGS_NONE, kBusCallMilliseconds, nullptr, nullptr);
}

std::string nameOwner(GDBusConnection* connection, const char* name) {
  GVariant* reply = callBus(connection, "GetNameOwner", g_variant_new("(s)", name), "(s)");
  if (!reply) return {};
  const gchar* owner = nullptr;
  g_variant_get(reply, "(&s)", &owner);
  std::string result = owner ? owner : "";
  g_variant_unref(reply);
  return result;
}

bool nameHasOwner(GDBusConnection* connection, const char* name) {
  GVariant* reply = callBus(connection, "NameHasOwner", g_variant_new("(s)", name), "(b)");
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

Result<GDBusConnection*> connectToSessionBus(const std::string& address) {
  if (!gio()) return Failure{language::tr(kNoGio)};
  const auto message = [](GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
  };
  std::string where = address;
  if (where.empty()) {
    const char* variable = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    const bool userBus =
        runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
    if (!(variable && *variable) && !userBus)
      return Failure{language::tr("DBUS_SESSION_BUS_ADDRESS が設定されていません")};
    GError* error = nullptr;
    gchar* found = gio()->busAddress(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!found) return Failure{message(error)};
    where = found;
    g_free(found);
  }
  GError* error = nullptr;
  GDBusConnection* connection = gio()->connect(
      where.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!connection) return Failure{message(error)};
  gio()->setExitOnClose(connection, FALSE);
  return connection;
}

bool runUntil(GMainContext* context, std::chrono::steady_clock::time_point deadline,
              const std::function<bool()>& done) {
  while (!done()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return false;
    // Wakes the iteration at the deadline when nothing else does.
    GSource* timer = g_timeout_source_new(static_cast<guint>(std::min<long long>(left, 3600000)));
    g_source_set_callback(
        timer, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context);
    g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  return true;
}

bool NameOwnerCheck::owns(const std::string& sender) {
  if (sender.empty()) return false;
  if (sender != owner_) owner_ = nameOwner(connection_, name_.c_str());
  return sender == owner_;
}

}  // namespace tessaloom::platform::glib
