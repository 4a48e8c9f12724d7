// The global hot-key seam: key chords that reach this program whichever application is
// active. The backend maps a chord to its own key codes and modifier bits.
#pragma once

#include <cstdint>
#include <functional>

#include "base/chord.h"

namespace tessaloom::platform {

using HotKeyId = std::uint32_t;

class HotKeys {
 public:
  virtual ~HotKeys() = default;

  /// Sets the one function the backend calls, on the main thread, with the id of every
  /// registered chord that is pressed. An empty function stops the calls.
  virtual void setPressedHandler(std::function<void(HotKeyId)> handler) = 0;
  /// Reserves the chord for this program under `id`; false when the desktop refuses it
  /// (another program holds it, or the chord cannot be expressed).
  virtual bool registerHotKey(HotKeyId id, Chord chord) = 0;
  /// Gives the chord registered under `id` back; unknown ids are ignored.
  virtual void unregisterHotKey(HotKeyId id) = 0;
};

}  // namespace tessaloom::platform
