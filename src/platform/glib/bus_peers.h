// Who calls this program over the session bus: the process behind a connection, and whether it
// is another copy of this program, run by this user outside any sandbox. An answer is kept per
// unique name, which a bus never hands out twice.
#pragma once

#include <sys/types.h>
#include <functional>
#include <map>
#include <string>
#include <utility>

typedef struct _GDBusConnection GDBusConnection;

namespace tessaloom::platform {

/// The unique name of the connection that owns the well-known `name` now; empty when none
/// does or the bus does not answer within two seconds.
std::string nameOwner(GDBusConnection* connection, const char* name);

/// Whether process `pid` runs this process's executable as user `uid`, this process's user,
/// outside a Flatpak or Snap sandbox.
bool runsThisProgram(pid_t pid, uid_t uid);

/// Whether a caller is the connection that owns the well-known `name` (a compositor's, whose
/// script calls this program back). The owner is kept and asked for again only when another
/// connection calls, so an owner restarted since is found and a stranger costs one lookup.
class NameOwnerCheck {
 public:
  /// `lookup` gives the name's owner now (nameOwner() or a lazily loaded GIO's own call).
  explicit NameOwnerCheck(std::function<std::string()> lookup) : lookup_(std::move(lookup)) {}
  /// Whether `sender` (a unique name) owns the name now; false when the bus does not answer.
  /// Here in the header, so that a backend that loads GIO lazily links no GIO through it.
  bool owns(const std::string& sender) {
    if (sender.empty()) return false;
    if (sender != owner_) owner_ = lookup_();
    return sender == owner_;
  }

 private:
  std::function<std::string()> lookup_;
  std::string owner_;
};

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

}  // namespace tessaloom::platform
