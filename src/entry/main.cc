// Process entry: chooses command-line or tray mode from the arguments and runs it.
#include <iostream>
#include <memory>
#include <string>

#include "entry/cli.h"
#include "menubar/app_delegate.h"
#include "platform/desktop/desktop.h"

namespace {

using namespace tessaloom;

// Tray mode: the delegate's launch sequence, then the event loop until the program quits.
int runTray() {
  std::string error;
  auto desktop = platform::openDesktop(error, platform::RunMode::tray);
  if (!desktop) {
    std::cout << error << "\n";
    return 2;
  }
  int status = 0;
  {
    auto delegate = std::make_unique<AppDelegate>();
    delegate->applicationDidFinishLaunching();
    desktop->run();
  }
  // The scene of a test run is written back on quit, as after a command.
  if (!desktop->finish(error)) {
    std::cout << error << "\n";
    status = 2;
  }
  std::cout.flush();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = entry::filterArguments(argc, argv);
  if (!entry::isCommandLineMode(args)) return runTray();
  std::string error;
  auto desktop = platform::openDesktop(error);
  if (!desktop) {
    std::cout << error << "\n";
    return 2;
  }
  int status = entry::runCLI(args, std::cout);
  if (!desktop->finish(error)) {
    std::cout << error << "\n";
    status = 2;
  }
  std::cout.flush();
  return status;
}
