// One connection to the IPC socket of sway or i3: requests answered within a deadline, and
// the events of a subscription. A socket that fails, closes or falls silent is lost for good,
// with one line saying so; nothing here waits without a deadline or raises SIGPIPE. Only a
// socket served by this user (or any, for root) is used.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tessaloom::platform::i3ipc {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

struct Message {
  std::uint32_t type = 0;
  std::string payload;
};

/// Whether a failure line says a socket was refused for who serves it: no other desktop is
/// tried then, as that would hide it.
bool refusedForItsPeer(std::string_view failure);

class IpcSocket {
 public:
  /// How long connecting, and each request with its reply, may take.
  static constexpr Clock::duration kTimeout = std::chrono::seconds(2);

  /// Connects to the socket at `path` within kTimeout, and refuses it unless this user (or
  /// for root, anyone) serves it; `peer` names the other side in failure lines ("sway", "i3").
  static Result<std::unique_ptr<IpcSocket>> connect(const std::string& path,
                                                    const std::string& peer);
  ~IpcSocket();
  IpcSocket(const IpcSocket&) = delete;
  IpcSocket& operator=(const IpcSocket&) = delete;

  /// Sends one message and returns the payload of its reply; events that arrive first are
  /// dropped, and so are the replies to posted messages. A failure loses the socket.
  Result<std::string> request(std::uint32_t type, std::string_view payload = {});
  /// Sends one message without waiting for its reply, which the next request() (or, at the
  /// latest, the destructor) reads and drops: the peer works on it meanwhile. False, with the
  /// socket lost, when it cannot be sent.
  bool post(std::uint32_t type, std::string_view payload);
  /// The next whole message (a reply or an event) if one starts before `deadline`; nothing
  /// when none has started by then. Once a message has started it is read to its end (the
  /// stream would be out of step otherwise) within kTimeout, or the socket is lost.
  std::optional<Message> read(Deadline deadline);

  bool alive() const { return fd_ >= 0; }
  /// Why the socket was lost; empty while it is alive.
  const std::string& lostMessage() const { return lost_; }
  /// For watching from a main loop; -1 once lost.
  int fd() const { return fd_; }

 private:
  IpcSocket(int fd, std::string path, std::string peer);
  bool writeAll(std::string_view bytes, Deadline deadline);
  // Fills `out` with `count` bytes; false on a lost socket or at the deadline.
  bool readExactly(std::string& out, std::size_t count, Deadline deadline);
  void lose(const std::string& why);

  int fd_;
  std::deque<std::uint32_t> posted_;  // the types of the replies still owed to post()
  std::string path_;
  std::string peer_;
  std::string lost_;
};

}  // namespace tessaloom::platform::i3ipc
