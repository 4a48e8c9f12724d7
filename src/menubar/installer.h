// Install housekeeping of the tray application: its version text, ending older running copies,
// and the offer to move a self-contained package started from elsewhere into an install
// folder. Reaches files and processes only through the installation service.
#pragma once

#include <string>

#include "platform/ui_services.h"

namespace tessaloom::Installer {

/// The program's version; "-" when it has none.
std::string version(platform::Installation& installation);
/// Asks every running copy of this program that started before this one to quit.
void quitOlderCopies(platform::Installation& installation);
/// Offers the move when the program runs from a package outside every install folder. True
/// only when a copy has been installed and started and this instance is quitting; false in
/// every other case (the caller goes on with its launch).
bool moveToApplicationsIfNeeded(platform::UiServices& ui);

}  // namespace tessaloom::Installer
