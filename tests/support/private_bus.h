// A session bus of a test's own: a dbus-daemon started for it and ended with it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace tessaloom::testing {

/// Its address is empty when the daemon could not be started.
class PrivateBus {
 public:
  PrivateBus() {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(STDERR_FILENO);  // it warns about limits it may not raise
      ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
               "--print-address=1", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    for (char c; ::read(out[0], &c, 1) == 1 && c != '\n';) address_ += c;
    ::close(out[0]);
  }
  ~PrivateBus() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace tessaloom::testing
