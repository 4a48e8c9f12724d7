// The installation seam: where this program runs from, its bundle information, the file and
// process services that install housekeeping needs, and the other running copies of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/defaults_store.h"

namespace tessaloom::platform {

class Installation {
 public:
  virtual ~Installation() = default;

  /// The application bundle this program runs from; empty when it runs from none (always so
  /// on Linux, where a program is a plain executable).
  virtual std::string bundlePath() = 0;
  /// The bundle's identifier; nothing when it has none.
  virtual std::optional<std::string> bundleIdentifier() = 0;
  /// A value of the bundle's information dictionary; nothing when absent.
  virtual std::optional<DefaultsValue> infoValue(std::string_view key) = 0;
  /// The user's home directory, without a trailing slash.
  virtual std::string homeDirectory() = 0;

  virtual bool fileExists(std::string_view path) = 0;
  /// Moves the item at `path` to the trash; false, with a one-line reason in `error`, on
  /// failure.
  virtual bool trashItem(std::string_view path, std::string& error) = 0;
  /// Copies a file or a whole folder; false, with a one-line reason in `error`, on failure
  /// (`from` stays as it was either way).
  virtual bool copyItem(std::string_view from, std::string_view to, std::string& error) = 0;
  /// Starts a child process without waiting for it; false when it cannot be started.
  virtual bool launch(std::string_view executable, const std::vector<std::string>& arguments) = 0;

  /// The process ids of the running copies of the application with this identifier, this
  /// process included when it is one.
  virtual std::vector<std::int32_t> runningInstances(std::string_view bundleIdentifier) = 0;
  /// Whether the running copy `pid` started before this process: by start time, and by pid
  /// between copies started within the same clock tick, so of two copies exactly one counts
  /// as the earlier. False for this process and for anything that is no running copy.
  virtual bool startedBeforeThisProcess(std::int32_t pid) = 0;
  /// Asks a running copy to quit politely; the outcome is not reported.
  virtual void terminate(std::int32_t pid) = 0;
};

}  // namespace tessaloom::platform
