#include "platform/gnome/shell_channel.h"

#include <gio/gio.h>

#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>

#include "base/language.h"
#include "platform/glib/bus_calls.h"
#include "platform/glib/gio.h"

namespace tessaloom::platform::gnome {
namespace {

using glib::gio;

struct Subscription {
  GDBusConnection* bus;
  guint id;
  std::function<void(GVariant*)> handler;
  std::function<std::string()> shell;
};

// Signals come only from the Shell: anyone may address one to us.
void onSignal(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
              GVariant* parameters, gpointer data) {
  auto* s = static_cast<Subscription*>(data);
  if (sender && s->shell() == sender) s->handler(parameters);
}

void nameAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
  (*static_cast<std::function<void(bool)>*>(data))(true);
}

void nameVanished(GDBusConnection*, const gchar*, gpointer data) {
  (*static_cast<std::function<void(bool)>*>(data))(false);
}

void freeWatch(gpointer data) {
  delete static_cast<std::function<void(bool)>*>(data);
}

void freeSubscription(gpointer data) {
  delete static_cast<Subscription*>(data);
}

// A number or nothing, from a dictionary entry of any numeric type.
std::optional<double> numberIn(GVariant* dictionary, const char* key) {
  GVariant* value = g_variant_lookup_value(dictionary, key, nullptr);
  if (!value) return std::nullopt;
  std::optional<double> number;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE))
    number = g_variant_get_double(value);
  else if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32))
    number = g_variant_get_int32(value);
  else if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
    number = g_variant_get_uint32(value);
  g_variant_unref(value);
  return number;
}

}  // namespace

ExtensionState extensionState(double number) {
  switch (static_cast<int>(number)) {
    case 1:
    case 8:  // enabling
      return ExtensionState::enabled;
    case 2:
    case 6:  // loaded, never enabled
    case 7:  // disabling
      return ExtensionState::disabled;
    case 3:
      return ExtensionState::error;
    case 4:
      return ExtensionState::outOfDate;
    case 99:  // uninstalled
      return ExtensionState::missing;
    default:
      return ExtensionState::unknown;
  }
}

Result<std::unique_ptr<ShellChannel>> ShellChannel::open() {
  if (!gio()) return Failure{language::tr(glib::kNoGio)};
  GError* error = nullptr;
  GDBusConnection* bus = gio()->busGet(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    std::string message = error ? error->message : "the session bus";
    g_clear_error(&error);
    return Failure{message};
  }
  return std::unique_ptr<ShellChannel>(new ShellChannel(bus));
}

ShellChannel::ShellChannel(GDBusConnection* bus) : bus_(bus), posted_(g_main_context_new()) {}

ShellChannel::~ShellChannel() {
  // Calls sent without waiting leave before the connection is let go; GDBus lets go of a
  // dropped listener on the context it was made on.
  gio()->flush(bus_, nullptr, nullptr);
  drain();
  gio()->unref(bus_);
  // A posted call's reply that comes later finds the context, which nobody runs any more.
  g_main_context_unref(posted_);
}

bool ShellChannel::present() {
  return !shell().empty();
}

bool ShellChannel::stillThere() {
  return !shell_.empty() && glib::nameHasOwner(bus_, shell_.c_str());
}

const std::string& ShellChannel::shell() {
  if (!shell_.empty()) return shell_;
  const std::string owner = glib::nameOwner(bus_, kBusName);
  if (!owner.empty() && owner == glib::nameOwner(bus_, "org.gnome.Shell")) {
    shell_ = owner;
  } else if (!owner.empty() && !warned_) {
    warned_ = true;
    std::fprintf(stderr, "%s is held by a program other than GNOME Shell; it is not used\n",
                 kBusName);
  }
  return shell_;
}

bool ShellChannel::statusNotifierHost() {
  return glib::nameHasOwner(bus_, "org.kde.StatusNotifierWatcher");
}

