// The tray application's version text, read through the installation service.
#pragma once

#include <string>

#include "platform/installation.h"

namespace tessaloom::Installer {

/// The program's version; "-" when it has none.
std::string version(platform::Installation& installation);

}  // namespace tessaloom::Installer
