#include "platform/glib/single_instance.h"

#include <algorithm>
#include <utility>

#include "platform/glib/bus_calls.h"
#include "platform/glib/gio.h"

namespace tessaloom::platform {
namespace {

constexpr const char* kIntrospection =
    "<node><interface name='org.tessaloom.Tray'><method name='Quit'/></interface></node>";

}  // namespace

Result<std::unique_ptr<SingleInstance>> SingleInstance::claim(std::function<void()> quit,
                                                              const std::string& address) {
  auto connection = glib::connectToSessionBus(address);
  if (!connection) return Failure{connection.error()};
  std::unique_ptr<SingleInstance> instance(new SingleInstance(*connection));
  // Only another copy of this program may end this one.
  auto object = glib::ExportedObject::serve(
      *connection, kObjectPath, kIntrospection, "Tessaloom",
      [self = instance.get()](const std::string& sender) {
        return self->peers_.isThisProgram(sender);
      },
      [quit = std::move(quit)](const std::string& method, GVariant*,
                               GDBusMethodInvocation* invocation) {
        glib::gio()->returnValue(invocation, nullptr);
        // Answered first: the caller learns that the request arrived, then waits for the name.
        if (method == "Quit") quit();
      });
  if (!object) return Failure{object.error()};
  instance->object_ = std::move(*object);

  // Flags 0: queued behind a running copy, and never replaced by a later one unasked.
  GVariant* reply =
      glib::callBus(*connection, "RequestName", g_variant_new("(su)", kBusName, 0u), "(u)");
  if (!reply) return Failure{std::string(kBusName) + ": RequestName"};
  g_variant_unref(reply);
  return instance;
}

SingleInstance::~SingleInstance() {
  object_.reset();
  if (GVariant* reply =
          glib::callBus(connection_, "ReleaseName", g_variant_new("(s)", kBusName), "(u)"))
    g_variant_unref(reply);
  glib::gio()->close(connection_, nullptr, nullptr);
  glib::gio()->unref(connection_);
}

std::string SingleInstance::ownerName() {
  return glib::nameOwner(connection_, kBusName);
}

bool SingleInstance::ownsName() {
  return ownerName() == glib::gio()->uniqueName(connection_);
}

std::optional<std::int32_t> SingleInstance::ownerPid() {
  const std::string owner = ownerName();
  if (owner.empty() || owner == glib::gio()->uniqueName(connection_)) return std::nullopt;
  GVariant* reply = glib::callBus(connection_, "GetConnectionUnixProcessID",
                                  g_variant_new("(s)", owner.c_str()), "(u)");
  if (!reply) return std::nullopt;
  guint32 pid = 0;
  g_variant_get(reply, "(u)", &pid);
  g_variant_unref(reply);
  return static_cast<std::int32_t>(pid);
}

bool SingleInstance::takeOver(std::int32_t pid, double seconds) {
  const std::string owner = ownerName();
  if (owner.empty() || owner == glib::gio()->uniqueName(connection_)) return !owner.empty();
  if (ownerPid() != pid) return false;

  // The name's change arrives as a signal on a context of our own, so waiting runs nothing else.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  bool changed = false;
  const guint subscription = glib::gio()->subscribe(
      connection_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
      "/org/freedesktop/DBus", kBusName, G_DBUS_SIGNAL_FLAGS_NONE,
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
          gpointer data) { *static_cast<bool*>(data) = true; },
      &changed, nullptr);
  g_main_context_pop_thread_default(context);

  // Sent to the owner's unique name: a copy that took the name meanwhile is not asked.
  glib::gio()->call(connection_, owner.c_str(), kObjectPath, kInterface, "Quit", nullptr, nullptr,
                    G_DBUS_CALL_FLAGS_NO_AUTO_START, glib::kBusCallMilliseconds, nullptr, nullptr,
                    nullptr);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(std::clamp(seconds, 0.0, 3600.0)));
  const bool owned = ownsName() || glib::runUntil(context, deadline, [&] {
                       return std::exchange(changed, false) && ownsName();
                     });
  glib::gio()->unsubscribe(connection_, subscription);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_unref(context);
  return owned;
}

}  // namespace tessaloom::platform
