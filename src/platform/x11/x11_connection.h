// The connection to the X server: the root window, the atoms the backend uses, replies awaited
// against a deadline, and bounded waits for events. Knows nothing about applications or windows.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessaloom::platform::x11 {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

/// Frees what XCB allocated with malloc.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using XPtr = std::unique_ptr<T, FreeDeleter>;

/// Atoms outside the EWMH set that xcb-ewmh interns.
struct ExtraAtoms {
  xcb_atom_t compoundText = XCB_ATOM_NONE;
  xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
  /// Only when some client has used it on this server (i3 names its socket with it).
  xcb_atom_t i3SocketPath = XCB_ATOM_NONE;
};

/// xcb_connect on a thread of its own, given up after `limit` (a stopped server never
/// answers); nothing then, else the connection (which may carry an error) and its screen.
std::optional<xcb_connection_t*> connectWithin(const std::string& display, int& screen,
                                               Clock::duration limit);

class Connection {
 public:
  /// How long connecting may take: a frozen server must not hold the program forever.
  static constexpr Clock::duration kConnectTimeout = std::chrono::seconds(2);

  /// Connects to `display` (the DISPLAY variable when empty) within kConnectTimeout. Nothing,
  /// with a one-line reason in `error`, when no server answers in time.
  static std::unique_ptr<Connection> open(const std::string& display, std::string& error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  xcb_connection_t* raw() const { return c_; }
  xcb_ewmh_connection_t& ewmh() { return ewmh_; }
  const ExtraAtoms& atoms() const { return atoms_; }
  xcb_window_t root() const { return root_; }
  int screenNumber() const { return screenNumber_; }
  /// The display name as given, or as DISPLAY held it; used for launched children.
  const std::string& displayName() const { return displayName_; }
  /// Whether RandR monitors (version 1.5) can be asked for.
  bool hasMonitors() const { return hasMonitors_; }

  /// False once the server is gone; every later request fails at once.
  bool alive() const { return xcb_connection_has_error(c_) == 0; }
  /// When a batch of replies started now must be in; a stuck server costs at most a second.
  Deadline replyDeadline() const;

  void flush() { xcb_flush(c_); }
  /// How many times this connection has waited for replies (one wait per batch).
  std::size_t roundTrips() const { return roundTrips_; }
  void countRoundTrip() { ++roundTrips_; }
  /// Whether a reply has missed its deadline since the connection was made.
  bool missedDeadline() const { return missedDeadline_; }
  void noteMissedDeadline() { missedDeadline_ = true; }
  /// Waits for the reply to `sequence` until `deadline`. The reply, or nothing on an X error
  /// (its code in `errorCode`), a lost server or the deadline (`errorCode` 0 then).
  XPtr<void> awaitReply(unsigned sequence, Deadline deadline, int* errorCode = nullptr);
  /// Tells XCB to drop the reply of a request nobody will collect.
  void discard(unsigned sequence) { xcb_discard_reply(c_, sequence); }

  /// Drops every queued event (and the errors of unchecked requests).
  void drainEvents();
  /// Hands each event to `wanted` until it returns true or the deadline passes; false on
  /// timeout or a lost server. Events it does not want are dropped.
  bool waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& wanted,
                    Deadline deadline);

 private:
  Connection() = default;

  xcb_connection_t* c_ = nullptr;
  xcb_ewmh_connection_t ewmh_{};
  bool ewmhReady_ = false;
  ExtraAtoms atoms_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  int screenNumber_ = 0;
  std::string displayName_;
  bool hasMonitors_ = false;
  std::size_t roundTrips_ = 0;
  bool missedDeadline_ = false;
};

/// Collects the replies of requests sent together, against one deadline: once one reply is
/// late, the rest are dropped instead of waited for, so a stuck server costs one timeout.
class ReplyBatch {
 public:
  explicit ReplyBatch(Connection& connection)
      : connection_(connection), deadline_(connection.replyDeadline()) {
    connection_.flush();
    connection_.countRoundTrip();
  }

  /// The reply to `cookie`, or nothing (see Connection::awaitReply).
  template <class Reply, class Cookie>
  XPtr<Reply> take(Cookie cookie, int* errorCode = nullptr) {
    if (errorCode) *errorCode = 0;
    if (late_) {
      connection_.discard(cookie.sequence);
      return nullptr;
    }
    int code = 0;
    auto reply = connection_.awaitReply(cookie.sequence, deadline_, &code);
    if (!reply && code == 0) {
      late_ = true;
      if (connection_.alive()) connection_.noteMissedDeadline();
    }
    if (errorCode) *errorCode = code;
    return XPtr<Reply>(static_cast<Reply*>(reply.release()));
  }
  /// True once a reply missed the deadline or the server went away.
  bool failed() const { return late_; }

 private:
  Connection& connection_;
  Deadline deadline_;
  bool late_ = false;
};

}  // namespace tessaloom::platform::x11
