#include "platform/posix/instance_registry.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;

std::optional<std::int32_t> parsePid(std::string_view text) {
  std::int32_t pid = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (ec != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

// What a record holds, and what is compared with the running process: the start time in clock
// ticks after boot from /proc, or 0 where /proc cannot tell (the check then rests on the pid).
struct ProcessState {
  bool running = false;
  unsigned long long startTime = 0;
};

ProcessState processState(std::int32_t pid) {
  ProcessState state;
  // Never 0 or negative: kill() would then address whole process groups.
  if (pid <= 0) return state;
  if (::kill(pid, 0) != 0 && errno != EPERM) return state;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  if (!in) {
    state.running = true;  // no /proc: the pid is all there is to go by
    return state;
  }
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return state;
  // After the command name come field 3 (the state) and the rest; field 22 is the start time.
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int number = 3; fields >> field; ++number) {
    if (number == 3 && (field == "Z" || field == "X")) return state;  // ended, not yet reaped
    if (number == 22) {
      state.running = true;
      state.startTime = std::strtoull(field.c_str(), nullptr, 10);
      return state;
    }
  }
  return state;
}

std::optional<unsigned long long> recordedStartTime(const fs::path& file, std::int32_t pid) {
  std::ifstream in(file);
  long long recordedPid = 0;
  unsigned long long startTime = 0;
  if (!(in >> recordedPid >> startTime) || recordedPid != pid) return std::nullopt;
  return startTime;
}

}  // namespace

std::optional<fs::path> InstanceRegistry::defaultDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || runtime[0] != '/') return std::nullopt;
  return fs::path(runtime) / "tessaloom";
}

bool InstanceRegistry::enroll(std::int32_t pid) {
  const auto state = processState(pid);
  if (!state.running) return false;
  std::error_code ec;
  if (fs::create_directories(directory_, ec))
    fs::permissions(directory_, fs::perms::owner_all, fs::perm_options::replace, ec);
  if (ec) return false;
  const fs::path record = directory_ / std::to_string(pid);
  fs::path temporary = record;
  temporary += ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << pid << ' ' << state.startTime << '\n';
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      return false;
    }
  }
  fs::rename(temporary, record, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

void InstanceRegistry::withdraw(std::int32_t pid) {
  std::error_code ec;
  fs::remove(directory_ / std::to_string(pid), ec);
}

std::optional<unsigned long long> InstanceRegistry::liveStartTime(std::int32_t pid) {
  if (pid <= 0) return std::nullopt;
  const auto recorded = recordedStartTime(directory_ / std::to_string(pid), pid);
  if (!recorded) return std::nullopt;
  const auto state = processState(pid);
  if (!state.running || state.startTime != *recorded) return std::nullopt;
  return recorded;
}

bool InstanceRegistry::isLive(std::int32_t pid) {
  return liveStartTime(pid).has_value();
}

bool InstanceRegistry::startedBefore(std::int32_t pid, std::int32_t other) {
  if (pid == other) return false;
  const auto mine = liveStartTime(pid);
  const auto theirs = liveStartTime(other);
  if (!mine || !theirs) return false;
  return *mine != *theirs ? *mine < *theirs : pid < other;
}

std::vector<std::int32_t> InstanceRegistry::instances() {
  std::vector<std::int32_t> pids;
  std::error_code ec;
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    const auto pid = parsePid(it->path().filename().string());
    if (!pid) continue;  // not a record (a temporary file, or something else)
    if (isLive(*pid)) {
      pids.push_back(*pid);
    } else {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
  std::sort(pids.begin(), pids.end());
  return pids;
}

bool InstanceRegistry::waitForExit(std::int32_t pid, double seconds) {
  if (pid <= 0) return true;
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return errno == ESRCH;
  pollfd p{fd, POLLIN, 0};
  const double ms = std::clamp(seconds * 1000.0, 0.0, 3600e3);
  const int ready = ::poll(&p, 1, static_cast<int>(ms));
  ::close(fd);
  return ready > 0;
}

bool InstanceRegistry::terminate(std::int32_t pid) {
  if (pid <= 0 || !isLive(pid)) return false;
  return ::kill(pid, SIGTERM) == 0;
}

}  // namespace tessaloom::platform
