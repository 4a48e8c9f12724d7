// A fake sway or i3 on an IPC socket of its own: it answers each request with the bytes its
// table holds for the request's type and records the commands it is sent. Framed here, not
// with the program's own code, so that a fault there cannot hide.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessaloom::testing {

class FakeIpcPeer {
 public:
  /// A message of `type` (little-endian, as on the hosts the tests run on).
  static std::string frame(std::uint32_t type, const std::string& payload) {
    const auto size = static_cast<std::uint32_t>(payload.size());
    return "i3-ipc" + std::string(reinterpret_cast<const char*>(&size), 4) +
           std::string(reinterpret_cast<const char*>(&type), 4) + payload;
  }

  /// Listens at `path`. A type the table lacks is answered with success (a command's names
  /// the command it ran); an empty answer closes the connection.
  FakeIpcPeer(const std::string& path, std::map<std::uint32_t, std::string> replies)
      : replies_(std::move(replies)), listener_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un a{AF_UNIX, {}};
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(listener_, 4) == 0 && ::pipe2(stop_, O_CLOEXEC) == 0)
      thread_ = std::thread([this] { serve(); });
  }
  ~FakeIpcPeer() {
    if (thread_.joinable()) (void)!::write(stop_[1], "x", 1), thread_.join();
    for (const int fd : {listener_, stop_[0], stop_[1]}) ::close(fd);
  }

  /// Answers a SUBSCRIBE of exactly `payload` with `reply` (whole messages: events may follow).
  /// How long the peer takes to get to a message, in milliseconds.
  std::atomic<int> lag{0};

  void answerSubscription(const std::string& payload, std::string reply) {
    std::lock_guard lock(mutex_);
    subscriptions_[payload] = std::move(reply);
  }
  /// The payloads of the RUN_COMMAND requests so far.
  std::vector<std::string> commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }

 private:
  // Until stopped, or a minute without a request.
  void serve() {
    std::vector<pollfd> fds = {{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    while (::poll(fds.data(), fds.size(), 60000) > 0 && !fds[0].revents) {
      for (std::size_t i = fds.size() - 1; i > 1; --i)
        if (fds[i].revents && !answer(fds[i].fd))
          ::close(fds[i].fd), fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
      const int fd = fds[1].revents ? ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
      if (fd < 0) continue;
      const timeval limit{5, 0};  // a client that stalls cannot hold the peer
      for (const int option : {SO_SNDTIMEO, SO_RCVTIMEO})
        ::setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit);
      fds.push_back({fd, POLLIN, 0});
    }
    for (std::size_t i = 2; i < fds.size(); ++i) ::close(fds[i].fd);
  }

  // False once the connection is to close. As sway does, what a client that has hung up still
  // had queued is dropped.
  bool answer(int fd) {
    std::this_thread::sleep_for(std::chrono::milliseconds(lag.load()));
    if (pollfd hup{fd, POLLRDHUP, 0}; ::poll(&hup, 1, 0) > 0) return false;
    char head[14];
    std::uint32_t length, type;
    if (::recv(fd, head, sizeof head, MSG_WAITALL) != sizeof head) return false;
    std::memcpy(&length, head + 6, 4), std::memcpy(&type, head + 10, 4);
    std::string payload(length, '\0');
    if (length && ::recv(fd, payload.data(), length, MSG_WAITALL) != ssize_t(length)) return false;
    std::lock_guard lock(mutex_);
    if (type == 0) commands_.push_back(payload);
    const auto it = replies_.find(type);
    const auto subscription = type == 2 ? subscriptions_.find(payload) : subscriptions_.end();
    const std::string reply =
        subscription != subscriptions_.end() ? subscription->second
        : it != replies_.end()               ? it->second
        : type == 0 ? frame(type, R"([{"success": true, "ran": ")" + quoted(payload) + R"("}])")
                    : frame(type, R"({"success": true})");
    return ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) == ssize_t(reply.size()) &&
           !reply.empty();
  }

  static std::string quoted(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
    return out;
  }

  std::map<std::uint32_t, std::string> replies_;
  std::map<std::string, std::string> subscriptions_;
  int listener_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> commands_;
};

}  // namespace tessaloom::testing
