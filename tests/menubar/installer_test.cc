// Install housekeeping: the version text, ending older copies, and the offer to move a package
// started from outside the install folders.
#include <gtest/gtest.h>

#include "menubar/installer.h"
#include "platform/sim/sim_ui.h"

namespace tessaloom {
namespace {

using platform::UiJournal;

class InstallerTest : public ::testing::Test {
 protected:
  bool offer(const std::string& package) {
    ui.installation.package = package;
    return Installer::moveToApplicationsIfNeeded(services);
  }
  platform::SimUi ui;
  platform::UiServices services = ui.services();
};

TEST_F(InstallerTest, OnlyAPackageOutsideEveryInstallFolderGetsTheOffer) {
  ui.alerts.answers = {1, 1, 1, 1};  // "このまま使う"
  const struct {
    const char* package;
    bool offered;
  } cases[] = {{"", false},
               {"/Applications/Tessaloom.app", false},
               {"/home/user/Applications/Tessaloom.app", false},
               {"/home/user/Downloads/Tessaloom.app", true},
               {"/ApplicationsX/Tessaloom.app", true}};
  for (const auto& c : cases) {
    const auto before = ui.alerts.shown.size();
    EXPECT_FALSE(offer(c.package)) << "declined or not offered: the launch goes on";
    EXPECT_EQ(ui.alerts.shown.size() - before, c.offered ? 1u : 0u) << c.package;
  }
  EXPECT_EQ(ui.alerts.shown.back().buttons,
            (std::vector<std::string>{"移動して開く", "このまま使う"}));
  EXPECT_EQ(ui.journal, (UiJournal{"front", "alert 「アプリケーション」フォルダに移動しますか？",
                                   "front", "alert 「アプリケーション」フォルダに移動しますか？"}));
}

TEST_F(InstallerTest, AcceptingReplacesAnOldCopyStartsTheNewOneAndQuits) {
  ui.installation.files = {"/Applications/Tessaloom.app"};
  EXPECT_TRUE(offer("/tmp/x/Tessaloom.app"));
  EXPECT_EQ(ui.journal, (UiJournal{"front", "alert 「アプリケーション」フォルダに移動しますか？",
                                   "trash /Applications/Tessaloom.app",
                                   "copy /tmp/x/Tessaloom.app -> /Applications/Tessaloom.app",
                                   "open /Applications/Tessaloom.app", "quit"}));
}

TEST_F(InstallerTest, AFailedMoveIsExplainedAndTheLaunchGoesOn) {
  for (int step = 0; step < 2; ++step) {
    platform::SimUi fresh;
    auto s = fresh.services();
    fresh.installation.package = "/tmp/Tessaloom.app";
    fresh.installation.files = {"/Applications/Tessaloom.app"};
    (step == 0 ? fresh.installation.trashFailure : fresh.installation.copyFailure) = "no room";
    EXPECT_FALSE(Installer::moveToApplicationsIfNeeded(s));
    ASSERT_EQ(fresh.alerts.shown.size(), 2u);
    EXPECT_EQ(fresh.alerts.shown[1].messageText, "移動できませんでした");
    EXPECT_TRUE(fresh.alerts.shown[1].informativeText.ends_with("\n\nno room"));
    EXPECT_EQ(fresh.application.quits, 0);
    EXPECT_TRUE(fresh.installation.opened.empty());
  }
}

TEST_F(InstallerTest, VersionAndOlderCopies) {
  EXPECT_EQ(Installer::version(ui.installation), "0.1.0");
  ui.installation.versionText = "";
  EXPECT_EQ(Installer::version(ui.installation), "-");
  ui.installation.older = {41, 17};
  Installer::quitOlderCopies(ui.installation);
  EXPECT_EQ(ui.installation.quitted, (std::vector<std::int32_t>{41, 17}));
}

}  // namespace
}  // namespace tessaloom
