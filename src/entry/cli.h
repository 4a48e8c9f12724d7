// The command-line mode: mode selection and the one-shot commands. Talks to the desktop only
// through the arrangement operations and the window layer.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "windows/context.h"

namespace tessaloom::entry {

/// The arguments without the program path.
std::vector<std::string> arguments(int argc, const char* const* argv);
/// Command-line mode exactly when the first argument begins with "--".
bool isCommandLineMode(const std::vector<std::string>& args);
/// Answers "--help" and "--version", which need no desktop, on `out` with status 0; nothing for
/// any other arguments.
std::optional<int> runWithoutDesktop(const std::vector<std::string>& args, std::ostream& out);
/// Runs one command, printing its lines on `out`; returns the exit status (0, 1 or 2).
/// "--mouse" and "--per-display" choose the display mode of this run only; nothing is written
/// to the settings but the arrangements a command stores.
int runCLI(Context& ctx, const std::vector<std::string>& args, std::ostream& out);

}  // namespace tessaloom::entry
