// The global hot-key seam: system-wide key combinations that reach this program whichever
// application is active. Keys are named by their virtual key codes on the ANSI layout and
// modifiers by the mask below; the backend maps both to its own key codes and modifier bits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tessaloom::platform {

using HotKeyId = std::uint32_t;

/// Modifier bits of a hot key.
enum HotKeyModifier : std::uint32_t {
  kHotKeyCommand = 0x100,
  kHotKeyShift = 0x200,
  kHotKeyOption = 0x800,  // Alt
  kHotKeyControl = 0x1000,
};

/// The letter ('a' to 'z') that an ANSI virtual key code stands for; nothing for other codes.
std::optional<char> hotKeyLetter(std::int32_t virtualKeyCode);

class HotKeys {
 public:
  virtual ~HotKeys() = default;

  /// Sets the one function the backend calls, on the main thread, with the id of every
  /// registered combination that is pressed (0 when the id cannot be read). An empty function
  /// stops the calls.
  virtual void setPressedHandler(std::function<void(HotKeyId)> handler) = 0;
  /// Reserves the combination for this program under `id`; false when the system refuses it
  /// (another program holds it, or the key or modifiers cannot be expressed).
  virtual bool registerHotKey(HotKeyId id, std::int32_t virtualKeyCode,
                              std::uint32_t modifiers) = 0;
  /// Gives the combination registered under `id` back; unknown ids are ignored.
  virtual void unregisterHotKey(HotKeyId id) = 0;
};

}  // namespace tessaloom::platform
