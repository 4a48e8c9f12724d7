// Installed applications as desktop entries: the index read through GIO, which entry a window
// belongs to, and launching an entry. No X11 calls here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaloom::platform::x11 {

struct DesktopEntry {
  std::string id;              // the file name without ".desktop"
  std::string name;            // Name, localized for the current locale
  std::string startupWMClass;  // empty when the entry has none
};

/// A read-only lookup of desktop entries. The first entry with an id or a StartupWMClass wins,
/// so the user's entries shadow the system's as the XDG order says.
class DesktopEntryIndex {
 public:
  DesktopEntryIndex() = default;
  explicit DesktopEntryIndex(std::vector<DesktopEntry> entries);

  /// The entries of the XDG data directories as GIO sees them, read once per process.
  static const DesktopEntryIndex& installed();

  /// The entry with this id; nothing when there is none.
  const DesktopEntry* find(std::string_view id) const;
  /// The entry whose StartupWMClass is exactly `wmClass`; nothing when there is none.
  const DesktopEntry* findByStartupWMClass(std::string_view wmClass) const;

 private:
  std::vector<DesktopEntry> entries_;
  std::unordered_map<std::string, std::size_t> byId_;
  std::unordered_map<std::string, std::size_t> byWMClass_;
};

/// What a window says about its application (all UTF-8; empty when the window has none).
struct WindowClassHints {
  std::string gtkApplicationId;
  std::string instance;  // WM_CLASS instance
  std::string wmClass;   // WM_CLASS class
};

struct AppIdentity {
  std::optional<std::string> identifier;
  std::optional<std::string> name;
};

/// The application identity of a window: the desktop entry found by the GTK application id,
/// then by StartupWMClass (instance, then class), then by an entry named after the instance
/// or class (as is, then lowercased with spaces as "-"); its id and localized name. Without an
/// entry, the class lowercased (spaces as "-") and the class as the name; without any hint,
/// no identifier and no name.
AppIdentity identifyApplication(const DesktopEntryIndex& index, const WindowClassHints& hints);

/// The path of the installed entry `id`; nothing when it is not installed or `id` is not a
/// plain desktop-file id.
std::optional<std::string> desktopEntryPath(std::string_view id);

/// Starts the entry at `path` (a file path or file: URI) on `display` without waiting for it;
/// false when the entry cannot be read or started.
bool launchDesktopEntry(std::string_view path, const std::string& display);

}  // namespace tessaloom::platform::x11
