// Global hot keys on sway: chords bound at run time to a "nop" command that names this program
// and the chord's id, and the binding events of a second connection, watched from the GLib
// main loop. A chord the user's configuration binds is left to it, and only the bindings made
// here are removed again when this object goes. (i3 binds keys only from
// its configuration file; on i3 the X11 key grabs serve.)
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/hot_keys.h"

namespace tessaloom::platform {

namespace i3ipc {
class EventWatch;
class IpcSocket;
}  // namespace i3ipc

class I3HotKeys final : public HotKeys {
 public:
  /// Opens the command and the event connection to the socket at `path` and subscribes to
  /// binding events. Fails, with one line saying why, when the socket does not answer.
  static Result<std::unique_ptr<I3HotKeys>> connect(const std::string& path);
  /// Removes every binding this object made.
  ~I3HotKeys() override;
  I3HotKeys(const I3HotKeys&) = delete;
  I3HotKeys& operator=(const I3HotKeys&) = delete;

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  /// False when the id or the chord is taken here or by the user's configuration, the chord
  /// has no sway name, or sway refuses the binding.
  bool registerHotKey(HotKeyId id, Chord chord) override;
  void unregisterHotKey(HotKeyId id) override;

  /// The key combination as sway's bindsym names it ("Ctrl+Mod1+g"); nothing for a chord
  /// without a letter.
  static std::optional<std::string> bindingName(Chord chord);
  /// The id that a binding event's payload names, when the binding is one of this program's.
  static std::optional<HotKeyId> pressedId(const std::string& payload);

 private:
  I3HotKeys() = default;

  std::unique_ptr<i3ipc::IpcSocket> commands_;
  std::unique_ptr<i3ipc::EventWatch> events_;
  std::map<HotKeyId, std::string> bound_;  // id → binding name
  std::vector<Chord> taken_;               // bound by the user's configuration
  std::function<void(HotKeyId)> handler_;
};

}  // namespace tessaloom::platform
