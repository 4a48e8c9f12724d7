// Process entry: opens the desktop, chooses command-line or tray mode from the arguments and
// runs it.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "base/language.h"
#include "entry/cli.h"
#include "menubar/app_delegate.h"
#include "platform/desktop/desktop.h"
#include "settings/settings.h"

namespace {

using namespace tessaloom;

// Tray mode: the delegate's launch sequence, then the event loop until the program quits.
int runTray(platform::Desktop& desktop, Context& ctx) {
  platform::UiServices* ui = desktop.ui();
  if (!ui) return 2;
  auto delegate = std::make_unique<AppDelegate>(ctx, *ui);
  delegate->applicationDidFinishLaunching();
  desktop.run();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Once, before any thread of a library could ask for a text.
  language::choose();
  const auto args = entry::arguments(argc, argv);
  if (const auto answered = entry::runWithoutDesktop(args, std::cout)) return *answered;
  const bool commandLine = entry::isCommandLineMode(args);
  auto opened =
      platform::openDesktop(commandLine ? platform::RunMode::commandLine : platform::RunMode::tray);
  if (!opened) {
    std::cout << opened.error() << "\n";
    return 2;
  }
  platform::Desktop& desktop = *opened.value();
  Settings settings(desktop.defaults());
  Context ctx{desktop.windows(), settings, desktop.queue()};
  // A command's lines wait until the desktop has said how the run went: a desktop lost on the
  // way fails the command with one line, and no result is reported as if it had worked.
  std::ostringstream lines;
  int status = commandLine ? entry::runCLI(ctx, args, lines) : runTray(desktop, ctx);
  // The scene of a test run is written back at the end, after a command as on quit.
  if (auto finished = desktop.finish(); !finished) {
    std::cout << finished.error() << "\n";
    status = 2;
  } else {
    std::cout << lines.str();
  }
  std::cout.flush();
  return status;
}
