#include "platform/posix/instance_registry.h"

#include <sys/wait.h>

#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>

#include "posix_fixtures.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using tessaloom::testing::Child;
using tessaloom::testing::endedPid;
using tessaloom::testing::ScopedEnvironment;
using tessaloom::testing::TempDir;

std::int32_t self() {
  return static_cast<std::int32_t>(::getpid());
}

void writeRecord(const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
}

class InstanceRegistryTest : public ::testing::Test {
 protected:
  TempDir folder;
  InstanceRegistry registry{folder.path() / "runtime" / "tessaloom"};
};

TEST(InstanceRegistryDirectory, LivesInTheRuntimeFolder) {
  {
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(InstanceRegistry::defaultDirectory(), fs::path("/run/user/1000/tessaloom"));
  }
  {
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", "run/user");
    EXPECT_EQ(InstanceRegistry::defaultDirectory(), std::nullopt);
  }
  {
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(InstanceRegistry::defaultDirectory(), std::nullopt);
  }
}

TEST_F(InstanceRegistryTest, EnrolledProcessesAreListedUntilWithdrawn) {
  EXPECT_TRUE(registry.instances().empty());  // no folder yet
  Child child;
  ASSERT_TRUE(registry.enroll(self()));
  ASSERT_TRUE(registry.enroll(child.pid()));
  // The folder is private to the user.
  EXPECT_EQ(fs::status(registry.directory()).permissions() & fs::perms::all, fs::perms::owner_all);

  std::vector<std::int32_t> both{self(), child.pid()};
  std::sort(both.begin(), both.end());
  EXPECT_EQ(registry.instances(), both);

  registry.withdraw(child.pid());
  EXPECT_EQ(registry.instances(), std::vector<std::int32_t>{self()});
  // Enrolling twice keeps one record.
  ASSERT_TRUE(registry.enroll(self()));
  EXPECT_EQ(registry.instances(), std::vector<std::int32_t>{self()});
}

TEST_F(InstanceRegistryTest, StaleRecordsAreIgnoredAndRemoved) {
  ASSERT_TRUE(registry.enroll(self()));
  const auto dir = registry.directory();
  const auto ended = endedPid();

  Child zombie;
  ASSERT_TRUE(registry.enroll(zombie.pid()));
  ::kill(zombie.pid(), SIGKILL);
  siginfo_t info{};
  // Wait until it has ended but leave it unreaped.
  ::waitid(P_PID, static_cast<id_t>(zombie.pid()), &info, WEXITED | WNOWAIT);

  struct Stale {
    std::string name;
    std::string text;
  };
  const Stale stale[] = {
      {std::to_string(ended), std::to_string(ended) + " 0\n"},              // the process has ended
      {std::to_string(::getppid()), std::to_string(::getppid()) + " 1\n"},  // pid reused
      {"77777777", "77777777"},                                             // unreadable record
  };
  for (const auto& s : stale) writeRecord(dir / s.name, s.text);
  // Files that are no records stay as they are.
  writeRecord(dir / "notes", "x");
  writeRecord(dir / "123.tmp-9", "123 0\n");

  EXPECT_EQ(registry.instances(), std::vector<std::int32_t>{self()});
  for (const auto& s : stale) EXPECT_FALSE(fs::exists(dir / s.name)) << s.name;
  EXPECT_FALSE(fs::exists(dir / std::to_string(zombie.pid())));
  EXPECT_TRUE(fs::exists(dir / "notes"));
  EXPECT_TRUE(fs::exists(dir / "123.tmp-9"));
  zombie.reap();
}

TEST_F(InstanceRegistryTest, OnlyRunningProcessesCanEnroll) {
  EXPECT_FALSE(registry.enroll(endedPid()));
  EXPECT_FALSE(registry.enroll(0));
  EXPECT_FALSE(registry.enroll(-1));
  EXPECT_TRUE(registry.instances().empty());
}

TEST_F(InstanceRegistryTest, AFolderThatCannotBeMadeRefusesEnrolment) {
  std::ofstream(folder.path() / "runtime") << "a file where the folder should be";
  EXPECT_FALSE(registry.enroll(self()));
  EXPECT_TRUE(registry.instances().empty());
}

TEST_F(InstanceRegistryTest, StartOrderComparesLiveRecordsOnly) {
  Child later;
  ASSERT_TRUE(registry.enroll(self()));
  ASSERT_TRUE(registry.enroll(later.pid()));
  EXPECT_TRUE(registry.startedBefore(self(), later.pid()));
  EXPECT_FALSE(registry.startedBefore(later.pid(), self()));
  EXPECT_FALSE(registry.startedBefore(self(), self()));

  // Copies started back to back (often within one clock tick): exactly one is the earlier, so
  // neither can end the other by mistake and one of them always stays.
  Child a, b;
  ASSERT_TRUE(registry.enroll(a.pid()));
  ASSERT_TRUE(registry.enroll(b.pid()));
  EXPECT_NE(registry.startedBefore(a.pid(), b.pid()), registry.startedBefore(b.pid(), a.pid()));

  // Without a live record there is no order.
  Child unrecorded;
  EXPECT_FALSE(registry.startedBefore(self(), unrecorded.pid()));
  EXPECT_FALSE(registry.startedBefore(unrecorded.pid(), self()));
  writeRecord(registry.directory() / std::to_string(unrecorded.pid()),
              std::to_string(unrecorded.pid()) + " 1\n");  // an earlier process's record
  EXPECT_FALSE(registry.startedBefore(unrecorded.pid(), self()));
  EXPECT_FALSE(registry.startedBefore(0, self()));
}

TEST_F(InstanceRegistryTest, TerminateSignalsOnlyLiveRecordedProcesses) {
  Child recorded;
  ASSERT_TRUE(registry.enroll(recorded.pid()));
  EXPECT_TRUE(registry.terminate(recorded.pid()));
  EXPECT_EQ(recorded.reap(), SIGTERM);
  EXPECT_TRUE(registry.instances().empty());

  // A running process without a record, and one whose record belongs to an earlier process
  // under the same pid, get no signal.
  Child unrecorded;
  EXPECT_FALSE(registry.terminate(unrecorded.pid()));
  writeRecord(registry.directory() / std::to_string(unrecorded.pid()),
              std::to_string(unrecorded.pid()) + " 1\n");
  EXPECT_FALSE(registry.terminate(unrecorded.pid()));
  EXPECT_TRUE(unrecorded.running());

  EXPECT_FALSE(registry.terminate(0));
  EXPECT_FALSE(registry.terminate(-1));
}

}  // namespace
}  // namespace tessaloom::platform
