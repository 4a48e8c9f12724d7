// Calls to the session bus itself, a connection of one's own to it, and a bounded wait on a
// private main context; through the lazily loaded GIO, so that a caller links no GIO.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "base/result.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GVariant GVariant;

namespace tessaloom::platform::glib {

/// How long a call to the bus itself may take.
inline constexpr int kBusCallMilliseconds = 2000;

/// Calls `method` of the bus itself with `arguments` (a floating reference is taken); its reply,
/// of `replyType`, or null when the bus does not answer in time.
GVariant* callBus(GDBusConnection* connection, const char* method, GVariant* arguments,
                  const char* replyType);

/// The unique name of the connection that owns the well-known `name` now; empty when none does
/// or the bus does not answer.
std::string nameOwner(GDBusConnection* connection, const char* name);
/// Whether some connection owns `name` now; false when the bus does not answer.
bool nameHasOwner(GDBusConnection* connection, const char* name);

/// A connection of the caller's own to the session bus at `address` (the user's session bus when
/// empty), which does not end the process when the bus goes. Fails, with one line, when no
/// session bus is configured: GIO would otherwise start a bus of its own that nobody else sees.
Result<GDBusConnection*> connectToSessionBus(const std::string& address = {});

/// Runs `context` until `done()` holds or `deadline` passes; whether done() held. Only the
/// context's own sources run, so a wait never runs the program's other handlers.
bool runUntil(GMainContext* context, std::chrono::steady_clock::time_point deadline,
              const std::function<bool()>& done);

/// Whether a caller is the connection that owns the well-known `name` (a compositor's, whose
/// script calls this program back). The owner is kept and asked for again only when another
/// connection calls, so an owner restarted since is found and a stranger costs one lookup.
class NameOwnerCheck {
 public:
  NameOwnerCheck(GDBusConnection* connection, std::string name)
      : connection_(connection), name_(std::move(name)) {}
  /// Whether `sender` (a unique name) owns the name now; false when the bus does not answer.
  bool owns(const std::string& sender);

 private:
  GDBusConnection* connection_;
  std::string name_;
  std::string owner_;
};

}  // namespace tessaloom::platform::glib
