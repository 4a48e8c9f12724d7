// Runs a program with extra environment variables and collects its exit status and output.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>
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
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return result;
  }
  std::vector<std::string> argvText = {path};
  argvText.insert(argvText.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    const int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) ::dup2(devnull, 0);
    for (const auto& [key, value] : env) {
      if (value.empty() && key.front() == '-')
        ::unsetenv(key.c_str() + 1);
      else
        ::setenv(key.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds.value_or(0)));
  const auto timeout = [&] {
    if (!seconds) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
  };
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  bool timedOut = false;
  while (open > 0 && pid > 0) {
    const int ready = ::poll(fds, 2, timeout());
    if (ready == 0) {
      timedOut = true;
      break;
    }
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) ::close(f.fd);
  if (pid < 0) return result;
  if (timedOut) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::ostringstream note;
    note << "[no end within " << *seconds << " s]";
    result.err += note.str();
    return result;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace tessaloom::testing
