// One tray copy per user: the copy that runs owns a well-known name on the session bus and
// answers a Quit call on an object it exports. The bus hands the name on when its owner quits
// or dies, so no file or signal is ever needed to find or end a copy.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "platform/glib/bus_peers.h"
#include "platform/glib/exported_object.h"

typedef struct _GDBusConnection GDBusConnection;

namespace tessaloom::platform {

class SingleInstance {
 public:
  static constexpr const char* kBusName = "org.tessaloom.Tray";
  static constexpr const char* kObjectPath = "/org/tessaloom/Tray";
  static constexpr const char* kInterface = "org.tessaloom.Tray";

  /// Connects to the session bus at `address` (the user's session bus when empty), exports the
  /// Quit method, which calls `quit` on the thread's default main context when another copy of
  /// this program asks (anyone else is refused), and asks for the name: at once when it is
  /// free, else queued behind the copy that owns it. A failure says why there is no session
  /// bus.
  static Result<std::unique_ptr<SingleInstance>> claim(std::function<void()> quit,
                                                       const std::string& address = {});
  /// Gives the name back and leaves the bus.
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  /// Whether this process owns the name now.
  bool ownsName();
  /// The process that owns the name when it is another one, as the bus knows it.
  std::optional<std::int32_t> ownerPid();
  /// When `pid` is the process that owns the name, asks it to quit over the bus and waits, at
  /// most `seconds`, for the name to pass to this process; true once it has. Never signals.
  bool takeOver(std::int32_t pid, double seconds);

 private:
  explicit SingleInstance(GDBusConnection* connection)
      : connection_(connection), peers_(connection) {}
  // The unique name of the name's owner; empty when none.
  std::string ownerName();

  GDBusConnection* connection_;
  glib::BusPeers peers_;
  std::unique_ptr<glib::ExportedObject> object_;
};

}  // namespace tessaloom::platform
