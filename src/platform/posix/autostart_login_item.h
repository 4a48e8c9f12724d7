// The login item on Linux: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/tessaloom.desktop.
// The item is on while that file exists and is not marked Hidden=true.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/login_item.h"

namespace tessaloom::platform {

class AutostartLoginItem final : public LoginItem {
 public:
  /// An item that starts `executable` (an absolute path) at login.
  explicit AutostartLoginItem(std::string executable) : executable_(std::move(executable)) {}

  /// The entry's path: under $XDG_CONFIG_HOME when that is an absolute path, else under
  /// $HOME/.config; nothing when neither is usable.
  static std::optional<std::filesystem::path> entryPath();
  /// The text of the entry for `executable`.
  static std::string entryText(const std::string& executable);

  /// Whether the entry exists and is not hidden.
  bool enabled() override;
  /// On: writes the entry (replacing a hidden one) in one step, so a reader never sees half
  /// of it. Off: removes the entry; an absent entry is no error.
  Outcome setEnabled(bool enabled) override;

 private:
  std::string executable_;
};

}  // namespace tessaloom::platform
