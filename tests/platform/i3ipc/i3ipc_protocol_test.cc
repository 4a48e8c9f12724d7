// The message frame, and a socket against a fake server that answers with a script: replies
// after events, closed and silent servers, and garbage all end as one line, never a hang.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>

#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"
#include "platform/i3ipc/i3_socket_path.h"
#include "support/temp_dir.h"

namespace tessaloom::platform::i3ipc {
namespace {

using namespace std::string_literals;

TEST(I3Messages, FramesAndReadsHeaders) {
  EXPECT_EQ(encodeMessage(kGetTree, ""), "i3-ipc\0\0\0\0\x04\0\0\0"s);
  EXPECT_EQ(encodeMessage(kBindingEvent, "{}"), "i3-ipc\x02\0\0\0\x05\0\0\x80{}"s);
  const std::string big = encodeMessage(kRunCommand, std::string(70000, 'x'));
  EXPECT_EQ(decodeHeader(big), (Header{70000, kRunCommand}));
  const struct {
    std::string bytes;
    const char* why;
  } bad[] = {{"i3-ipc\0\0\0"s, "short"},
             {"i3-IPC\0\0\0\0\x04\0\0\0"s, "magic"},
             {"i3-ipc\0\0\0\x05\x04\0\0\0"s, "beyond the largest payload"}};
  for (const auto& b : bad) EXPECT_FALSE(decodeHeader(b.bytes)) << b.why;
}

// A server on a temporary socket that accepts one client and runs `script` on it.
class FakeServer {
 public:
  explicit FakeServer(std::function<void(int)> script) : path_(dir_.file("ipc")) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path_.c_str(), sizeof a.sun_path - 1);
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::listen(listener_, 1);
    thread_ = std::thread([this, script] {
      const int client = ::accept(listener_, nullptr, nullptr);
      script(client);
      ::close(client);
    });
  }
  ~FakeServer() {
    thread_.join();
    ::close(listener_);
  }
  const std::string& path() const { return path_; }

  static void send(int fd, const std::string& bytes) {
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads one request's frame.
  static std::string receive(int fd) {
    char buffer[kHeaderSize + 256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }

 private:
  testing::TempDir dir_;
  std::string path_;
  int listener_ = -1;
  std::thread thread_;
};

TEST(I3Socket, SkipsEventsAndReturnsTheReply) {
  FakeServer server([](int fd) {
    EXPECT_EQ(FakeServer::receive(fd), encodeMessage(kRunCommand, "nop"));
    FakeServer::send(fd, encodeMessage(kBindingEvent, "{}") +
                             encodeMessage(kRunCommand, R"([{"success":true}])"));
  });
  auto socket = IpcSocket::connect(server.path(), "sway");
  ASSERT_TRUE(socket) << socket.error();
  auto reply = (*socket)->request(kRunCommand, "nop");
  ASSERT_TRUE(reply) << reply.error();
  EXPECT_EQ(reply.value(), R"([{"success":true}])");
}

TEST(I3Socket, EndsBrokenExchangesWithOneLine) {
  const struct {
    const char* name;
    std::function<void(int)> script;
    const char* reason;
  } cases[] = {
      {"closed", [](int fd) { FakeServer::receive(fd); }, "closed by sway"},
      {"garbage",
       [](int fd) {
         FakeServer::receive(fd);
         FakeServer::send(fd, "HTTP/1.1 400 Bad Request\r\n\r\n");
       },
       "not an IPC message"},
      {"cut short",
       [](int fd) {
         FakeServer::receive(fd);
         FakeServer::send(fd, encodeMessage(kGetTree, "{}").substr(0, 15));
         std::this_thread::sleep_for(IpcSocket::kTimeout + std::chrono::milliseconds(200));
       },
       "a message ended early"},
  };
  for (const auto& c : cases) {
    FakeServer server(c.script);
    auto socket = IpcSocket::connect(server.path(), "sway");
    ASSERT_TRUE(socket) << c.name;
    const auto start = Clock::now();
    auto reply = (*socket)->request(kGetTree);
    EXPECT_FALSE(reply) << c.name;
    EXPECT_EQ(reply.error(),
              "lost the connection to sway at " + server.path() + " (" + c.reason + ")")
        << c.name;
    EXPECT_LT(Clock::now() - start, IpcSocket::kTimeout + std::chrono::milliseconds(500));
    EXPECT_FALSE((*socket)->alive());
    EXPECT_FALSE((*socket)->request(kGetTree)) << "a lost socket stays lost";
  }
}

TEST(I3Socket, NamesWhatCannotBeReached) {
  testing::TempDir dir;
  auto socket = IpcSocket::connect(dir.file("nothing"), "i3");
  EXPECT_EQ(socket.error(),
            "cannot connect to i3 at " + dir.file("nothing") + ": No such file or directory");
}

TEST(I3SocketPath, FindsTheSocketOfARunningSwayOnly) {
  testing::TempDir dir;
  EXPECT_FALSE(swaySocketInRuntimeDirectory(dir.path().string()));
  // A sway that is gone left its socket; ours stands for one that runs.
  const std::string running = "sway-ipc.1000." + std::to_string(::getpid()) + ".sock";
  for (const std::string& name :
       {std::string("sway-ipc.1000.999999999.sock"), std::string("wayland-1"), running})
    dir.write(name, "");
  EXPECT_EQ(swaySocketInRuntimeDirectory(dir.path().string()), dir.file(running));
}

}  // namespace
}  // namespace tessaloom::platform::i3ipc
