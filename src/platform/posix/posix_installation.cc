#include "platform/posix/posix_installation.h"

#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

extern char** environ;

namespace tessaloom::platform {

namespace fs = std::filesystem;

std::string PosixInstallation::executablePath() {
  std::error_code ec;
  const auto path = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

PosixInstallation::~PosixInstallation() {
  if (enrolled_) registry_->withdraw(static_cast<std::int32_t>(::getpid()));
}

bool PosixInstallation::enrollThisProcess() {
  if (!registry_) return false;
  enrolled_ = registry_->enroll(static_cast<std::int32_t>(::getpid()));
  return enrolled_;
}

bool PosixInstallation::fileExists(std::string_view path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(fs::path(path), ec));
}

Outcome PosixInstallation::trashItem(std::string_view path) {
  return Failure{std::string(path) + ": ごみ箱に移せません"};
}

Outcome PosixInstallation::copyItem(std::string_view from, std::string_view to) {
  std::error_code ec;
  fs::copy(fs::path(from), fs::path(to),
           fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) return Failure{std::string(to) + ": " + ec.message()};
  return {};
}

void PosixInstallation::openCopy(std::string_view path) {
  std::string program(path);
  char* argv[] = {program.data(), nullptr};
  pid_t child = 0;
  ::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ);
}

std::vector<std::int32_t> PosixInstallation::olderCopies() {
  std::vector<std::int32_t> older;
  if (!registry_) return older;
  const auto self = static_cast<std::int32_t>(::getpid());
  for (const std::int32_t pid : registry_->instances())
    if (registry_->startedBefore(pid, self)) older.push_back(pid);
  return older;
}

void PosixInstallation::quitCopy(std::int32_t pid) {
  if (registry_ && registry_->terminate(pid)) InstanceRegistry::waitForExit(pid, kQuitWaitSeconds);
}

}  // namespace tessaloom::platform
