#include "windows/pid_assigner.h"

#include <limits>

namespace tessaloom::WindowManager {

std::int32_t PidAssigner::pidFor(const std::string& identifier, std::uint32_t processId) {
  const auto key = std::make_pair(identifier, processId);
  if (auto it = assigned_.find(key); it != assigned_.end()) return it->second;
  std::int32_t pid = 0;
  const bool real = processId > 0 && processId <= std::numeric_limits<std::int32_t>::max();
  if (real && !claimed_.count(static_cast<std::int32_t>(processId))) {
    pid = static_cast<std::int32_t>(processId);
  } else {
    pid = next_;
    if (next_ > std::numeric_limits<std::int32_t>::min()) --next_;
  }
  claimed_.insert(pid);
  assigned_.emplace(key, pid);
  return pid;
}

}  // namespace tessaloom::WindowManager
