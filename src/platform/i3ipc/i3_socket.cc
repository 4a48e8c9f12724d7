#include "platform/i3ipc/i3_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/i3ipc/i3_messages.h"

namespace tessaloom::platform::i3ipc {
namespace {

int millisecondsLeft(Deadline deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

// Waits until `fd` is ready for `events`; false at the deadline. Errors and hang-ups count as
// ready: the read or write that follows reports them.
bool waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, millisecondsLeft(deadline));
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

constexpr std::string_view kNotOurs = "its socket is served by user ";

// root may read and move every window anyway.
bool peerMayServe(uid_t peer, uid_t self) {
  return self == 0 || peer == self;
}

}  // namespace

bool refusedForItsPeer(std::string_view failure) {
  return failure.find(kNotOurs) != std::string_view::npos;
}

IpcSocket::IpcSocket(int fd, std::string path, std::string peer)
    : fd_(fd), path_(std::move(path)), peer_(std::move(peer)) {}

IpcSocket::~IpcSocket() {
  // sway drops what a peer that has hung up still had queued: a command that ends the program
  // (the last corrections) waits until what it posted has been carried out, within kTimeout.
  for (const Deadline deadline = Clock::now() + kTimeout; fd_ >= 0 && !posted_.empty();)
    if (const auto message = read(deadline); !message)
      break;
    else if (message->type == posted_.front())
      posted_.pop_front();
  if (fd_ >= 0) ::close(fd_);
}

Result<std::unique_ptr<IpcSocket>> IpcSocket::connect(const std::string& path,
                                                      const std::string& peer) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path)
    return Failure{"the IPC socket path of " + peer + " is not usable: " + path};
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Failure{std::string("cannot make a socket: ") + std::strerror(errno)};
  std::unique_ptr<IpcSocket> socket(new IpcSocket(fd, path, peer));
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    bool connected = false;
    if (error == EINPROGRESS || error == EAGAIN) {
      int result = 0;
      socklen_t size = sizeof result;
      connected = waitFor(fd, POLLOUT, Clock::now() + kTimeout) &&
                  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) == 0 && result == 0;
    }
    if (!connected)
      return Failure{"cannot connect to " + peer + " at " + path + ": " + std::strerror(error)};
  }
  // Anyone can make a socket and name it where we look (a root window property, a variable,
  // the runtime folder): only one served by this user may be sent the user's windows.
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
    return Failure{"cannot tell who serves " + peer + " at " + path + ": " + std::strerror(errno)};
  if (!peerMayServe(credentials.uid, ::getuid()))
    return Failure{"refused " + peer + " at " + path + ": " + std::string(kNotOurs) +
                   std::to_string(credentials.uid) + ", not by this user (" +
                   std::to_string(::getuid()) + ")"};
  return socket;
}

void IpcSocket::lose(const std::string& why) {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  lost_ = "lost the connection to " + peer_ + " at " + path_ + " (" + why + ")";
}

bool IpcSocket::writeAll(std::string_view bytes, Deadline deadline) {
  while (!bytes.empty() && fd_ >= 0) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!waitFor(fd_, POLLOUT, deadline)) lose("no answer in time");
    } else {
      lose(std::strerror(errno));
    }
  }
  return fd_ >= 0;
}

bool IpcSocket::readExactly(std::string& out, std::size_t count, Deadline deadline) {
  while (out.size() < count && fd_ >= 0) {
    char buffer[65536];
    const std::size_t want = std::min(sizeof buffer, count - out.size());
    const ssize_t n = ::recv(fd_, buffer, want, 0);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      lose("closed by " + peer_);
    } else if (errno == EAGAIN || errno == EINTR) {
      if (!waitFor(fd_, POLLIN, deadline)) return false;
    } else {
      lose(std::strerror(errno));
    }
  }
  return out.size() == count;
}

std::optional<Message> IpcSocket::read(Deadline deadline) {
  if (fd_ < 0) return std::nullopt;
  std::string head;
  if (!readExactly(head, 1, deadline)) return std::nullopt;
  const Deadline rest = Clock::now() + kTimeout;
  if (!readExactly(head, kHeaderSize, rest)) {
    lose("a message ended early");
    return std::nullopt;
  }
  const auto header = decodeHeader(head);
  if (!header) {
    // With the magic right, only the length can be wrong.
    lose(head.starts_with("i3-ipc")
             ? "a message larger than " + std::to_string(kMaxPayload >> 20) + " MiB"
             : "not an IPC message");
    return std::nullopt;
  }
  Message message{header->type, {}};
  message.payload.reserve(header->length);
  if (!readExactly(message.payload, header->length, rest)) {
    lose("a message ended early");
    return std::nullopt;
  }
  return message;
}

Result<std::string> IpcSocket::request(std::uint32_t type, std::string_view payload) {
  const Deadline deadline = Clock::now() + kTimeout;
  if (fd_ >= 0) writeAll(encodeMessage(type, payload), deadline);
  while (fd_ >= 0) {
    auto message = read(deadline);
    if (!message) {
      lose("no answer in time");
      break;
    }
    // Replies come in the order asked, each of its request's type; events have the top bit.
    if (!posted_.empty() && message->type == posted_.front()) {
      posted_.pop_front();
      continue;
    }
    if (message->type == type) return std::move(message->payload);
    // An event: this connection has no subscription that wants it here.
  }
  return Failure{lost_};
}

bool IpcSocket::post(std::uint32_t type, std::string_view payload) {
  if (fd_ < 0 || !writeAll(encodeMessage(type, payload), Clock::now() + kTimeout)) return false;
  posted_.push_back(type);
  return true;
}

}  // namespace tessaloom::platform::i3ipc
