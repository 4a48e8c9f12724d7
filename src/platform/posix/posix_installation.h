// The installation service on Linux: the program is a plain executable (never a package that
// could be moved into place), its version is the build's, and the other running tray copies
// come from the per-user instance registry.
#pragma once

#include <optional>
#include <string>

#include "platform/installation.h"
#include "platform/posix/instance_registry.h"

namespace tessaloom::platform {

class PosixInstallation final : public Installation {
 public:
  /// The absolute path of the running executable; empty when it cannot be read.
  static std::string executablePath();

  /// Over `registry`; without one no other copy is ever found.
  explicit PosixInstallation(std::optional<InstanceRegistry> registry)
      : registry_(std::move(registry)) {}
  /// Withdraws this process's record when enrollThisProcess() made one.
  ~PosixInstallation() override;
  PosixInstallation(const PosixInstallation&) = delete;
  PosixInstallation& operator=(const PosixInstallation&) = delete;

  /// Records this process as a running tray copy, so later copies find it; false when there is
  /// no registry or the record cannot be written.
  bool enrollThisProcess();

  /// The build's version.
  std::string version() override { return TESSALOOM_VERSION; }
  std::string packagePath() override { return {}; }
  std::vector<std::string> installFolders() override { return {}; }
  bool fileExists(std::string_view path) override;
  /// Always a failure: moving to the trash needs the desktop's file services, which this
  /// backend does not have (and never needs, as it runs from no package).
  Outcome trashItem(std::string_view path) override;
  Outcome copyItem(std::string_view from, std::string_view to) override;
  void openCopy(std::string_view path) override;
  /// The live recorded copies that started before this process.
  std::vector<std::int32_t> olderCopies() override;
  /// Sends the request to a live recorded copy and waits, at most kQuitWaitSeconds, for it to
  /// end: until then it still holds what this copy is about to take over (its hot keys, its
  /// tray icon).
  void quitCopy(std::int32_t pid) override;

  static constexpr double kQuitWaitSeconds = 3.0;

 private:
  std::optional<InstanceRegistry> registry_;
  bool enrolled_ = false;
};

}  // namespace tessaloom::platform
