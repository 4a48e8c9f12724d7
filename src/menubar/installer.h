// Install housekeeping of the tray application: its version text, ending other running copies,
// and the offer to move an application bundle started from elsewhere into the Applications
// folder. Reaches files and processes only through the installation service.
#pragma once

#include <string>

namespace tessaloom::Installer {

/// The short version string of the program's bundle; "-" when it has none.
std::string version();
/// Asks every running copy of this program that started before this one to quit; never this
/// process, never a copy started later.
void quitOtherInstances();
/// Offers the move when running from a bundle outside both Applications folders. True only
/// when a copy has been installed and started and this instance is quitting; false in every
/// other case (the caller goes on with its launch).
bool moveToApplicationsIfNeeded();

}  // namespace tessaloom::Installer
