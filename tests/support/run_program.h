// Child processes for tests: run to their end for their output, or kept running and read line by
// line; the bounded wait every harness uses, and how a command that cannot serve must end.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern char** environ;

namespace tessaloom::testing {

using Clock = std::chrono::steady_clock;

inline Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

/// Re-checks `done` every 20 ms until it holds; false after `seconds`.
inline bool waitUntil(const std::function<bool()>& done, double seconds) {
  for (const auto deadline = after(seconds); !done(); ::usleep(20000))
    if (Clock::now() >= deadline) return false;
  return true;
}

/// The full path of `program` on PATH; empty when absent.
inline std::string findProgram(const std::string& program) {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
  for (std::string folder; std::getline(path, folder, ':');)
    if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
      return folder + "/" + program;
  return {};
}
inline bool onPath(const std::string& program) {
  return !findProgram(program).empty();
}

/// This process's environment with `edits`: "NAME=VALUE" sets NAME and "-NAME" removes it; the
/// first edit of a name counts.
inline std::vector<std::string> environmentWith(const std::vector<std::string>& edits) {
  std::vector<std::string> all = edits, out;
  for (char** e = environ; *e; ++e) all.emplace_back(*e);
  std::set<std::string_view> seen;
  for (const std::string_view e : all) {
    const std::size_t from = e.starts_with('-');
    if (seen.insert(e.substr(from, e.find('=') - from)).second && !from) out.emplace_back(e);
  }
  return out;
}
/// Pairs of a name and a value (a name with a leading '-': removed) as such edits, in order.
inline std::vector<std::string> edits(const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k.starts_with('-') ? k : k + "=" + v);
  return out;
}

/// A child process whose output is read line by line; stopped and reaped with the object.
class Process {
 public:
  /// Starts `argv` (a path or a name on PATH) in this environment with `env` (environmentWith),
  /// standard error appended to `errorLog` (dropped when empty). A program that cannot start
  /// ends at once with status 127.
  static std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& env = {},
                                        const std::string& errorLog = "") {
    int out[2];
    const int err = ::open(errorLog.empty() ? "/dev/null" : errorLog.c_str(),
                           O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (err < 0 || ::pipe2(out, O_CLOEXEC) != 0) return ::close(err), nullptr;
    std::vector<std::string> environment = environmentWith(env);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (auto& e : environment) envp.push_back(e.data());
    args.push_back(nullptr), envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_RDONLY), 0), ::dup2(out[1], 1), ::dup2(err, 2);
      ::execvpe(args[0], args.data(), envp.data());
      ::_exit(127);
    }
    ::close(out[1]), ::close(err);
    if (pid < 0) ::close(out[0]);
    return pid < 0 ? nullptr : std::unique_ptr<Process>(new Process(pid, out[0]));
  }
  ~Process() { stop(), ::close(out_); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int sig) { pid_ > 0 && ::kill(pid_, sig); }
  /// The exit status, or 128 + signal; -1 until waitExit has seen the end.
  int status() const { return status_; }

  /// The next line of output, without its newline; nothing at the deadline or at the end.
  std::optional<std::string> readLine(Clock::time_point deadline) {
    while (buffer_.find('\n') == std::string::npos)
      if (!read(deadline)) return std::nullopt;
    std::string line = buffer_.substr(0, buffer_.find('\n'));
    buffer_.erase(0, line.size() + 1);
    return line;
  }
  /// Reads lines until one starts with `prefix`; false at the end or the deadline.
  bool readUntil(std::string_view prefix, Clock::time_point deadline) {
    for (std::optional<std::string> line; (line = readLine(deadline));)
      if (line->starts_with(prefix)) return true;
    return false;
  }
  /// The output not yet read, up to its end or the deadline.
  std::string rest(Clock::time_point deadline) {
    while (read(deadline)) continue;
    return std::exchange(buffer_, "");
  }

  /// Waits until the process has ended; false at the deadline.
  bool waitExit(Clock::time_point deadline) {
    int status = 0;
    for (; pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0; ::usleep(2000))
      if (Clock::now() >= deadline) return false;
    if (pid_ > 0) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return true;
  }
  void stop() {
    signal(SIGCONT), signal(SIGTERM);
    if (!waitExit(after(5))) signal(SIGKILL), waitExit(after(5));
  }

 private:
  Process(pid_t pid, int out) : pid_(pid), out_(out) {}

  // Appends the next piece of output; false at the end or the deadline.
  bool read(Clock::time_point deadline) {
    for (pollfd p{out_, POLLIN, 0}; ::poll(&p, 1, 20) <= 0;)
      if (Clock::now() >= deadline) return false;
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n > 0) buffer_.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  }

  pid_t pid_;
  int out_, status_ = -1;
  std::string buffer_;
};

struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal; -1 when it could not run or did not end
  std::string out, err;
};

/// Runs `program` (a path or a name on PATH) with `args` to its end. An `env` entry sets a
/// variable, the last for a name counting; one named "-NAME" unsets NAME. Given `seconds`, a
/// program still running by then is killed and the result has status -1 and a note in `err`.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::vector<std::pair<std::string, std::string>>& env = {},
                                std::optional<double> seconds = std::nullopt) {
  std::vector<std::string> argv = {program}, edits;
  argv.insert(argv.end(), args.begin(), args.end());
  for (auto e = env.rbegin(); e != env.rend(); ++e)  // reversed: the first edit counts there
    edits.push_back(e->first.starts_with('-') ? e->first : e->first + "=" + e->second);
  ProgramResult result;
  const int err = ::memfd_create("stderr", MFD_CLOEXEC);  // cannot fill up and block the child
  const auto deadline = seconds ? after(*seconds) : Clock::time_point::max();
  if (auto process = Process::start(argv, edits, "/proc/self/fd/" + std::to_string(err))) {
    result.out = process->rest(deadline);
    if (process->waitExit(deadline))
      result.status = process->status();
    else
      process->signal(SIGKILL);
  }
  char chunk[4096];
  for (ssize_t n, at = 0; err >= 0 && (n = ::pread(err, chunk, sizeof chunk, at)) > 0; at += n)
    result.err.append(chunk, static_cast<std::size_t>(n));
  if (err >= 0) ::close(err);
  if (result.status == -1 && seconds)
    result.err += "[no end within " + std::to_string(*seconds) + " s]";
  return result;
}

/// Whether a command failed as it must when it cannot serve: status 2, one line on standard
/// output that says `words`, and `err` on standard error.
inline ::testing::AssertionResult failedInOneLine(const ProgramResult& r, std::string_view words,
                                                  std::string_view err = "") {
  if (r.status == 2 && std::ranges::count(r.out, '\n') == 1 &&
      r.out.find(words) != std::string::npos && r.err == err)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status " << r.status << ": " << r.out << r.err;
}

}  // namespace tessaloom::testing
