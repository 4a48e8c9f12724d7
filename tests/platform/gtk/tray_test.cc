// The tray program on a private X desktop (Xvfb, openbox, a session bus of its own): a real hot
// key arranges as the command line would, a second copy takes over from the first, and the
// status item is a StatusNotifier item only where a watcher reports a host.
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
      {"title": "Docs", "frame": [100, 80, 900, 700]}, {"title": "Mail", "frame": [150, 90, 300, 200]}]},
    {"pid": 102, "bundleID": "com.openai.chat", "name": "ChatGPT",
     "windows": [{"title": "ChatGPT", "frame": [200, 100, 500, 500]}]}]})";

// A StatusNotifier watcher that reports a host when told to and prints each item registered.
constexpr const char* kWatcher = R"(const {Gio, GLib} = imports.gi;
const watcher = Gio.DBusExportedObject.wrapJSObject(`<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="s" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="s" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/></interface></node>`, {
  RegisterStatusNotifierItem(service) { print('item ' + service); },
  RegisterStatusNotifierHost() {},
  RegisteredStatusNotifierItems: [], IsStatusNotifierHostRegistered: ARGV[0] === 'host',
  ProtocolVersion: 0});
Gio.bus_own_name(Gio.BusType.SESSION, 'org.kde.StatusNotifierWatcher', 0,
  bus => watcher.export(bus, '/StatusNotifierWatcher'), () => print('ready'), null);
new GLib.MainLoop(null, false).run();)";

class TrayOnPrivateDesktop : public ::testing::Test, protected PrivateDesktop {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "openbox", "xdotool"})
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
    if (bus_.address().empty()) GTEST_SKIP() << "no dbus-daemon";
    ASSERT_EQ(startDesktop("openbox"), "");
    dir_.write("scene.json", kScene);
    dir_.write("oracle/scene.json", kScene);
  }
  void TearDown() override { stopDesktop(); }

  std::string file(const std::string& name) const { return (dir_.path() / name).string(); }
  /// Starts a copy and reads its lines into `said` until it reports that it is ready.
  std::unique_ptr<Process> startTray(std::vector<std::string>& said) {
    auto tray = Process::start(
        {TESSALOOM_BINARY},
        {"DISPLAY=" + server_->display(), "DBUS_SESSION_BUS_ADDRESS=" + bus_.address(),
         "XDG_RUNTIME_DIR=" + file(""), "XDG_CONFIG_HOME=" + file("config"), "HOME=" + file(""),
         "TESSALOOM_SCENE=" + file("scene.json"), "TESSALOOM_DEFAULTS=" + file("defaults.json"),
         "TESSALOOM_TRACE=1", "NO_AT_BRIDGE=1"},
        file("tray.log"));
    while (auto line = tray ? tray->readLine(after(30)) : std::nullopt) {
      said.push_back(*line);
      if (*line == "ready") return tray;
    }
    ADD_FAILURE() << "the tray did not start; see tray.log";
    return nullptr;
  }
  int xdotool(const std::vector<std::string>& args) {
    return testing::runProgram(findProgram("xdotool"), args, {{"DISPLAY", server_->display()}})
        .status;
  }
  nlohmann::json frames(const std::string& scene) const {
    nlohmann::json out;
    for (const auto& app : nlohmann::json::parse(std::ifstream(file(scene)))["apps"])
      for (const auto& w : app["windows"]) out.push_back(w["frame"]);
    return out;
  }
  testing::PrivateBus bus_;
};

TEST_F(TrayOnPrivateDesktop, ASecondCopyTakesOverAndArrangesOnARealHotKeyWithLocksOn) {
  ASSERT_EQ(testing::runProgram(TESSALOOM_BINARY, {"--apply", "grid"},
                                {{"TESSALOOM_SCENE", file("oracle/scene.json")},
                                 {"TESSALOOM_DEFAULTS", file("oracle/defaults.json")},
                                 {"-DISPLAY", ""}})
                .status,
            0);
  std::vector<std::string> said;
  auto first = startTray(said);
  auto second = startTray(said);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(first->waitExit(after(20))) << "the first copy did not make way";
  EXPECT_THAT(said, Contains("status-item xembed")) << "no watcher on this bus";
  // The first copy's keys were free again before the second one took them.
  for (const char* keys : {"Num_Lock", "Caps_Lock", "ctrl+alt+g"})
    ASSERT_EQ(xdotool({"key", keys}), 0);
  const std::vector<std::string> plate = {"search", "--onlyvisible", "--name", "^Tessaloom HUD$"};
  EXPECT_TRUE(probe_->waitUntil([&] { return xdotool(plate) == 0; }, 10)) << "no feedback";
  EXPECT_TRUE(probe_->waitUntil([&] { return xdotool(plate) != 0; }, 6)) << "the plate stays";
  second->signal(SIGTERM);
  EXPECT_TRUE(second->waitExit(after(20)));
  EXPECT_EQ(frames("scene.json"), frames("oracle/scene.json")) << "written back on quit";
}

TEST_F(TrayOnPrivateDesktop, AStatusNotifierItemOnlyWhereAWatcherReportsAHost) {
  if (!onPath("gjs")) GTEST_SKIP() << "gjs is not installed";
  dir_.write("watcher.js", kWatcher);
  for (const bool host : {true, false}) {
    auto watcher =
        Process::start({"gjs", file("watcher.js"), host ? "host" : "none"},
                       {"DBUS_SESSION_BUS_ADDRESS=" + bus_.address()}, file("watcher.log"));
    ASSERT_TRUE(watcher && watcher->readLine(after(20)) == "ready") << "see watcher.log";
    std::vector<std::string> said;
    auto tray = startTray(said);
    ASSERT_TRUE(tray);
    EXPECT_THAT(said, Contains(host ? "status-item status-notifier" : "status-item xembed"));
    const auto registered = watcher->readLine(after(host ? 20 : 1));
    EXPECT_EQ(registered.has_value(), host) << registered.value_or("");
    // Handing the menu to the item activates none of its items (quit among them).
    EXPECT_EQ(tray->readLine(after(0.5)), std::nullopt) << "the program ended by itself";
  }
}

}  // namespace
}  // namespace tessaloom::x11test
