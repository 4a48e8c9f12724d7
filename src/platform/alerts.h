// The alert seam: modal message dialogs with a message, an informative text and buttons. The
// core chooses the texts; the backend draws and runs the dialog.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaloom::platform {

struct Alert {
  std::string messageText;
  std::string informativeText;
  /// Titles, first (default) button first. Empty means the platform's single default button.
  std::vector<std::string> buttons;
  friend bool operator==(const Alert&, const Alert&) = default;
};

class Alerts {
 public:
  virtual ~Alerts() = default;

  /// Shows `alert` and blocks until it is dismissed; returns the index of the chosen button (a
  /// dialog closed without a button counts as the last one).
  virtual int runModal(const Alert& alert) = 0;
  /// Shows `alert` with a one-line text field and blocks until it is dismissed; the text when
  /// the first button was chosen, nothing otherwise.
  virtual std::optional<std::string> askForText(const Alert& alert) = 0;
};

}  // namespace tessaloom::platform
