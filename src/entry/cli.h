// The command-line mode: argument filtering, mode selection and the one-shot commands. Talks
// to the desktop only through the arrangement operations and the window layer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tessaloom::entry {

/// The arguments without the program path and without the system's own launch options
/// (words beginning with "-NS" or "-Apple"; a value that follows such a word stays).
std::vector<std::string> filterArguments(int argc, const char* const* argv);
/// Command-line mode exactly when the first argument begins with "--".
bool isCommandLineMode(const std::vector<std::string>& args);
/// Runs one command, printing its lines on `out`; returns the exit status (0, 1 or 2).
int runCLI(const std::vector<std::string>& args, std::ostream& out);

}  // namespace tessaloom::entry
