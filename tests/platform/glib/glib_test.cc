// The GLib main queue on real time (only order and what runs are checked, never durations), a
// watched descriptor, and the single tray copy per user on a private session bus.
#include <glib.h>
#include <gmock/gmock.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "platform/glib/fd_watch.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/glib/single_instance.h"
#include "support/private_bus.h"
#include "support/run_program.h"

namespace tessaloom::platform {
namespace {

TEST(GlibMainQueue, RunsWorkInTheOrderItIsDueAndNeverCancelledWork) {
  GMainContext* context = g_main_context_new();
  std::vector<std::string> runs;
  auto log = [&runs](const char* label) { return [&runs, label] { runs.push_back(label); }; };
  {
    GlibMainQueue queue(context);
    WorkItem later;
    queue.async([&later] { later.cancel(); });  // runs first even when all is due at once
    queue.asyncAfter(0.01, log("first"));
    later = queue.asyncAfter(0.01, log("cancelled by earlier work"));
    queue.asyncAfter(0.01, log("second"));
    int ticks = 0;
    WorkItem timer;
    timer = queue.repeating(0.001, [&] {
      if (++ticks == 3) timer.cancel();
    });
    for (int i = 0; i < 500 && ticks < 3; ++i) queue.runUntil(queue.now() + 0.01);
    queue.runUntil(queue.now() + 0.1);
    EXPECT_EQ(runs, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(ticks, 3);
    queue.async(log("gone with its queue"));
    queue.repeating(0.001, log("tick"));
  }
  GlibMainQueue second(context);
  const double deadline = second.now() + 0.05;
  second.runUntil(deadline);
  EXPECT_GE(second.now(), deadline);
  EXPECT_EQ(runs.size(), 2u);
  g_main_context_unref(context);
}

// A copy that owns the name from a thread of its own and quits when asked.
class RunningCopy {
 public:
  explicit RunningCopy(const std::string& address)
      : thread_([this, address] {
          g_main_context_push_thread_default(context_);
          auto instance = SingleInstance::claim([this] { asked = true; }, address);
          owns.set_value(instance.ok() && (*instance)->ownsName());
          while (!asked && !stop_) g_main_context_iteration(context_, TRUE);
          instance = Failure{};  // gives the name back, as an ending process does
          g_main_context_pop_thread_default(context_);
        }) {}
  ~RunningCopy() {
    stop_ = true;
    g_main_context_wakeup(context_);
    thread_.join();
    g_main_context_unref(context_);
  }
  std::atomic<bool> asked = false, stop_ = false;
  GMainContext* context_ = g_main_context_new();
  std::promise<bool> owns;
  std::thread thread_;
};

// A watch whose descriptor has closed ends by itself, and going later removes nothing else.
TEST(FdWatch, ReportsWhatArrivesAndEndsQuietlyOnceClosed) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  int criticals = 0;
  const guint handler = g_log_set_handler(
      "GLib", G_LOG_LEVEL_CRITICAL,
      [](const gchar*, GLogLevelFlags, const gchar*, gpointer n) { ++*static_cast<int*>(n); },
      &criticals);
  std::string read;
  {
    glib::FdWatch watch(ends[0], [&] {
      char c = 0;
      if (::read(ends[0], &c, 1) != 1) return false;
      return read += c, true;
    });
    ASSERT_EQ(::write(ends[1], "ab", 2), 2);
    ::close(ends[1]);
    for (int i = 0; i < 10; ++i) g_main_context_iteration(nullptr, FALSE);
  }
  g_log_remove_handler("GLib", handler);
  ::close(ends[0]);
  EXPECT_EQ(read, "ab");
  EXPECT_EQ(criticals, 0);
}

TEST(SingleInstance, TheOwnerIsAskedToQuitAndTheNamePassesToTheCopyThatAsked) {
  testing::PrivateBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  const auto self = static_cast<std::int32_t>(::getpid());
  auto claim = [&] { return std::move(*SingleInstance::claim([] {}, bus.address())); };
  RunningCopy older(bus.address());
  ASSERT_TRUE(older.owns.get_future().get());
  auto newer = claim();
  EXPECT_FALSE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), self);
  EXPECT_FALSE(newer->takeOver(self + 1, 5)) << "a pid that does not own the name";
  const auto stranger = testing::runProgram(
      "gdbus",
      {"call", "--address", bus.address(), "--dest", SingleInstance::kBusName, "--object-path",
       SingleInstance::kObjectPath, "--method", "org.tessaloom.Tray.Quit"});
  EXPECT_THAT(stranger.err, ::testing::HasSubstr("AccessDenied")) << "another program";
  EXPECT_FALSE(older.asked);
  EXPECT_TRUE(newer->takeOver(self, 10));
  EXPECT_TRUE(older.asked);
  EXPECT_TRUE(newer->ownsName());
  EXPECT_EQ(newer->ownerPid(), std::nullopt);
  auto third = claim();
  EXPECT_FALSE(third->ownsName());
  newer.reset();
  EXPECT_TRUE(third->ownsName()) << "the name passes when its owner goes";
}

}  // namespace
}  // namespace tessaloom::platform
