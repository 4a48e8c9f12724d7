// The installation service on Linux: the program is a plain executable and its version is the
// build's.
#pragma once

#include <string>

#include "platform/installation.h"

namespace tessaloom::platform {

class PosixInstallation : public Installation {
 public:
  /// The absolute path of the running executable; empty when it cannot be read.
  static std::string executablePath();

  /// The build's version.
  std::string version() override { return TESSALOOM_VERSION; }
};

}  // namespace tessaloom::platform
