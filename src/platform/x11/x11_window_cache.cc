#include "platform/x11/x11_window_cache.h"

#include <algorithm>

namespace tessaloom::platform::x11 {

WindowCache::WindowCache(Connection& connection, const DesktopEntryIndex& entries)
    : connection_(connection), entries_(entries) {}

void WindowCache::refresh() {
  ++fetches_;
  fetched_ = true;
  root_ = fetchRootFacts(connection_);
  windows_.clear();
  index_.clear();
  stale_.clear();
  if (root_.ok) windows_ = fetchWindowFacts(connection_, root_.clients);
  for (std::size_t i = 0; i < windows_.size(); ++i) index_.emplace(windows_[i].id, i);
  applications_ = groupApplications(windows_, entries_, pids_, root_.currentDesktop);
  // Taken after the fetch: a slow server must not make the fresh result look old at once.
  fetchedAt_ = Clock::now();
  const auto now = fetchedAt_;
  std::erase_if(requested_, [&](const auto& entry) {
    return !index_.count(entry.first) || now - entry.second.at > kRequestMemory;
  });
}

void WindowCache::ensureFresh() {
  if (!fetched_ || Clock::now() - fetchedAt_ > lifetime_) refresh();
}

void WindowCache::refetchStale() {
  if (stale_.empty()) return;
  ++fetches_;
  auto fresh = fetchWindowFacts(connection_, stale_);
  for (auto& facts : fresh) {
    auto it = index_.find(facts.id);
    if (it != index_.end()) windows_[it->second] = std::move(facts);
  }
  stale_.clear();
}

bool WindowCache::ok() {
  ensureFresh();
  return root_.ok;
}

const std::vector<Application>& WindowCache::applications() {
  ensureFresh();
  return applications_;
}

const Application* WindowCache::application(std::int32_t pid) {
  ensureFresh();
  for (const auto& app : applications_)
    if (app.pid == pid) return &app;
  return nullptr;
}

const Application* WindowCache::frontmost() {
  ensureFresh();
  auto owner = [&](xcb_window_t w) -> const Application* {
    for (const auto& app : applications_)
      if (std::find(app.windows.begin(), app.windows.end(), w) != app.windows.end()) return &app;
    return nullptr;
  };
  if (root_.active != XCB_WINDOW_NONE)
    if (const Application* app = owner(root_.active)) return app;
  for (auto it = root_.stacking.rbegin(); it != root_.stacking.rend(); ++it)
    if (const Application* app = owner(*it)) return app;
  return nullptr;
}

Point WindowCache::origin() {
  ensureFresh();
  return root_.origin;
}

const WindowFacts* WindowCache::readable(xcb_window_t id) const {
  auto it = index_.find(id);
  if (it == index_.end()) return nullptr;
  const WindowFacts& facts = windows_[it->second];
  return facts.status == WindowFacts::Status::ok ? &facts : nullptr;
}

const WindowFacts* WindowCache::window(xcb_window_t id) {
  ensureFresh();
  if (std::find(stale_.begin(), stale_.end(), id) != stale_.end()) refetchStale();
  return readable(id);
}

const WindowFacts* WindowCache::lastKnown(xcb_window_t id) {
  ensureFresh();
  return readable(id);
}

void WindowCache::markStale(xcb_window_t id) {
  if (index_.count(id) && std::find(stale_.begin(), stale_.end(), id) == stale_.end())
    stale_.push_back(id);
}

std::optional<Rect> WindowCache::requestedFrame(xcb_window_t id) {
  auto it = requested_.find(id);
  if (it == requested_.end()) return std::nullopt;
  if (Clock::now() - it->second.at > kRequestMemory) {
    requested_.erase(it);
    return std::nullopt;
  }
  return it->second.frame;
}

void WindowCache::setRequestedFrame(xcb_window_t id, const Rect& frame) {
  requested_[id] = {frame, Clock::now()};
}

void WindowCache::forgetRequestedFrame(xcb_window_t id) {
  requested_.erase(id);
}

}  // namespace tessaloom::platform::x11
