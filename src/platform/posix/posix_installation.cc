#include "platform/posix/posix_installation.h"

#include <spawn.h>

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

}  // namespace tessaloom::platform
