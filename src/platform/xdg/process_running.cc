#include "platform/xdg/process_running.h"

#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <limits>

namespace tessaloom::platform::xdg {

bool processRunning(std::int64_t pid) {
  if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
  // Signal 0 only asks; another user's process answers EPERM and still runs.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace tessaloom::platform::xdg
