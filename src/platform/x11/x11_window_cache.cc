#include "platform/x11/x11_window_cache.h"

#include <algorithm>

namespace tessaloom::platform::x11 {

void WindowCache::refresh(const std::function<void()>& meanwhile) {
  ++fetches_;
  fetched_ = true;
  root_ = fetchRootFacts(connection_);
  windows_.clear();
  index_.clear();
  stale_.clear();
  if (root_.ok)
    windows_ = fetchWindowFacts(connection_, root_.clients, root_.rootSize, meanwhile);
  else if (meanwhile)
    meanwhile();
  for (std::size_t i = 0; i < windows_.size(); ++i) index_.emplace(windows_[i].id, i);
}

Point WindowCache::origin() {
  if (!fetched_) refresh();
  return root_.origin;
}

const WindowFacts* WindowCache::window(xcb_window_t id) const {
  auto it = index_.find(id);
  if (it == index_.end()) return nullptr;
  const WindowFacts& facts = windows_[it->second];
  return facts.status == WindowFacts::Status::ok ? &facts : nullptr;
}

std::vector<WindowFacts> WindowCache::fetch(std::span<const xcb_window_t> ids) {
  if (ids.empty()) return {};
  if (!fetched_) refresh();
  ++fetches_;
  auto fresh = fetchWindowFacts(connection_, ids, root_.rootSize);
  for (const auto& facts : fresh) {
    std::erase(stale_, facts.id);
    if (auto it = index_.find(facts.id); it != index_.end()) windows_[it->second] = facts;
  }
  return fresh;
}

std::vector<WindowFacts> WindowCache::current(std::span<const xcb_window_t> ids) {
  std::vector<xcb_window_t> missing;
  for (const xcb_window_t id : ids)
    if (!window(id) || std::find(stale_.begin(), stale_.end(), id) != stale_.end())
      missing.push_back(id);
  const auto fetched = fetch(missing);
  std::vector<WindowFacts> facts;
  facts.reserve(ids.size());
  for (const xcb_window_t id : ids) {
    auto it = std::find_if(fetched.begin(), fetched.end(),
                           [&](const WindowFacts& f) { return f.id == id; });
    facts.push_back(it != fetched.end() ? *it : *window(id));
  }
  return facts;
}

void WindowCache::markStale(xcb_window_t id) {
  if (std::find(stale_.begin(), stale_.end(), id) == stale_.end()) stale_.push_back(id);
}

}  // namespace tessaloom::platform::x11
