// Runs a program with extra environment variables and collects its exit status and output.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaloom::testing {

struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal; -1 when it could not run or did not end
  std::string out;
  std::string err;
};

/// Runs `path` with `args`, standard input from /dev/null. An `env` entry sets a variable; one
/// named "-NAME" with an empty value unsets NAME. Given `seconds`, a program still running by
/// then is killed and the result has status -1 and a note at the end of `err`.
inline ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                                const std::vector<std::pair<std::string, std::string>>& env = {},
                                std::optional<double> seconds = std::nullopt) {
  ProgramResult result;
  int pipes[2][2];
  if (::pipe2(pipes[0], O_CLOEXEC) != 0 || ::pipe2(pipes[1], O_CLOEXEC) != 0) return result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipes[0][1], 1);
    ::dup2(pipes[1][1], 2);
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    for (const auto& [key, value] : env)
      value.empty() && key.front() == '-' ? ::unsetenv(key.c_str() + 1)
                                          : ::setenv(key.c_str(), value.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(path.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  pollfd fds[2] = {{pipes[0][0], POLLIN, 0}, {pipes[1][0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(seconds.value_or(0) * 1000));
  bool timedOut = false;
  for (int i = 0; i < 2; ++i) ::close(pipes[i][1]);
  while (pid > 0 && (fds[0].fd >= 0 || fds[1].fd >= 0) && !timedOut) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const int ready = ::poll(fds, 2, seconds ? std::max<int>(0, left.count()) : -1);
    timedOut = ready == 0;
    for (int i = 0; i < 2 && ready > 0; ++i) {
      char buffer[4096];
      if (fds[i].fd < 0 || !fds[i].revents) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
    if (ready < 0) break;
  }
  for (auto& f : fds)
    if (f.fd >= 0) ::close(f.fd);
  if (pid < 0) return result;
  if (timedOut) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    result.err += "[no end within " + std::to_string(*seconds) + " s]";
    return result;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace tessaloom::testing
