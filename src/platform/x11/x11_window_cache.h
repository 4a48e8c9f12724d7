// The discovery cache: the managed windows and their applications as the last fetch saw them.
// The workspace and accessibility services answer from it; writes mark what they touch.
//
// Why a cache: the window layer reads about seven attributes per window, one call at a time,
// and an X round trip per call would make discovery cost N x 7 round trips. A fetch instead
// sends every request for every managed window before it waits for the first reply: two round
// trips (the root's lists and the primary monitor, then all properties, geometries and
// translations of all clients), whatever the number of windows. Later reads of the same
// discovery are answered from memory.
//
// When the cache is fetched again, so that nothing reads stale frames:
//  - every runningApplications() call (the start of each discovery) fetches anew;
//  - a fetch older than kLifetime is fetched anew before it answers anything, so reads after
//    the settle delay of a frame application see the frames as they are now;
//  - a write marks its window stale; the next read of any stale window fetches every stale
//    window again in one batch, so the verification pass after a batch of writes costs one
//    fetch, not one per window;
//  - a failed fetch (stuck or lost server) is kept for its lifetime like any other, so one
//    discovery waits for an unresponsive server at most once per fetch.
// Writes compose: each window remembers the frame last requested for it until its frame is
// read again, so "size, position, size" sends three consistent frames without waiting for the
// window manager to carry out the first.
#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/x11/desktop_entries.h"
#include "platform/x11/x11_applications.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_window_facts.h"

namespace tessaloom::platform::x11 {

class WindowCache {
 public:
  /// How long a fetch answers reads before it is fetched anew.
  static constexpr Clock::duration kLifetime = std::chrono::milliseconds(100);
  static constexpr Clock::duration kRequestMemory = std::chrono::seconds(2);

  WindowCache(Connection& connection, const DesktopEntryIndex& entries);

  /// Fetches everything anew: the start of a discovery.
  void refresh();
  /// False when the last fetch could not read the client lists.
  bool ok();

  /// The applications, in the order of their first window.
  const std::vector<Application>& applications();
  /// The application with this handle pid; nothing when there is none.
  const Application* application(std::int32_t pid);
  /// The owner of the active window, else of the topmost managed window; nothing when none.
  const Application* frontmost();
  /// The primary monitor's top-left corner in root coordinates: the origin of global space.
  Point origin();

  /// The facts of a managed window, fetched again first when stale; nothing when the window
  /// is no longer managed or the fetch failed.
  const WindowFacts* window(xcb_window_t id);
  /// The facts of a managed window as last fetched, even when a write has made them stale
  /// (the extents and the client's identity do not change with a move); nothing when unknown.
  const WindowFacts* lastKnown(xcb_window_t id);

  /// Marks a window written: its next read fetches it again.
  void markStale(xcb_window_t id);
  /// The frame last requested for a window since its frame was last read (root coordinates).
  std::optional<Rect> requestedFrame(xcb_window_t id);
  void setRequestedFrame(xcb_window_t id, const Rect& frame);
  void forgetRequestedFrame(xcb_window_t id);

  /// The number of fetches so far (whole and partial); for tests and benchmarks.
  std::size_t fetchCount() const { return fetches_; }
  /// Replaces kLifetime (tests that count fetches must not depend on the machine's speed).
  void setLifetime(Clock::duration lifetime) { lifetime_ = lifetime; }

 private:
  void ensureFresh();
  void refetchStale();
  // The facts held for `id` when they were read in full; nothing otherwise.
  const WindowFacts* readable(xcb_window_t id) const;

  struct Requested {
    Rect frame;
    Clock::time_point at;
  };

  Connection& connection_;
  const DesktopEntryIndex& entries_;
  PidAssigner pids_;
  Clock::duration lifetime_ = kLifetime;
  bool fetched_ = false;
  Clock::time_point fetchedAt_{};
  RootFacts root_;
  std::vector<WindowFacts> windows_;  // the clients, in client-list order
  std::unordered_map<xcb_window_t, std::size_t> index_;
  std::vector<Application> applications_;
  std::vector<xcb_window_t> stale_;
  std::unordered_map<xcb_window_t, Requested> requested_;
  std::size_t fetches_ = 0;
};

}  // namespace tessaloom::platform::x11
