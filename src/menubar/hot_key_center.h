// System-wide hot keys for the tray application: registration under dense ids from 1 and the
// hand-off of every press to the main queue. Knows nothing of what the handlers do.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>

#include "base/chord.h"
#include "platform/hot_keys.h"
#include "platform/main_queue.h"

namespace tessaloom {

class HotKeyCenter {
 public:
  HotKeyCenter(platform::HotKeys& keys, platform::MainQueue& queue) : keys_(keys), queue_(queue) {}
  /// Gives back every chord this instance registered.
  ~HotKeyCenter();
  HotKeyCenter(const HotKeyCenter&) = delete;
  HotKeyCenter& operator=(const HotKeyCenter&) = delete;

  /// Registers the chord under the next id (the number of registered keys plus 1) and runs
  /// `handler` on the main queue after each press. False when the desktop refuses it: nothing
  /// is kept, and the next registration gets the same id.
  bool registerHotKey(Chord chord, std::function<void()> handler);
  /// The number of registered keys.
  std::size_t count() const { return state_->handlers.size(); }

 private:
  // Shared with the queued presses, which may outlive the instance.
  struct State {
    std::map<platform::HotKeyId, std::function<void()>> handlers;
  };

  void installHandlerIfNeeded();

  platform::HotKeys& keys_;
  platform::MainQueue& queue_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  bool installed_ = false;
};

}  // namespace tessaloom
