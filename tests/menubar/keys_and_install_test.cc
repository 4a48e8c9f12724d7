// The tray's hot-key centre (dense ids, presses on the main queue) and its install housekeeping.
#include <gtest/gtest.h>

#include "menubar/hot_key_center.h"
#include "menubar/installer.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"

namespace tessaloom {
namespace {

using platform::SimHotKeys;
using platform::UiJournal;

constexpr Chord kG{'g', kControlAlt}, kH{'h', kControlAlt}, kZ{'z', kControlAlt};

TEST(HotKeyCenter, IdsStayDenseWhenARegistrationIsRefusedAndPressesRunOnTheQueue) {
  SimHotKeys keys;
  platform::VirtualMainQueue queue;
  keys.heldElsewhere.insert(kH);
  std::string pressed;
  {
    HotKeyCenter center(keys, queue);
    EXPECT_TRUE(center.registerHotKey(kG, [&] { pressed += 'g'; }));
    EXPECT_FALSE(center.registerHotKey(kH, [&] { pressed += 'h'; }));
    EXPECT_FALSE(center.registerHotKey(kG, [&] { pressed += '!'; })) << "already taken";
    EXPECT_TRUE(center.registerHotKey(kZ, [&] { pressed += 'z'; }));
    EXPECT_EQ(keys.registered, (std::vector<SimHotKeys::Registration>{{1, kG}, {2, kZ}}));
    EXPECT_EQ(keys.handlerSets, 1);
    keys.press(kZ);
    keys.press(kG);
    keys.deliver(0);
    keys.deliver(7);
    EXPECT_EQ(pressed, "") << "nothing runs inside the key event";
    queue.runAll();
    EXPECT_EQ(pressed, "zg");
    keys.press(kG);  // still queued when the centre goes
  }
  queue.runAll();
  EXPECT_EQ(pressed, "zg");
  EXPECT_EQ(keys.unregistered, (std::vector<platform::HotKeyId>{1, 2}));
}

TEST(Installer, OffersTheMoveOutsideTheInstallFoldersAndQuitsOnlyOnceTheNewCopyRuns) {
  platform::SimUi ui;
  auto services = ui.services();
  auto offer = [&](const char* package) {
    ui.installation.package = package;
    return Installer::moveToApplicationsIfNeeded(services);
  };
  ui.alerts.answers = {1, 1};  // "このまま使う" to both offers: the launch goes on
  using Folders = std::optional<std::vector<std::string>>;
  const std::tuple<const char*, Folders, bool> cases[] = {
      {"", {}, false},
      {"/Applications/Tessaloom.app", {}, false},
      {"/home/user/Applications/Tessaloom.app", {}, false},
      {"/tmp/Tessaloom.app", std::vector<std::string>{}, false},
      {"/home/user/Downloads/Tessaloom.app", {}, true},
      {"/ApplicationsX/Tessaloom.app", {}, true}};
  for (const auto& [package, folders, offered] : cases) {
    const auto before = ui.alerts.shown.size();
    ui.installation.folders = folders;
    EXPECT_FALSE(offer(package)) << package;
    EXPECT_EQ(ui.alerts.shown.size() - before, offered ? 1u : 0u) << package;
  }
  // Accepted from here on.
  ui.installation.files = {"/Applications/Tessaloom.app"};
  for (auto failure :
       {&platform::SimInstallation::trashFailure, &platform::SimInstallation::copyFailure}) {
    ui.installation.*failure = "no room";
    EXPECT_FALSE(offer("/tmp/x/Tessaloom.app"));
    EXPECT_EQ(ui.alerts.shown.back().messageText, "移動できませんでした");
    EXPECT_TRUE(ui.alerts.shown.back().informativeText.ends_with("\n\nno room"));
    ui.installation.*failure = std::nullopt;
  }
  EXPECT_EQ(ui.application.quits, 0);
  ui.installation.files = {"/Applications/Tessaloom.app"};
  ui.journal.clear();
  EXPECT_TRUE(offer("/tmp/x/Tessaloom.app"));
  EXPECT_EQ(ui.journal, (UiJournal{"front", "alert 「アプリケーション」フォルダに移動しますか？",
                                   "trash /Applications/Tessaloom.app",
                                   "copy /tmp/x/Tessaloom.app -> /Applications/Tessaloom.app",
                                   "open /Applications/Tessaloom.app", "quit"}));
}

}  // namespace
}  // namespace tessaloom
