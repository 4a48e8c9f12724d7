// Temporary folders, environment variables and child processes for tests of the Linux
// services; everything is put back or ended when the test ends.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::testing {

/// A child process that waits for a signal; killed and reaped at the end unless reaped before.
class Child {
 public:
  Child() {
    pid_ = ::fork();
    if (pid_ == 0) {
      for (;;) ::pause();
    }
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  std::int32_t pid() const { return pid_; }
  bool running() const { return !reaped_ && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  /// Waits for the child to end; returns the signal that ended it (0 for none).
  int reap() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

/// The pid of a process that has ended and been reaped.
inline std::int32_t endedPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

}  // namespace tessaloom::testing
