// The discovery cache: the managed windows as the last fetch saw them.
//
// Why a cache: an X round trip per window (or per property) would make a discovery cost N
// round trips. A fetch instead sends the requests for every managed window together: three
// round trips (the root's lists and monitors; the property names, geometries and translations
// of all clients; the properties they have), whatever the number of windows.
// Writes then find what they need to know of a window in memory.
//
// When windows are fetched again, so that nothing works from stale frames:
//  - every refresh() (the start of each discovery) fetches everything anew;
//  - frames() fetches the windows asked for, together in one batch;
//  - placing a window marks it stale; placing it again first fetches every stale or unknown
//    window of the batch together.
#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_facts.h"

namespace tessaloom::platform::x11 {

class WindowCache {
 public:
  explicit WindowCache(Connection& connection) : connection_(connection) {}

  /// Fetches everything anew: the start of a discovery. `meanwhile` runs once, while the server
  /// answers the first requests for the windows.
  void refresh(const std::function<void()>& meanwhile = {});
  /// False when the last fetch could not read the client lists.
  bool ok() const { return root_.ok; }

  /// The root's lists as last fetched.
  const RootFacts& root() const { return root_; }
  /// The managed windows as last fetched, in client-list order.
  const std::vector<WindowFacts>& windows() const { return windows_; }
  /// The primary monitor's top-left corner in root coordinates: the origin of global space.
  Point origin();

  /// The facts of a managed window as last fetched; nothing when it is unknown or was not
  /// readable.
  const WindowFacts* window(xcb_window_t id) const;
  /// Fetches these windows anew in one batch, keeping what it learns of known ones.
  std::vector<WindowFacts> fetch(std::span<const xcb_window_t> ids);
  /// The facts of these windows for a write: fresh ones from memory, stale or unknown ones
  /// fetched together in one batch.
  std::vector<WindowFacts> current(std::span<const xcb_window_t> ids);
  /// Marks a window written: its next write fetches it first.
  void markStale(xcb_window_t id);

  /// The number of fetches so far (whole and partial); for tests and benchmarks.
  std::size_t fetchCount() const { return fetches_; }

 private:
  Connection& connection_;
  bool fetched_ = false;
  RootFacts root_;
  std::vector<WindowFacts> windows_;  // the clients, in client-list order
  std::unordered_map<xcb_window_t, std::size_t> index_;
  std::vector<xcb_window_t> stale_;
  std::size_t fetches_ = 0;
};

}  // namespace tessaloom::platform::x11
