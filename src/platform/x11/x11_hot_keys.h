// Global hot keys on X11: passive key grabs on the root window over a connection of their own,
// watched from the GLib main loop. Touches nothing but its grabs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/glib/fd_watch.h"
#include "platform/hot_keys.h"

typedef struct xcb_connection_t xcb_connection_t;
typedef struct _XCBKeySymbols xcb_key_symbols_t;

namespace tessaloom::platform {

class X11HotKeys final : public HotKeys {
 public:
  /// Connects to the display named by `display` (DISPLAY when empty) and watches the connection
  /// from GLib's default main context. Fails, with one line saying why, when no X server
  /// answers.
  static Result<std::unique_ptr<X11HotKeys>> connect(const std::string& display = {});
  /// Gives every grab back and closes the connection.
  ~X11HotKeys() override;
  X11HotKeys(const X11HotKeys&) = delete;
  X11HotKeys& operator=(const X11HotKeys&) = delete;

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  /// Grabs the letter's key with every combination of Caps Lock and Num Lock. False, with no
  /// grab left behind, when another client holds any of them, when this program already holds
  /// the chord or the id, or when the letter or a modifier has no X equivalent.
  bool registerHotKey(HotKeyId id, Chord chord) override;
  void unregisterHotKey(HotKeyId id) override;

  /// The X modifier bits of chord modifiers; nothing when a bit has no X equivalent.
  static std::optional<std::uint16_t> xModifiers(std::uint32_t modifiers);
  /// Reads and handles every event waiting on the connection (the main loop does this when
  /// the connection becomes readable). False once the connection is lost.
  bool dispatch();

 private:
  struct Registration {
    HotKeyId id;
    Chord chord;
    std::uint16_t xMods;
    std::vector<std::uint8_t> keycodes;  // the grabbed key codes
  };

  explicit X11HotKeys(xcb_connection_t* connection);
  // The key codes the keyboard produces the letter with; empty when none.
  std::vector<std::uint8_t> keycodesFor(char letter);
  // The modifier bit Num Lock sits on (0 when none).
  std::uint16_t findNumLock();
  std::vector<std::uint16_t> lockVariants() const;
  // Grabs every variant of every code; on any failure ungrabs what it took and returns false.
  bool grab(const std::vector<std::uint8_t>& keycodes, std::uint16_t mods);
  void ungrab(const std::vector<std::uint8_t>& keycodes, std::uint16_t mods);
  // After a keyboard mapping change: the same combinations on the new key codes.
  void regrabAll();

  xcb_connection_t* connection_;
  xcb_key_symbols_t* symbols_;
  std::uint32_t root_;
  std::uint16_t numLock_ = 0;
  std::unique_ptr<glib::FdWatch> fd_;
  std::vector<Registration> registrations_;
  std::function<void(HotKeyId)> handler_;
};

}  // namespace tessaloom::platform
