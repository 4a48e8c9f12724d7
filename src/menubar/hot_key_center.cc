#include "menubar/hot_key_center.h"

#include <utility>

#include "platform/main_queue.h"
#include "platform/services.h"

namespace tessaloom {

HotKeyCenter& HotKeyCenter::shared() {
  static HotKeyCenter* center = new HotKeyCenter();  // never destroyed: keys stay registered
  return *center;
}

HotKeyCenter::HotKeyCenter(platform::HotKeys* keys, platform::MainQueue* queue)
    : keys_(keys), queue_(queue) {}

HotKeyCenter::~HotKeyCenter() {
  if (!installed_) return;
  auto& k = keys();
  k.setPressedHandler(nullptr);
  for (const auto& [id, handler] : state_->handlers) k.unregisterHotKey(id);
}

platform::HotKeys& HotKeyCenter::keys() const {
  return keys_ ? *keys_ : *platform::services().hotKeys;
}

void HotKeyCenter::installHandlerIfNeeded() {
  if (installed_) return;
  installed_ = true;
  // The press only queues the lookup, so the handler runs after the key event is done; an
  // unknown id (0 included) finds nothing.
  std::weak_ptr<State> weak = state_;
  platform::MainQueue* fixed = queue_;
  keys().setPressedHandler([weak, fixed](platform::HotKeyId id) {
    auto& q = fixed ? *fixed : *platform::services().mainQueue;
    q.async([weak, id] {
      auto state = weak.lock();
      if (!state) return;
      auto it = state->handlers.find(id);
      if (it == state->handlers.end()) return;
      auto handler = it->second;  // a copy: the handler may register further keys
      handler();
    });
  });
}

bool HotKeyCenter::registerHotKey(std::int32_t keyCode, std::uint32_t modifiers,
                                  std::function<void()> handler) {
  installHandlerIfNeeded();
  const auto id = static_cast<platform::HotKeyId>(state_->handlers.size() + 1);
  if (!keys().registerHotKey(id, keyCode, modifiers)) return false;
  state_->handlers[id] = std::move(handler);
  return true;
}

}  // namespace tessaloom
