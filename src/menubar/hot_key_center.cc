#include "menubar/hot_key_center.h"

#include <utility>

namespace tessaloom {

HotKeyCenter::~HotKeyCenter() {
  if (!installed_) return;
  keys_.setPressedHandler(nullptr);
  for (const auto& [id, handler] : state_->handlers) keys_.unregisterHotKey(id);
}

void HotKeyCenter::installHandlerIfNeeded() {
  if (installed_) return;
  installed_ = true;
  // The press only queues the lookup, so the handler runs after the key event is done; an
  // unknown id (0 included) finds nothing.
  std::weak_ptr<State> weak = state_;
  platform::MainQueue& queue = queue_;
  keys_.setPressedHandler([weak, &queue](platform::HotKeyId id) {
    queue.async([weak, id] {
      auto state = weak.lock();
      if (!state) return;
      auto it = state->handlers.find(id);
      if (it == state->handlers.end()) return;
      auto handler = it->second;  // a copy: the handler may register further keys
      handler();
    });
  });
}

bool HotKeyCenter::registerHotKey(Chord chord, std::function<void()> handler) {
  installHandlerIfNeeded();
  const auto id = static_cast<platform::HotKeyId>(state_->handlers.size() + 1);
  if (!keys_.registerHotKey(id, chord)) return false;
  state_->handlers[id] = std::move(handler);
  return true;
}

}  // namespace tessaloom
