// One tray copy per user on a private session bus: the owner of the name is found, asked to
// quit over the bus and followed by the copy that asked; nothing is ever signalled.
#include "platform/glib/single_instance.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "support/private_bus.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

using testing::PrivateBus;
using testing::ScopedEnvironment;
using testing::TempDir;

/// A copy that owns the name from a thread of its own and quits when asked; with `answer`
/// false it never turns its loop, like a copy that hangs.
class RunningCopy {
 public:
  RunningCopy(const std::string& address, bool answer) : context_(g_main_context_new()) {
    std::promise<bool> claimed;
    auto ready = claimed.get_future();
    thread_ = std::thread([this, address, answer, &claimed] {
      g_main_context_push_thread_default(context_);
      auto instance = SingleInstance::claim([this] { asked_ = true; }, address);
      claimed.set_value(instance.ok() && (*instance)->ownsName());
      while (!stop_ && !asked_) {
        if (answer)
          g_main_context_iteration(context_, TRUE);
        else
          g_usleep(10000);
      }
      instance = Failure{};  // gives the name back, as an ending process does
      g_main_context_pop_thread_default(context_);
    });
    owns_ = ready.get();
  }
  ~RunningCopy() {
    stop_ = true;
    g_main_context_wakeup(context_);
    thread_.join();
    g_main_context_unref(context_);
  }
  bool owns() const { return owns_; }
  bool asked() const { return asked_; }

 private:
  GMainContext* context_;
  std::thread thread_;
  bool owns_ = false;
  std::atomic<bool> asked_ = false;
  std::atomic<bool> stop_ = false;
};

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  }
  std::unique_ptr<SingleInstance> claim() {
    auto instance = SingleInstance::claim([] {}, bus_.address());
    EXPECT_TRUE(instance.ok()) << instance.error();
    return instance.ok() ? std::move(*instance) : nullptr;
  }
  PrivateBus bus_;
  const std::int32_t self_ = static_cast<std::int32_t>(::getpid());
};

TEST_F(SingleInstanceTest, TheOwnerIsAskedToQuitAndTheNamePassesToTheCopyThatAsked) {
  RunningCopy older(bus_.address(), true);
  ASSERT_TRUE(older.owns());
  auto newer = claim();
  ASSERT_TRUE(newer);
  EXPECT_FALSE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), self_);
  EXPECT_FALSE(newer->takeOver(self_ + 1, 5)) << "a pid that does not own the name";
  EXPECT_FALSE(older.asked());
  EXPECT_TRUE(newer->takeOver(self_, 10));
  EXPECT_TRUE(older.asked());
  EXPECT_TRUE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), std::nullopt);
}

TEST_F(SingleInstanceTest, ACopyThatDoesNotAnswerIsWaitedForOnlyUntilTheDeadline) {
  RunningCopy hung(bus_.address(), false);
  auto newer = claim();
  ASSERT_TRUE(newer);
  const gint64 start = g_get_monotonic_time();
  EXPECT_FALSE(newer->takeOver(self_, 0.3));
  EXPECT_LT(g_get_monotonic_time() - start, 5'000'000);
}

TEST_F(SingleInstanceTest, TheNamePassesWhenItsOwnerGoes) {
  auto first = claim();
  auto second = claim();
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(first->ownsName());
  EXPECT_FALSE(second->ownsName());
  first.reset();
  EXPECT_TRUE(second->ownsName());
}

TEST(SingleInstance, WithoutASessionBusTheClaimSaysWhy) {
  TempDir runtime;
  const ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  const ScopedEnvironment folder("XDG_RUNTIME_DIR", runtime.path().string());
  for (const std::string& where :
       {std::string(), std::string("unix:path=" + runtime.file("none"))}) {
    const auto claimed = SingleInstance::claim([] {}, where);
    EXPECT_FALSE(claimed.ok());
    EXPECT_FALSE(claimed.error().empty());
  }
}

}  // namespace
}  // namespace tessaloom::platform
