// System-wide hot keys for the tray application: registration under dense ids from 1 and the
// hand-off of every press to the main queue. Knows nothing of what the handlers do.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/hot_keys.h"

namespace tessaloom {
namespace platform {
class MainQueue;
}

class HotKeyCenter {
 public:
  /// Control+Option, the modifiers of every hot key of the program.
  static constexpr std::uint32_t controlOption = platform::kHotKeyControl | platform::kHotKeyOption;

  /// The instance over the installed services, made on first use and never destroyed.
  static HotKeyCenter& shared();
  /// An instance over `keys` and `queue`; null means the installed service at each call.
  explicit HotKeyCenter(platform::HotKeys* keys = nullptr, platform::MainQueue* queue = nullptr);
  /// Gives back every combination this instance registered.
  ~HotKeyCenter();
  HotKeyCenter(const HotKeyCenter&) = delete;
  HotKeyCenter& operator=(const HotKeyCenter&) = delete;

  /// Registers the combination under the next id (the number of registered keys plus 1) and
  /// runs `handler` on the main queue after each press. False when the platform refuses it:
  /// nothing is kept, and the next registration gets the same id.
  bool registerHotKey(std::int32_t keyCode, std::uint32_t modifiers, std::function<void()> handler);
  /// The number of registered keys.
  std::size_t count() const { return state_->handlers.size(); }

 private:
  // Shared with the queued presses, which may outlive the instance.
  struct State {
    std::map<platform::HotKeyId, std::function<void()>> handlers;
  };

  platform::HotKeys& keys() const;
  void installHandlerIfNeeded();

  platform::HotKeys* keys_;
  platform::MainQueue* queue_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  bool installed_ = false;
};

}  // namespace tessaloom
