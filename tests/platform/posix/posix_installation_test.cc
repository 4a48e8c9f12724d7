// The installation service of a plain executable.
#include "platform/posix/posix_installation.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(PosixInstallation, RunsFromNoPackageAndKnowsNoOtherCopy) {
  PosixInstallation installation;
  EXPECT_EQ(installation.version(), TESSALOOM_VERSION);
  EXPECT_EQ(installation.packagePath(), "");
  EXPECT_TRUE(installation.installFolders().empty());
  EXPECT_TRUE(installation.olderCopies().empty());
  EXPECT_EQ(PosixInstallation::executablePath().front(), '/');
}

TEST(PosixInstallation, CopiesButNeverTrashes) {
  TempDir dir;
  dir.write("from/Contents/Info", "info");
  PosixInstallation installation;
  EXPECT_FALSE(installation.fileExists(dir.file("to")));
  ASSERT_TRUE(installation.copyItem(dir.file("from"), dir.file("to")));
  EXPECT_EQ(dir.read("to/Contents/Info"), "info");
  EXPECT_TRUE(installation.fileExists(dir.file("from/Contents/Info")));
  EXPECT_FALSE(installation.copyItem(dir.file("missing"), dir.file("x")).error().empty());
  EXPECT_FALSE(installation.trashItem(dir.file("to")).error().empty());
  EXPECT_TRUE(installation.fileExists(dir.file("to"))) << "a failed move changes nothing";
}

TEST(PosixInstallation, OpenCopyStartsTheProgram) {
  TempDir dir;
  dir.write("copy", "#!/bin/sh\necho ran > \"$0.out\"\n");
  fs::permissions(dir.path() / "copy", fs::perms::owner_all);
  PosixInstallation().openCopy(dir.file("copy"));
  int status = 0;
  ::wait(&status);  // the installation does not wait; the test does
  EXPECT_EQ(dir.read("copy.out"), "ran\n");
}

}  // namespace
}  // namespace tessaloom::platform