std::optional<Reply> ShellChannel::call(const char* method, GVariant* parameters,
                                        const char* replyType, int milliseconds) {
  if (g_get_monotonic_time() < quietUntil_) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return std::nullopt;
  }
  const std::string to = shell();
  if (to.empty()) {  // as if the extension were not there
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return std::nullopt;
  }
  GError* error = nullptr;
  GVariant* reply = gio()->callSync(bus_, to.c_str(), kObjectPath, kInterface, method, parameters,
                                    replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                    G_DBUS_CALL_FLAGS_NO_AUTO_START, milliseconds, nullptr, &error);
  // The replies of calls posted before this one have come before its own.
  drain();
  if (reply) return Reply(reply, g_variant_unref);
  failed(method, milliseconds, error);
  g_clear_error(&error);
  return std::nullopt;
}

void ShellChannel::drain() {
  while (g_main_context_iteration(posted_, FALSE)) {
  }
}

void ShellChannel::failed(const char* method, int milliseconds, GError* error) {
  if (error && error->domain == gio()->ioError() && error->code == G_IO_ERROR_TIMED_OUT)
    quietUntil_ = g_get_monotonic_time() + static_cast<std::int64_t>(kQuietSeconds * 1e6);
  if (!trouble_) trouble_ = callFailure(method, milliseconds, error);
  shell_.clear();  // a Shell that went away comes back under a new name
}

namespace {

// How long a posted call may wait for its reply, as a call() by default.
constexpr int kPostMilliseconds = 2000;

struct Posted {
  const char* method;
  std::function<void(const char*, GError*)> failed;
  std::function<void(GVariant*)> replied;
};

void onPosted(GObject* bus, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<Posted> posted(static_cast<Posted*>(data));
  GError* error = nullptr;
  if (GVariant* reply =
          gio()->callFinish(reinterpret_cast<GDBusConnection*>(bus), result, &error)) {
    if (posted->replied) posted->replied(reply);
    g_variant_unref(reply);
  } else {
    posted->failed(posted->method, error);
  }
  g_clear_error(&error);
}

}  // namespace

void ShellChannel::post(const char* method, GVariant* parameters,
                        std::function<void(GVariant*)> replied) {
  const std::string to = g_get_monotonic_time() < quietUntil_ ? std::string() : shell();
  if (to.empty()) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return;
  }
  g_main_context_push_thread_default(posted_);
  gio()->call(
      bus_, to.c_str(), kObjectPath, kInterface, method, parameters, nullptr,
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kPostMilliseconds, nullptr, &onPosted,
      new Posted{method, [this](const char* m, GError* e) { failed(m, kPostMilliseconds, e); },
                 std::move(replied)});
  g_main_context_pop_thread_default(posted_);
}

void ShellChannel::send(const char* method, GVariant* parameters) {
  const std::string to = shell();
  if (to.empty()) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return;
  }
  gio()->call(bus_, to.c_str(), kObjectPath, kInterface, method, parameters, nullptr,
              G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr, nullptr);
}

std::optional<std::string> ShellChannel::facts() {
  auto reply = call("Facts", nullptr, "(s)");
  if (!reply) return std::nullopt;
  const gchar* text = nullptr;
  g_variant_get(reply->get(), "(&s)", &text);
  return std::string(text ? text : "");
}

std::shared_ptr<void> ShellChannel::subscribe(const char* signal,
                                              std::function<void(GVariant*)> handler) {
  auto* s = new Subscription{bus_, 0, std::move(handler), [this] { return shell(); }};
  s->id = gio()->subscribe(bus_, kBusName, kInterface, signal, kObjectPath, nullptr,
                           G_DBUS_SIGNAL_FLAGS_NONE, onSignal, s, freeSubscription);
  // GDBus frees the subscription once no signal already queued can reach it.
  return std::shared_ptr<void>(s, [](void* p) {
    auto* sub = static_cast<Subscription*>(p);
    gio()->unsubscribe(sub->bus, sub->id);
  });
}

