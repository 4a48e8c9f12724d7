// The installation service on Linux: the program is a plain executable (never an application
// bundle, so no move is ever offered), its version is the build's, and the other running tray
// copies come from the per-user instance registry.
#pragma once

#include <optional>
#include <string>

#include "platform/installation.h"
#include "platform/posix/instance_registry.h"

namespace tessaloom::platform {

class PosixInstallation : public Installation {
 public:
  /// The identifier under which the tray copies know each other.
  static constexpr std::string_view kIdentifier = "tessaloom";

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

  std::string bundlePath() override { return {}; }
  std::optional<std::string> bundleIdentifier() override { return std::string(kIdentifier); }
  /// "CFBundleShortVersionString" (the build's version), "CFBundleIdentifier" and
  /// "CFBundleName"; nothing for other keys.
  std::optional<DefaultsValue> infoValue(std::string_view key) override;
  /// $HOME, else the password database's entry.
  std::string homeDirectory() override;
  bool fileExists(std::string_view path) override;
  /// Always false: moving to the trash needs the desktop's file services, which this backend
  /// does not have (and never needs, as it runs from no bundle).
  bool trashItem(std::string_view path, std::string& error) override;
  bool copyItem(std::string_view from, std::string_view to, std::string& error) override;
  bool launch(std::string_view executable, const std::vector<std::string>& arguments) override;
  std::vector<std::int32_t> runningInstances(std::string_view bundleIdentifier) override;
  /// Compares the start times the registry recorded; false without a registry or a record.
  bool startedBeforeThisProcess(std::int32_t pid) override;
  /// Sends the request and waits, at most kQuitWaitSeconds, for the copy to end: until then it
  /// still holds what this copy is about to take over (its hot keys, its tray icon).
  void terminate(std::int32_t pid) override;

  static constexpr double kQuitWaitSeconds = 3.0;

 private:
  std::optional<InstanceRegistry> registry_;
  bool enrolled_ = false;
};

}  // namespace tessaloom::platform
