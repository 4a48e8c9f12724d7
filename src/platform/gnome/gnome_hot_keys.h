// The hot-key seam on GNOME: chords become key bindings of the Shell extension (one of its
// settings slots each), whose presses come back as a signal. Chords asked for while the
// extension is away are bound when it comes.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/gnome/shell_channel.h"
#include "platform/hot_keys.h"

namespace tessaloom::platform::gnome {

/// The Shell's accelerator for `chord` ("<Control><Alt>g"); empty for a chord it cannot carry
/// or that the extension refuses (a letter with fewer than two of Control, Alt and Super).
std::string accelerator(Chord chord);

class GnomeHotKeys final : public HotKeys {
 public:
  /// The number of bindings the extension's settings hold.
  static constexpr unsigned kSlots = 8;

  explicit GnomeHotKeys(ShellChannel& channel);
  ~GnomeHotKeys() override;

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  bool registerHotKey(HotKeyId id, Chord chord) override;
  void unregisterHotKey(HotKeyId id) override;

 private:
  // Whether the extension bound the chord; nothing when it did not answer.
  std::optional<bool> bind(HotKeyId id, Chord chord);

  ShellChannel& channel_;
  std::function<void(HotKeyId)> handler_;
  std::map<HotKeyId, Chord> wanted_;
  std::map<HotKeyId, unsigned> slots_;
  std::shared_ptr<void> subscription_, watch_;
};

}  // namespace tessaloom::platform::gnome
