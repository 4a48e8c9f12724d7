// The GLib main queue on real time (only order and what runs are checked, never durations) and
// the single tray copy per user on a private session bus.
#include <gio/gio.h>
#include <gmock/gmock.h>
#include <unistd.h>

#include <cmath>
#include <future>
#include <thread>

#include "platform/glib/glib_main_queue.h"
#include "platform/glib/single_instance.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

using ::testing::ElementsAre;

TEST(GlibMainQueue, RunsWorkInTheOrderItIsDueAndNeverCancelledWork) {
  GMainContext* context = g_main_context_new();
  std::vector<std::string> runs;
  auto log = [&runs](const char* label) { return [&runs, label] { runs.push_back(label); }; };
  {
    GlibMainQueue queue(context);
    queue.async([&] {
      runs.push_back("outer");
      queue.async(log("inner"));
      queue.asyncAfter(0.01, log("inner-later"));
    });
    queue.async(log("sibling"));
    EXPECT_TRUE(runs.empty()) << "nothing runs before the loop turns";
    queue.runUntil(queue.now() + 0.2);
    EXPECT_THAT(runs, ElementsAre("outer", "sibling", "inner", "inner-later"));

    runs.clear();
    WorkItem later;
    queue.async([&later] { later.cancel(); });  // runs first even when all is due at once
    WorkItem dropped = queue.asyncAfter(0.01, log("dropped"));
    queue.asyncAfter(0.01, log("first"));
    later = queue.asyncAfter(0.01, log("cancelled by earlier work"));
    queue.asyncAfter(0.01, log("second"));
    dropped.cancel();
    int ticks = 0;
    WorkItem timer;
    timer = queue.repeating(0.001, [&] {
      if (++ticks == 3) timer.cancel();
    });
    for (int i = 0; i < 500 && ticks < 3; ++i) queue.runUntil(queue.now() + 0.01);
    queue.runUntil(queue.now() + 0.1);
    EXPECT_THAT(runs, ElementsAre("first", "second"));
    EXPECT_EQ(ticks, 3);

    queue.async(log("gone with its queue"));
    queue.repeating(0.001, log("tick"));
  }
  GlibMainQueue second(context);
  second.runUntil(second.now() + 0.05);
  EXPECT_THAT(runs, ElementsAre("first", "second"));
  g_main_context_unref(context);

  GlibMainQueue onDefault;
  onDefault.async(log("default"));
  EXPECT_TRUE(g_main_context_pending(g_main_context_default()));
  const double deadline = onDefault.now() + 0.05;
  onDefault.runUntil(deadline);
  EXPECT_GE(onDefault.now(), deadline);
  EXPECT_EQ(runs.back(), "default");
  onDefault.runUntil(std::nan(""));  // returns at once
}

// A copy that owns the name from a thread of its own and quits when asked, unless it hangs.
class RunningCopy {
 public:
  RunningCopy(const std::string& address, bool hangs)
      : thread_([this, address, hangs] {
          GMainContext* context = g_main_context_new();
          g_main_context_push_thread_default(context);
          auto instance = SingleInstance::claim([this] { asked = true; }, address);
          claimed_.set_value(instance.ok() && (*instance)->ownsName());
          while (!stop_ && !asked) {
            if (!hangs) g_main_context_iteration(context, FALSE);
            g_usleep(1000);
          }
          instance = Failure{};  // gives the name back, as an ending process does
          g_main_context_pop_thread_default(context);
          g_main_context_unref(context);
        }) {}
  ~RunningCopy() {
    stop_ = true;
    thread_.join();
  }
  bool owns() { return owns_.get(); }
  std::atomic<bool> asked = false;

 private:
  std::promise<bool> claimed_;
  std::future<bool> owns_ = claimed_.get_future();
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  }
  std::unique_ptr<SingleInstance> claim() {
    auto instance = SingleInstance::claim([] {}, bus_.address());
    if (!instance.ok()) ADD_FAILURE() << instance.error();
    return instance.ok() ? std::move(*instance) : nullptr;
  }
  testing::PrivateBus bus_;
  const std::int32_t self_ = static_cast<std::int32_t>(::getpid());
};

TEST_F(SingleInstanceTest, TheOwnerIsAskedToQuitAndTheNamePassesToTheCopyThatAsked) {
  RunningCopy older(bus_.address(), false);
  ASSERT_TRUE(older.owns());
  auto newer = claim();
  ASSERT_TRUE(newer);
  EXPECT_FALSE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), self_);
  EXPECT_FALSE(newer->takeOver(self_ + 1, 5)) << "a pid that does not own the name";
  EXPECT_FALSE(older.asked);
  EXPECT_TRUE(newer->takeOver(self_, 10));
  EXPECT_TRUE(older.asked);
  EXPECT_TRUE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), std::nullopt);
  auto third = claim();
  ASSERT_TRUE(third);
  EXPECT_FALSE(third->ownsName());
  newer.reset();
  EXPECT_TRUE(third->ownsName()) << "the name passes when its owner goes";
}

TEST_F(SingleInstanceTest, ACopyThatDoesNotAnswerIsWaitedForOnlyUntilTheDeadline) {
  RunningCopy hung(bus_.address(), true);
  ASSERT_TRUE(hung.owns());
  auto newer = claim();
  ASSERT_TRUE(newer);
  const gint64 start = g_get_monotonic_time();
  EXPECT_FALSE(newer->takeOver(self_, 0.3));
  EXPECT_LT(g_get_monotonic_time() - start, 5'000'000);
}

TEST(SingleInstance, WithoutASessionBusTheClaimSaysWhy) {
  testing::TempDir runtime;
  const testing::ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  const testing::ScopedEnvironment folder("XDG_RUNTIME_DIR", runtime.path().string());
  for (const std::string& where : {std::string(), "unix:path=" + runtime.file("none")}) {
    const auto claimed = SingleInstance::claim([] {}, where);
    EXPECT_FALSE(claimed.ok() || claimed.error().empty()) << where;
  }
}

}  // namespace
}  // namespace tessaloom::platform
