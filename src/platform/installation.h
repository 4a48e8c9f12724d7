// The installation seam: this program's version, the self-contained package it may run from
// and the folders where such packages belong, the file services that moving one into place
// needs, and the other running copies of the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tessaloom::platform {

class Installation {
 public:
  virtual ~Installation() = default;

  /// The program's version ("0.1.0"); empty when unknown.
  virtual std::string version() = 0;
  /// The self-contained package this program runs from, which could be moved into one of
  /// installFolders(); empty when it runs from none (always so on Linux).
  virtual std::string packagePath() = 0;
  /// The folders packages are installed in, each ending in '/', the system's first.
  virtual std::vector<std::string> installFolders() = 0;

  virtual bool fileExists(std::string_view path) = 0;
  /// Moves the item at `path` to the trash.
  virtual Outcome trashItem(std::string_view path) = 0;
  /// Copies a package; `from` stays as it was either way.
  virtual Outcome copyItem(std::string_view from, std::string_view to) = 0;
  /// Starts the package at `path` as a new copy of the program; the outcome is not reported.
  virtual void openCopy(std::string_view path) = 0;

  /// The running copies of this program that started before this one (never this process).
  virtual std::vector<std::int32_t> olderCopies() = 0;
  /// Asks a running copy to quit politely, and waits a little for it to go, so that what it
  /// holds (hot keys, the tray icon) is free for this copy.
  virtual void quitCopy(std::int32_t pid) = 0;
};

}  // namespace tessaloom::platform
