// The installation service on Linux: the program is a plain executable (never a package that
// could be moved into place) and its version is the build's. It knows no other running copy;
// the tray application finds those on the session bus (see gtk_tray.cc).
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
  std::string packagePath() override { return {}; }
  std::vector<std::string> installFolders() override { return {}; }
  bool fileExists(std::string_view path) override;
  /// Always a failure: moving to the trash needs the desktop's file services, which this
  /// backend does not have (and never needs, as it runs from no package).
  Outcome trashItem(std::string_view path) override;
  Outcome copyItem(std::string_view from, std::string_view to) override;
  void openCopy(std::string_view path) override;
  /// None known here.
  std::vector<std::int32_t> olderCopies() override { return {}; }
  void quitCopy(std::int32_t) override {}
};

}  // namespace tessaloom::platform