std::shared_ptr<void> ShellChannel::listen(const char* signal,
                                           std::function<void(GVariant*)> handler) {
  g_main_context_push_thread_default(posted_);
  auto token = subscribe(signal, std::move(handler));
  g_main_context_pop_thread_default(posted_);
  return token;
}

std::shared_ptr<void> ShellChannel::watch(std::function<void(bool)> handler) {
  // A Shell restarted (on X11) comes back under a new unique name: look it up anew, or its
  // signals would go unheard and the first call fail.
  const auto forget = [this, handler = std::move(handler)](bool present) {
    shell_.clear();
    handler(present);
  };
  const guint id = gio()->watch(bus_, kBusName, G_BUS_NAME_WATCHER_FLAGS_NONE, nameAppeared,
                                nameVanished, new std::function<void(bool)>(forget), freeWatch);
  return std::shared_ptr<void>(nullptr, [id](void*) { gio()->unwatch(id); });
}

ExtensionStatus ShellChannel::extensionStatus() {
  ExtensionStatus status;
  // Asked only when the extension does not serve: a Shell busy starting up or under load gets
  // time to say why, and its version is only a detail of the line.
  const auto shell = [this](const char* interface, const char* method, GVariant* parameters,
                            const char* replyType, int milliseconds) {
    return gio()->callSync(bus_, "org.gnome.Shell", "/org/gnome/Shell", interface, method,
                           parameters, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           milliseconds, nullptr, nullptr);
  };
  if (GVariant* info = shell("org.gnome.Shell.Extensions", "GetExtensionInfo",
                             g_variant_new("(s)", kExtensionUuid), "(a{sv})", 4000)) {
    GVariant* entries = g_variant_get_child_value(info, 0);
    // The Shell describes an extension it does not know with no entries at all.
    const auto number = numberIn(entries, "state");
    status.state = number ? extensionState(*number) : ExtensionState::missing;
    const gchar* error = nullptr;
    if (g_variant_lookup(entries, "error", "&s", &error) && error) status.error = error;
    g_variant_unref(entries);
    g_variant_unref(info);
  }
  if (GVariant* reply =
          shell("org.freedesktop.DBus.Properties", "Get",
                g_variant_new("(ss)", "org.gnome.Shell", "ShellVersion"), "(v)", 1000)) {
    GVariant* version = nullptr;
    g_variant_get(reply, "(v)", &version);
    if (g_variant_is_of_type(version, G_VARIANT_TYPE_STRING))
      status.shellVersion = g_variant_get_string(version, nullptr);
    g_variant_unref(version);
    g_variant_unref(reply);
  }
  return status;
}

void ShellChannel::enableExtension() {
  gio()->call(bus_, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
              "EnableExtension", g_variant_new("(s)", kExtensionUuid), nullptr,
              G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr, nullptr);
}

std::string callFailure(const char* method, int milliseconds, GError* error) {
  const std::string call = std::string(method) + " of org.tessaloom.Shell";
  if (!error) return "GNOME Shell gave no answer to " + call;
  if (error->domain == gio()->ioError() && error->code == G_IO_ERROR_TIMED_OUT)
    return "GNOME Shell did not answer " + call + " within " + std::to_string(milliseconds) + " ms";
  if ((error->domain == gio()->dbusError() &&
       (error->code == G_DBUS_ERROR_NO_REPLY || error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER ||
        error->code == G_DBUS_ERROR_SERVICE_UNKNOWN || error->code == G_DBUS_ERROR_UNKNOWN_METHOD ||
        error->code == G_DBUS_ERROR_UNKNOWN_OBJECT)) ||
      (error->domain == gio()->ioError() && error->code == G_IO_ERROR_CLOSED))
    return "GNOME Shell or its Tessaloom extension went away during " + call;
  gio()->stripRemote(error);
  return "GNOME Shell answered " + call + " with an error: " + error->message;
}

}  // namespace tessaloom::platform::gnome
