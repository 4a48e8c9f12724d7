// The installation seam: this program's version as the installed program knows it.
#pragma once

#include <string>

namespace tessaloom::platform {

class Installation {
 public:
  virtual ~Installation() = default;

  /// The program's version ("0.1.0"); empty when unknown.
  virtual std::string version() = 0;
};

}  // namespace tessaloom::platform
