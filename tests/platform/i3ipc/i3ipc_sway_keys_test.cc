// Hot keys on a headless sway: a chord bound at run time reaches the handler when wtype presses
// it, and is unbound again when the hot keys go.
#include <glib.h>
#include <gtest/gtest.h>

#include "platform/i3ipc/i3_hot_keys.h"
#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"
#include "support/tiling_session.h"

namespace tessaloom::platform::i3ipc {
namespace {

class SwayKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* p : {"sway", "wtype", "setpriv"})
      if (!x11test::onPath(p)) GTEST_SKIP() << p << " is not installed";
    const std::string error = session_.start("sway", dir_);
    ASSERT_TRUE(error.empty()) << error;
    for (const auto& [key, value] : session_.programEnvironment())
      if (key == "SWAYSOCK") socket_ = value;
  }

  // Presses Ctrl+Alt+`letter` on sway's virtual keyboard.
  void press(char letter) {
    std::vector<std::pair<std::string, std::string>> env;
    for (const auto& e : session_.programEnvironment())
      if (e.first[0] != '-') env.push_back(e);
    const auto r = testing::runProgram(
        x11test::findProgram("wtype"),
        {"-M", "ctrl", "-M", "alt", std::string(1, letter), "-m", "alt", "-m", "ctrl"}, env, 10);
    ASSERT_EQ(r.status, 0) << r.err;
  }

  x11test::TempDir dir_;
  tilingtest::TilingSession session_;
  std::string socket_;
};

TEST_F(SwayKeys, AChordBoundAtRunTimeReachesTheHandlerUntilTheKeysGo) {
  auto keys = I3HotKeys::connect(socket_);
  ASSERT_TRUE(keys) << keys.error();
  std::vector<HotKeyId> pressed;
  (*keys)->setPressedHandler([&](HotKeyId id) { pressed.push_back(id); });
  ASSERT_TRUE((*keys)->registerHotKey(7, {'g', kControlAlt}));
  EXPECT_FALSE((*keys)->registerHotKey(8, {'g', kControlAlt})) << "the chord is taken";
  EXPECT_FALSE((*keys)->registerHotKey(7, {'h', kControlAlt})) << "the id is taken";
  ASSERT_NO_FATAL_FAILURE(press('g'));
  const auto until = x11test::after(5);
  while (pressed.empty() && x11test::Clock::now() < until) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(10000);
  }
  EXPECT_EQ(pressed, std::vector<HotKeyId>{7});

  // Once the keys are gone, pressing the chord runs no binding of ours.
  keys.value().reset();
  auto watcher = IpcSocket::connect(socket_, "sway");
  ASSERT_TRUE(watcher);
  ASSERT_TRUE((*watcher)->request(kSubscribe, R"(["binding"])"));
  ASSERT_NO_FATAL_FAILURE(press('g'));
  const auto event = (*watcher)->read(Clock::now() + std::chrono::milliseconds(500));
  EXPECT_FALSE(event) << event->payload;
}

}  // namespace
}  // namespace tessaloom::platform::i3ipc
