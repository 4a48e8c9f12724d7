// Installed applications as desktop entries: the index read from the XDG data directories,
// which entry a window belongs to, and launching an entry. No X11 calls here.
//
// The index is read with GLib's key-file parser, not through GIO: loading GIO and letting it
// build its application list (file monitors, MIME caches, a path search for every entry) costs
// a command several times what the rest of a listing does. GIO is loaded only to start an
// application.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/window_system.h"

namespace tessaloom::platform::xdg {

struct DesktopEntry {
  std::string id;              // the file name without ".desktop"
  std::string name;            // Name, localized for the current locale
  std::string startupWMClass;  // empty when the entry has none
  std::string path{};          // the file; empty for entries made in memory
  std::string tryExec{};       // TryExec, empty when absent
  std::string exec{};          // Exec, empty when absent
};

/// A read-only lookup of desktop entries. The first entry with an id or a StartupWMClass wins,
/// so the user's entries shadow the system's as the XDG order says. As with GIO, an entry
/// whose TryExec or Exec program cannot be found is not installed; that is checked only when
/// the entry is looked up. Only files that name a StartupWMClass are parsed up front; any other
/// when it is first looked up by id (most of a machine's entries never are).
class DesktopEntryIndex {
 public:
  DesktopEntryIndex() = default;
  explicit DesktopEntryIndex(std::vector<DesktopEntry> entries);

  /// The application entries of the XDG data directories (user first), read once per process.
  static const DesktopEntryIndex& installed();
  /// The application entries under `dataDirectories`, in that order of precedence: a file in
  /// an earlier directory hides every file with the same id in later ones, also when it is
  /// hidden itself (Hidden=true) or no application. Unreadable files are left out.
  static DesktopEntryIndex read(const std::vector<std::filesystem::path>& dataDirectories);

  /// The entry with this id; nothing when there is none.
  const DesktopEntry* find(std::string_view id) const;
  /// The entry whose StartupWMClass is exactly `wmClass`; nothing when there is none.
  const DesktopEntry* findByStartupWMClass(std::string_view wmClass) const;

 private:
  // One file that holds an id, and what it was found to hold.
  struct Slot {
    std::string id, path;
    bool read = false;                  // parsed, or made in memory
    std::optional<DesktopEntry> entry;  // when read: nothing for no application entry
    signed char usable = -1;            // -1 not checked yet, 0 no, 1 yes
  };
  void add(Slot slot);
  const DesktopEntry* usable(std::size_t index) const;

  mutable std::vector<Slot> slots_;
  std::unordered_map<std::string, std::size_t> byId_;
  std::unordered_map<std::string, std::vector<std::size_t>> byWMClass_;
};

/// What a window says about its application (all UTF-8; empty when the window has none).
struct WindowClassHints {
  std::string gtkApplicationId;
  std::string instance;  // WM_CLASS instance
  std::string wmClass;   // WM_CLASS class
};

/// The application identity of a window: the desktop entry found by the GTK application id,
/// then by StartupWMClass (instance, then class), then by an entry named after the instance
/// or class (as is, then lowercased with spaces as "-"); its id and localized name. Without an
/// entry, the class lowercased (spaces as "-") and the class as the name; without any hint,
/// no identifier and no name. The process id is left to the caller.
AppIdentity identifyApplication(const DesktopEntryIndex& index, const WindowClassHints& hints);

/// The path of the installed entry `id`; nothing when it is not installed or `id` is not a
/// plain desktop-file id.
std::optional<std::string> desktopEntryPath(std::string_view id);

/// Starts the entry at `path` (a file path or file: URI) on `display` without waiting for it,
/// with none of this process's standard streams; false when GIO, the entry or the program
/// cannot be loaded or started.
bool launchDesktopEntry(std::string_view path, const std::string& display);

}  // namespace tessaloom::platform::xdg
