// The pid under which the core names an application: its process id when that is free,
// else a negative stand-in. Pure bookkeeping over identities and process ids.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace tessaloom::WindowManager {

/// Gives every application a pid of its own that stays the same for the life of the process.
/// An application keeps its process id when it is the first seen with it; applications
/// without a process id, and further applications of a process that shows windows of several
/// identifiers, get negative stand-ins, so that one pid never stands for two applications and
/// no window is listed twice.
class PidAssigner {
 public:
  /// An empty identifier is none.
  std::int32_t pidFor(const std::string& identifier, std::uint32_t processId);

 private:
  std::map<std::pair<std::string, std::uint32_t>, std::int32_t> assigned_;
  std::set<std::int32_t> claimed_;
  std::int32_t next_ = -1;
};

}  // namespace tessaloom::WindowManager
