#include "platform/posix/posix_installation.h"

#include <sys/wait.h>

#include <fstream>

#include <gtest/gtest.h>

#include "posix_fixtures.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using tessaloom::testing::Child;
using tessaloom::testing::ScopedEnvironment;
using tessaloom::testing::TempDir;

TEST(PosixInstallation, RunsFromNoBundleWithTheBuildsVersion) {
  PosixInstallation installation(std::nullopt);
  EXPECT_EQ(installation.bundlePath(), "");
  EXPECT_EQ(installation.bundleIdentifier(), "tessaloom");
  EXPECT_EQ(installation.infoValue("CFBundleShortVersionString"), DefaultsValue(TESSALOOM_VERSION));
  EXPECT_EQ(installation.infoValue("CFBundleVersion"), std::nullopt);
  EXPECT_FALSE(PosixInstallation::executablePath().empty());
  EXPECT_EQ(PosixInstallation::executablePath().front(), '/');
}

TEST(PosixInstallation, HomeComesFromTheEnvironmentFirst) {
  ScopedEnvironment home("HOME", "/home/elsewhere");
  EXPECT_EQ(PosixInstallation(std::nullopt).homeDirectory(), "/home/elsewhere");
  ScopedEnvironment unset("HOME", std::nullopt);
  EXPECT_FALSE(PosixInstallation(std::nullopt).homeDirectory().empty());  // password database
}

TEST(PosixInstallation, EnrolmentLastsAsLongAsTheObject) {
  TempDir folder;
  InstanceRegistry registry(folder.path() / "tessaloom");
  const auto self = static_cast<std::int32_t>(::getpid());
  {
    PosixInstallation installation(registry);
    EXPECT_TRUE(installation.runningInstances("tessaloom").empty());
    ASSERT_TRUE(installation.enrollThisProcess());
    EXPECT_EQ(installation.runningInstances("tessaloom"), std::vector<std::int32_t>{self});
    EXPECT_TRUE(installation.runningInstances("other").empty());
  }
  EXPECT_TRUE(registry.instances().empty());
  EXPECT_FALSE(PosixInstallation(std::nullopt).enrollThisProcess());
}

TEST(PosixInstallation, TerminateReachesOnlyRegisteredCopies) {
  TempDir folder;
  InstanceRegistry registry(folder.path() / "tessaloom");
  Child child;
  ASSERT_TRUE(registry.enroll(child.pid()));
  PosixInstallation(std::nullopt).terminate(child.pid());  // no registry: nothing is sent
  EXPECT_TRUE(child.running());
  PosixInstallation(registry).terminate(child.pid());
  EXPECT_EQ(child.reap(), SIGTERM);
}

TEST(PosixInstallation, OnlyEarlierRecordedCopiesCountAsStartedBefore) {
  TempDir folder;
  InstanceRegistry registry(folder.path() / "tessaloom");
  const auto parent = static_cast<std::int32_t>(::getppid());  // started before this process
  Child later;
  ASSERT_TRUE(registry.enroll(parent));
  ASSERT_TRUE(registry.enroll(later.pid()));
  PosixInstallation installation(registry);
  EXPECT_FALSE(installation.startedBeforeThisProcess(parent));  // this process has no record
  ASSERT_TRUE(installation.enrollThisProcess());
  EXPECT_TRUE(installation.startedBeforeThisProcess(parent));
  EXPECT_FALSE(installation.startedBeforeThisProcess(later.pid()));
  EXPECT_FALSE(installation.startedBeforeThisProcess(static_cast<std::int32_t>(::getpid())));
  EXPECT_FALSE(PosixInstallation(std::nullopt).startedBeforeThisProcess(parent));
}

TEST(PosixInstallation, FileServices) {
  TempDir folder;
  PosixInstallation installation(std::nullopt);
  const auto from = folder.path() / "Tessaloom.app";
  fs::create_directories(from / "Contents");
  std::ofstream(from / "Contents" / "Info") << "info";
  const auto to = folder.path() / "copy.app";

  std::string error;
  EXPECT_FALSE(installation.fileExists(to.string()));
  ASSERT_TRUE(installation.copyItem(from.string(), to.string(), error)) << error;
  EXPECT_TRUE(installation.fileExists((to / "Contents" / "Info").string()));
  EXPECT_TRUE(installation.fileExists((from / "Contents" / "Info").string()));

  EXPECT_FALSE(installation.copyItem((folder.path() / "missing").string(),
                                     (folder.path() / "x").string(), error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(installation.trashItem(to.string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(installation.fileExists(to.string()));  // a failed move changes nothing
}

TEST(PosixInstallation, LaunchStartsAChildWithItsArguments) {
  TempDir folder;
  PosixInstallation installation(std::nullopt);
  const auto marker = folder.path() / "marker";
  ASSERT_TRUE(
      installation.launch("/bin/sh", {"-c", "echo \"$0\" > \"$1\"", "ran", marker.string()}));
  int status = 0;
  ::wait(&status);  // the launcher does not wait; the test does
  std::ifstream in(marker);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "ran");
  EXPECT_FALSE(installation.launch((folder.path() / "no-such-program").string(), {}));
}

}  // namespace
}  // namespace tessaloom::platform
