// The tray program on a private X desktop (Xvfb, openbox, a session bus of its own): a second
// copy takes over from the first, a real hot key arranges, and the status item is a
// StatusNotifier item only where a watcher reports a host.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "support/private_bus.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::x11test {
namespace {

using ::testing::Contains;

constexpr const char* kScene = R"({"screens": [{"name": "S", "frame": [0, 0, 1920, 1080]}],
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "windows": [
      {"title": "Docs", "frame": [100, 80, 900, 700]}, {"title": "Mail", "frame": [150, 90, 300, 200]}]}]})";

// A StatusNotifier watcher that reports a host when told to and prints each item registered.
constexpr const char* kWatcher = R"(const {Gio, GLib} = imports.gi;
const watcher = Gio.DBusExportedObject.wrapJSObject(`<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="s" type="s" direction="in"/></method>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/></interface></node>`, {
  RegisterStatusNotifierItem(service) { print('item ' + service); },
  IsStatusNotifierHostRegistered: ARGV[0] === 'host', ProtocolVersion: 0});
Gio.bus_own_name(Gio.BusType.SESSION, 'org.kde.StatusNotifierWatcher', 0,
  bus => watcher.export(bus, '/StatusNotifierWatcher'), () => print('ready'), null);
new GLib.MainLoop(null, false).run();)";

class TrayOnPrivateDesktop : public ::testing::Test, protected PrivateDesktop {
 protected:
  void TearDown() override { stopDesktop(); }
  testing::PrivateBus bus_;
};

TEST_F(TrayOnPrivateDesktop, ASecondCopyTakesOverAndArrangesOnARealHotKeyWithLocksOn) {
  for (const char* program : {"Xvfb", "openbox", "xdotool", "gjs"})
    if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
  if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  ASSERT_EQ(startDesktop("openbox"), "");
  auto file = [&](const char* name) { return (dir_.path() / name).string(); };
  dir_.write("scene.json", kScene);
  dir_.write("watcher.js", kWatcher);
  auto frames = [&] { return nlohmann::json::parse(std::ifstream(file("scene.json")))["apps"]; };
  auto xdotool = [&](const std::vector<std::string>& args) {
    return testing::runProgram("xdotool", args, {{"DISPLAY", server_->display()}}).status;
  };
  auto watch = [&](const char* host) {
    auto watcher = Process::start({"gjs", file("watcher.js"), host},
                                  {"DBUS_SESSION_BUS_ADDRESS=" + bus_.address()}, file("gjs.log"));
    EXPECT_TRUE(watcher && watcher->readLine(after(20)) == "ready") << "see gjs.log";
    return watcher;
  };
  std::vector<std::string> said;  // what the copies say up to their "ready"
  auto launch = [&](const char* log) {
    return Process::start(
        {TESSALOOM_BINARY},
        {"DISPLAY=" + server_->display(), "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(),
         "XDG_RUNTIME_DIR=" + file(""), "XDG_CONFIG_HOME=" + file("config"), "HOME=" + file(""),
         "TESSALOOM_SCENE=" + file("scene.json"), "TESSALOOM_DEFAULTS=" + file("defaults.json"),
         "TESSALOOM_TRACE=1", "NO_AT_BRIDGE=1"},
        file(log));
  };
  auto startTray = [&] {
    auto tray = launch("tray.log");
    while (auto line = tray ? tray->readLine(after(30)) : std::nullopt)
      if (said.push_back(*line); *line == "ready") return tray;
    ADD_FAILURE() << "the tray did not start; see tray.log";
    return decltype(tray)();
  };
  const auto before = frames();
  auto watcher = watch("none");
  auto first = startTray();
  ASSERT_TRUE(first);
  // A watcher without a host would take the item and show nothing.
  EXPECT_THAT(said, Contains("status-item xembed"));
  EXPECT_EQ(watcher->readLine(after(1)), std::nullopt);
  watcher.reset();
  watcher = watch("host");
  auto second = startTray();
  ASSERT_TRUE(second);
  EXPECT_THAT(said, Contains("status-item status-notifier"));
  EXPECT_TRUE(watcher->readLine(after(20))) << "the item never registered";
  EXPECT_TRUE(first->waitExit(after(20))) << "the first copy did not make way";
  // The first copy gave its keys back; handing the menu over chose none of its items.
  for (const char* keys : {"Num_Lock", "Caps_Lock", "ctrl+alt+g"})
    ASSERT_EQ(xdotool({"key", keys}), 0);
  const std::vector<std::string> plate = {"search", "--onlyvisible", "--name", "^Tessaloom HUD$"};
  EXPECT_TRUE(waitUntil([&] { return xdotool(plate) == 0; }, 10)) << "no feedback";
  EXPECT_TRUE(waitUntil([&] { return xdotool(plate) != 0; }, 6)) << "the plate stays";
  // A copy that never answers keeps its name and keys: a newer one says so and ends.
  second->signal(SIGSTOP);
  auto third = launch("third.log");
  EXPECT_TRUE(third && third->waitExit(after(20)));
  EXPECT_THAT(dir_.read("third.log"), ::testing::HasSubstr("応答しません"));
  second->signal(SIGCONT);
  second->signal(SIGTERM);
  EXPECT_TRUE(second->waitExit(after(20)));
  EXPECT_EQ(second->status(), 0) << "a late SIGTERM cut its quitting short";
  EXPECT_NE(frames(), before) << "arranged and written back on quit";
}

}  // namespace
}  // namespace tessaloom::x11test
