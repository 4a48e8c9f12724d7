#include "platform/glib/bus_peers.h"

#include <glib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/glib/bus_calls.h"

namespace tessaloom::platform::glib {
namespace {

// Enough for every copy a user could start; a flood of strangers only costs them lookups.
constexpr std::size_t kMaxKnownPeers = 256;

// The executable of `process` ("self" or a pid), also once it has been replaced on disk.
std::string executableOf(const std::string& process) {
  std::error_code ec;
  std::string path = std::filesystem::read_symlink("/proc/" + process + "/exe", ec).string();
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  return ec ? std::string() : path;
}

bool sandboxed(const std::string& process) {
  std::error_code ec;
  if (std::filesystem::exists("/proc/" + process + "/root/.flatpak-info", ec)) return true;
  std::ifstream cgroup("/proc/" + process + "/cgroup");
  std::stringstream text;
  text << cgroup.rdbuf();
  return text.str().find("/snap.") != std::string::npos;
}

}  // namespace

bool runsThisProgram(pid_t pid, uid_t uid) {
  if (pid <= 0 || uid != ::getuid()) return false;
  const std::string process = std::to_string(pid), self = executableOf("self");
  return !self.empty() && executableOf(process) == self && !sandboxed(process);
}

bool BusPeers::isThisProgram(const std::string& sender) {
  if (const auto it = known_.find(sender); it != known_.end()) return it->second;
  GVariant* reply = callBus(connection_, "GetConnectionCredentials",
                            g_variant_new("(s)", sender.c_str()), "(a{sv})");
  if (!reply) return false;
  GVariant* credentials = g_variant_get_child_value(reply, 0);
  guint32 pid = 0, uid = 0;
  const bool known = g_variant_lookup(credentials, "ProcessID", "u", &pid) &&
                     g_variant_lookup(credentials, "UnixUserID", "u", &uid);
  g_variant_unref(credentials);
  g_variant_unref(reply);
  const bool ours = known && runsThisProgram(static_cast<pid_t>(pid), static_cast<uid_t>(uid));
  if (known_.size() >= kMaxKnownPeers) known_.clear();
  known_.emplace(sender, ours);
  return ours;
}

}  // namespace tessaloom::platform::glib
