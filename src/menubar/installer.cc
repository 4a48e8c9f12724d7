#include "menubar/installer.h"

namespace tessaloom::Installer {

std::string version(platform::Installation& installation) {
  std::string value = installation.version();
  return value.empty() ? "-" : value;
}

}  // namespace tessaloom::Installer
