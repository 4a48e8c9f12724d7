#include "platform/posix/posix_installation.h"

#include <filesystem>
#include <system_error>

namespace tessaloom::platform {

std::string PosixInstallation::executablePath() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

}  // namespace tessaloom::platform
