// The about-panel seam: the platform's standard "about this program" dialog.
#pragma once

#include <string>

namespace tessaloom::platform {

struct AboutInfo {
  std::string applicationName;
  std::string version;
  /// One short paragraph shown under the version, in the system font at `creditsFontSize`.
  std::string credits;
  double creditsFontSize = 11;
  friend bool operator==(const AboutInfo&, const AboutInfo&) = default;
};

class AboutPanel {
 public:
  virtual ~AboutPanel() = default;

  /// Opens (or raises) the about dialog; returns at once.
  virtual void show(const AboutInfo& info) = 0;
};

}  // namespace tessaloom::platform
