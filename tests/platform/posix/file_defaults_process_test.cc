// The defaults file shared by processes that write at the same time, die while writing, or
// cannot finish a write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/posix/file_defaults.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

using Dictionary = DefaultsValue::Dictionary;
using testing::TempDir;

/// Runs `body` in a child process; the child's exit status is body's result.
template <class Body>
pid_t spawn(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

int exitStatusOf(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::size_t temporaryFileCount(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".defaults.json.tmp-", 0) == 0) ++count;
  return count;
}

TEST(FileDefaultsProcesses, ConcurrentWritersLoseNoUpdate) {
  TempDir folder;
  const std::string path = folder.file("defaults.json");
  constexpr int kUpdates = 500;
  // Both writers wait on one pipe, so they start together once it is closed.
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> writers;
  for (const char* prefix : {"a", "b"}) {
    writers.push_back(spawn([&, prefix] {
      ::close(start[1]);
      char byte;
      if (::read(start[0], &byte, 1) != 0) return 1;
      FileDefaults store(path);
      for (int i = 0; i < kUpdates; ++i) store.setObject(prefix + std::to_string(i), i);
      return 0;
    }));
  }
  ::close(start[0]);
  ::close(start[1]);
  for (const pid_t pid : writers) EXPECT_EQ(exitStatusOf(pid), 0);

  const auto values = FileDefaults(path).values();
  EXPECT_EQ(values.size(), 2u * kUpdates);
  for (int i = 0; i < kUpdates; ++i) {
    for (const char* prefix : {"a", "b"}) {
      const auto it = values.find(prefix + std::to_string(i));
      ASSERT_NE(it, values.end()) << prefix << i << " was lost";
      EXPECT_EQ(it->second, DefaultsValue(i));
    }
  }
}

// Each record says how long its filler is, so a torn file or a mixed record shows.
Dictionary recordOf(int n) {
  return {{"n", n}, {"filler", std::string(static_cast<std::size_t>(n % 31) * 67, 'x')}};
}

TEST(FileDefaultsProcesses, WriterKilledAtAnyMomentLeavesAWholeFile) {
  TempDir folder;
  const std::string path = folder.file("defaults.json");
  FileDefaults(path).setObject("kept", "from before");
  std::mt19937 random(20240611);  // fixed seed: the same kill points on every run
  int lastSeen = -1;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    const int first = (round + 1) * 1000;
    const pid_t writer = spawn([&] {
      ::close(progress[0]);
      FileDefaults store(path);
      for (int n = first;; ++n) {
        store.setObject("record", recordOf(n));
        if (::write(progress[1], "w", 1) != 1) return 1;
      }
    });
    ::close(progress[1]);
    // Kill after a varying number of finished writes, somewhere inside the next one.
    const int writes = std::uniform_int_distribution<int>(1, 20)(random);
    char byte;
    for (int i = 0; i < writes; ++i) ASSERT_EQ(::read(progress[0], &byte, 1), 1);
    ::kill(writer, SIGKILL);
    EXPECT_EQ(exitStatusOf(writer), 128 + SIGKILL);
    ::close(progress[0]);

    const auto values = FileDefaults::parse(folder.read("defaults.json"));
    ASSERT_NE(values, std::nullopt) << "the file is torn";
    EXPECT_EQ(values->at("kept"), DefaultsValue("from before"));
    const auto* record = values->at("record").get<Dictionary>();
    ASSERT_NE(record, nullptr);
    const int n = static_cast<int>(*record->at("n").get<double>());
    EXPECT_EQ(*record, recordOf(n));
    EXPECT_GE(n, first + writes - 1) << "a finished write was lost";
    EXPECT_GT(n, lastSeen);
    lastSeen = n;
  }
  // The lock died with the writer: the next write goes through. Each killed writer left at
  // most its one temporary file, which no other process can prove to be a writer's.
  FileDefaults store(path);
  store.setObject("after", true);
  EXPECT_EQ(store.object("after"), DefaultsValue(true));
  EXPECT_LE(temporaryFileCount(folder.path()), 12u);
}

TEST(FileDefaultsProcesses, FailedWriteLeavesTheOldFileWhole) {
  TempDir folder;
  const std::string path = folder.file("defaults.json");
  FileDefaults(path).setObject("gap", 8);
  const std::string before = folder.read("defaults.json");

  // The child may not grow any file beyond a few bytes more than the old one.
  const pid_t child = spawn([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    limit.rlim_cur = before.size() + 16;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    FileDefaults store(path);
    store.setObject("savedLayout", Data{std::vector<std::uint8_t>(100000, 7)});
    return store.object("savedLayout") ? 1 : 0;
  });
  EXPECT_EQ(exitStatusOf(child), 0) << "the write reported or kept a value it could not store";
  EXPECT_EQ(folder.read("defaults.json"), before);
  EXPECT_EQ(temporaryFileCount(folder.path()), 0u) << "the failed temporary file was left";
}

}  // namespace
}  // namespace tessaloom::platform
