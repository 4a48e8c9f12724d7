// The running tray copies of one user on Linux: one small file per process under
// $XDG_RUNTIME_DIR/tessaloom/, named after its pid and holding the process's start time, so a
// record whose process has ended, or whose pid now belongs to another process, is recognised
// as stale. Sends no signal to anything it cannot match to a live record.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace tessaloom::platform {

class InstanceRegistry {
 public:
  /// $XDG_RUNTIME_DIR/tessaloom; nothing when XDG_RUNTIME_DIR is unset or not an absolute path.
  static std::optional<std::filesystem::path> defaultDirectory();

  explicit InstanceRegistry(std::filesystem::path directory) : directory_(std::move(directory)) {}
  const std::filesystem::path& directory() const { return directory_; }

  /// Records the running process `pid`; false when it is not running or the record cannot be
  /// written (the folder is made, private to the user, when missing).
  bool enroll(std::int32_t pid);
  /// Removes the record of `pid`, if any.
  void withdraw(std::int32_t pid);
  /// The recorded processes that still run, in ascending order. Stale records are left out and
  /// removed.
  std::vector<std::int32_t> instances();
  /// Whether the live recorded process `pid` started before the live recorded process
  /// `other`: by recorded start time, then by pid for processes started within one clock tick
  /// (pids are handed out in ascending order). False when either has no live record, and for
  /// `pid` == `other`.
  bool startedBefore(std::int32_t pid, std::int32_t other);
  /// Sends SIGTERM to `pid` when it is a live recorded process; false otherwise.
  bool terminate(std::int32_t pid);
  /// Waits until the process `pid` has ended, at most `seconds`; true when it has (or never
  /// ran). Woken by the process's end, not by polling.
  static bool waitForExit(std::int32_t pid, double seconds);

 private:
  // Whether the record of `pid` describes the process that runs under that pid now.
  bool isLive(std::int32_t pid);
  // The recorded start time of `pid` when its record is live.
  std::optional<unsigned long long> liveStartTime(std::int32_t pid);

  std::filesystem::path directory_;
};

}  // namespace tessaloom::platform
