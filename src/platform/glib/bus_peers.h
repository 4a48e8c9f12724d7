// Who calls this program over the session bus: the process behind a connection, and whether it
// is another copy of this program, run by this user outside any sandbox. An answer is kept per
// unique name, which a bus never hands out twice.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace tessaloom::platform::glib {

/// Whether process `pid` runs this process's executable as user `uid`, this process's user,
/// outside a Flatpak or Snap sandbox.
bool runsThisProgram(pid_t pid, uid_t uid);

class BusPeers {
 public:
  explicit BusPeers(GDBusConnection* connection) : connection_(connection) {}
  /// Whether the connection named `sender` (a unique name) is another copy of this program;
  /// false when the bus cannot tell.
  bool isThisProgram(const std::string& sender);

 private:
  GDBusConnection* connection_;
  std::map<std::string, bool, std::less<>> known_;
};

}  // namespace tessaloom::platform::glib
