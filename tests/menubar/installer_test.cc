#include "menubar/installer.h"

#include <set>

#include <gtest/gtest.h>

#include "tray_fixture.h"

namespace tessaloom {
namespace {

using platform::Alert;
using platform::UiJournal;

constexpr const char* kOfferMessage = "「アプリケーション」フォルダに移動しますか？";
constexpr const char* kOfferInfo =
    "Tessaloom "
    "は「アプリケーション」フォルダに入れて使うと、ログイン時の自動起動やウィンドウ操作の許可が正し"
    "く動きます。";
constexpr const char* kFailureMessage = "移動できませんでした";
constexpr const char* kFailureInfo =
    "Finder で Tessaloom.app を「アプリケーション」フォルダへドラッグしてから開いてください。\n\n";

class InstallerTest : public testing::TrayTest {
 protected:
  InstallerTest() { load(R"({"self": 42})"); }
};

TEST_F(InstallerTest, OnlyABundleOutsideBothApplicationsFoldersGetsTheOffer) {
  struct Case {
    const char* path;
    bool offered;
  };
  const Case cases[] = {
      {"", false},  // a plain executable, as on Linux
      {"/usr/local/bin/tessaloom", false},
      {"/Users/u/Downloads/Tessaloom", false},
      {"/Users/u/Downloads/Tessaloom.APP", false},
      {"/Applications/Tessaloom.app", false},
      {"/Applications/Utilities/Tools/Tessaloom.app", false},
      {"/home/user/Applications/Tessaloom.app", false},
      {"/home/user/Applications/Sub/Tessaloom.app", false},
      {"/Users/u/Downloads/Tessaloom.app", true},
      {"/Volumes/Tessaloom/Tessaloom.app", true},
      {"/applications/Tessaloom.app", true},  // the prefix test is case-sensitive
      {"/ApplicationsOld/Tessaloom.app", true},
      {"/home/user/ApplicationsX/Tessaloom.app", true},
      {"/home/user2/Applications/Tessaloom.app", true},  // someone else's folder
      {"Applications/Tessaloom.app", true},
  };
  for (const auto& c : cases) {
    ui.alerts.shown.clear();
    ui.installation.path = c.path;
    ui.alerts.answers = {1001};  // keep it where it is
    EXPECT_FALSE(Installer::moveToApplicationsIfNeeded()) << c.path;
    EXPECT_EQ(ui.alerts.shown.size(), c.offered ? 1u : 0u) << c.path;
  }
}

TEST_F(InstallerTest, DecliningChangesNothing) {
  ui.installation.path = "/Users/u/Downloads/Tessaloom.app";
  ui.alerts.answers = {1001};
  EXPECT_FALSE(Installer::moveToApplicationsIfNeeded());
  ASSERT_EQ(ui.alerts.shown.size(), 1u);
  EXPECT_EQ(ui.alerts.shown[0],
            (Alert{kOfferMessage, kOfferInfo, {"移動して開く", "このまま使う"}}));
  // Brought to the front first, so the offer is not hidden behind the active application.
  EXPECT_EQ(ui.journal, (UiJournal{"activate", std::string("alert ") + kOfferMessage}));
  EXPECT_EQ(ui.application.terminations, 0);
}

TEST_F(InstallerTest, AcceptingCopiesStartsTheCopyAndQuits) {
  struct Case {
    const char* name;
    bool previousVersion;
    bool launchFails;
    UiJournal journal;
  };
  const std::string alert = std::string("alert ") + kOfferMessage;
  const Case cases[] = {
      {"fresh install",
       false,
       false,
       {"activate", alert, "copy /Volumes/Disk/My Tessaloom.app -> /Applications/My Tessaloom.app",
        "launch /usr/bin/open -n /Applications/My Tessaloom.app", "terminate"}},
      {"previous version goes to the trash first",
       true,
       false,
       {"activate", alert, "trash /Applications/My Tessaloom.app",
        "copy /Volumes/Disk/My Tessaloom.app -> /Applications/My Tessaloom.app",
        "launch /usr/bin/open -n /Applications/My Tessaloom.app", "terminate"}},
      {"a copy that cannot be started still ends this one",
       false,
       true,
       {"activate", alert, "copy /Volumes/Disk/My Tessaloom.app -> /Applications/My Tessaloom.app",
        "launch /usr/bin/open -n /Applications/My Tessaloom.app (failed)", "terminate"}},
  };
  for (const auto& c : cases) {
    ui.journal.clear();
    ui.installation.files.clear();
    ui.installation.path = "/Volumes/Disk/My Tessaloom.app";
    if (c.previousVersion) ui.installation.files.insert("/Applications/My Tessaloom.app");
    ui.installation.launchFails = c.launchFails;
    ui.alerts.answers = {platform::kAlertFirstButtonReturn};
    EXPECT_TRUE(Installer::moveToApplicationsIfNeeded()) << c.name;
    EXPECT_EQ(ui.journal, c.journal) << c.name;
    EXPECT_TRUE(ui.installation.files.count("/Applications/My Tessaloom.app")) << c.name;
  }
}

TEST_F(InstallerTest, AFailedMoveIsExplainedAndTheLaunchGoesOn) {
  struct Case {
    const char* name;
    bool previousVersion;
    std::optional<std::string> trashFailure;
    std::optional<std::string> copyFailure;
    std::string error;
  };
  const Case cases[] = {
      {"the old copy cannot go to the trash", true, "trash is full", std::nullopt, "trash is full"},
      {"the copy fails", false, std::nullopt, "disk is full", "disk is full"},
      {"the copy fails after the trash", true, std::nullopt, "no permission", "no permission"},
  };
  for (const auto& c : cases) {
    ui.journal.clear();
    ui.alerts.shown.clear();
    ui.installation.files.clear();
    if (c.previousVersion) ui.installation.files.insert("/Applications/Tessaloom.app");
    ui.installation.path = "/Users/u/Downloads/Tessaloom.app";
    ui.installation.trashFailure = c.trashFailure;
    ui.installation.copyFailure = c.copyFailure;
    ui.alerts.answers = {platform::kAlertFirstButtonReturn};
    EXPECT_FALSE(Installer::moveToApplicationsIfNeeded()) << c.name;
    ASSERT_EQ(ui.alerts.shown.size(), 2u) << c.name;
    EXPECT_EQ(ui.alerts.shown[1], (Alert{kFailureMessage, kFailureInfo + c.error, {}})) << c.name;
    EXPECT_EQ(ui.application.terminations, 0) << c.name;
    for (const auto& line : ui.journal) {
      EXPECT_FALSE(line.starts_with("launch")) << c.name;
      if (c.trashFailure) {
        EXPECT_FALSE(line.starts_with("copy")) << c.name;
      }
    }
  }
}

TEST_F(InstallerTest, VersionIsTheShortVersionTextOrADash) {
  ui.installation.info.insert_or_assign("CFBundleShortVersionString",
                                        platform::DefaultsValue("2.3.1"));
  EXPECT_EQ(Installer::version(), "2.3.1");
  ui.installation.info.insert_or_assign("CFBundleShortVersionString",
                                        platform::DefaultsValue(2.5));  // not text
  EXPECT_EQ(Installer::version(), "-");
  ui.installation.info.clear();
  EXPECT_EQ(Installer::version(), "-");
}

TEST_F(InstallerTest, QuitOtherInstancesEndsOnlyEarlierCopiesNeverThisProcess) {
  struct Case {
    std::optional<std::string> identifier;
    std::vector<std::int32_t> running;
    std::set<std::int32_t> startedLater;
    std::vector<std::int32_t> terminated;
  };
  const Case cases[] = {
      {"tessaloom", {41, 42, 43}, {}, {41, 43}},
      {"tessaloom", {42}, {}, {}},
      {"tessaloom", {}, {}, {}},
      // A copy started after this one is left alone: it will end this one instead.
      {"tessaloom", {41, 42, 43}, {43}, {41}},
      {"tessaloom", {41, 42, 43}, {41, 43}, {}},
      {std::nullopt, {41, 43}, {}, {}},  // without an identifier no copy can be recognised
  };
  for (const auto& c : cases) {
    ui.installation.terminated.clear();
    ui.installation.startedLater = c.startedLater;
    ui.installation.identifier = c.identifier;
    ui.installation.instances = {{"tessaloom", c.running}, {"other.program", {50}}};
    Installer::quitOtherInstances();
    EXPECT_EQ(ui.installation.terminated, c.terminated);
  }
}

}  // namespace
}  // namespace tessaloom
