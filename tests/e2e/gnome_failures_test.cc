// A GNOME Shell that cannot serve a command (the extension missing, disabled or too old, the
// Shell frozen, killed while a command waits for its answer or as it moves the windows) fails
// it within seconds in one line with status 2. The tray keeps its keys and button when a
// one-off client of the extension leaves, and quits cleanly right after showing its overlay.
#include <signal.h>

#include <chrono>
#include <future>

#include "e2e/gnome_desktop.h"
#include "support/temp_dir.h"

namespace tessaloom::e2e {
namespace {

class GnomeShell : public ::testing::TestWithParam<std::pair<std::string, std::string>> {
 protected:
  // `extension` as desktop-session.sh takes it; a Shell that should run and does not fails.
  void start(const std::string& extension) {
    if (!testing::onPath("gnome-shell")) GTEST_SKIP() << "gnome-shell is not installed";
    dir_.write("data/applications/firefox.desktop",
               "[Desktop Entry]\nType=Application\nName=Firefox\nExec=true\n");
    // As the scenarios do: a Shell that does not come up twice fails.
    std::string why = "not started";
    for (int attempt = 0; attempt < 2 && !why.empty(); ++attempt) {
      desktop_ = std::make_unique<GnomeDesktop>(extension);
      why = desktop_->start(dir_.path() / ("desktop" + std::to_string(attempt)), 1);
    }
    ASSERT_EQ(why, "");
    env_ = desktop_->environment();
    env_.insert(env_.end(), {{"HOME", dir_.path().string()},
                             {"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                             {"XDG_CONFIG_HOME", dir_.file("config")},
                             {"XDG_DATA_HOME", dir_.file("data")},
                             {"XDG_DATA_DIRS", "/usr/share"}});
  }
  // Starts `argv` in the session, kept running.
  std::unique_ptr<testing::Process> spawn(const std::vector<std::string>& argv) {
    return testing::Process::start(argv, testing::edits(env_), dir_.file("spawned.log"));
  }

  testing::TempDir dir_;
  std::unique_ptr<GnomeDesktop> desktop_;
  Environment env_;
};

using GnomeFailures = GnomeShell;
using GnomeTray = GnomeShell;

TEST_P(GnomeFailures, FailTheCommandWithinSecondsInOneLine) {
  const auto& [trouble, words] = GetParam();
  const bool forged = trouble == "forged";  // the name held by another with the extension off
  const bool runs = trouble == "frozen" || trouble == "killed" || trouble == "diesMoving";
  ASSERT_NO_FATAL_FAILURE(start(runs ? "enabled" : forged ? "disabled" : trouble));
  const pid_t shell = desktop_->shellPid();
  ASSERT_GT(shell, 0);
  std::unique_ptr<testing::Process> client;
  // Killed while the command waits for its answer: stopped first, so that the kill cannot come
  // after a command that has already ended.
  if (shell > 0 && (trouble == "frozen" || trouble == "killed")) ::kill(shell, SIGSTOP);
  // Killed as soon as it has answered the moves with the window at its target (an X11 window
  // takes its frame at once): the read after the settle must find the Shell gone, unless the
  // bus saw the command ask for the Shell before it left (a kill slowed down past the settle).
  std::unique_ptr<testing::Process> monitor;
  std::string placed, asked, left;
  if (trouble == "diesMoving") {
    ASSERT_TRUE(desktop_->open(kFirefox, {{"Notes", {100, 100, 600, 400}}}));
    placed = "   string \"{\"" + desktop_->facts()["windows"][0]["id"].dump() + "\":[";
    const std::string owner =
        testing::runProgram("gdbus",
                            {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                             "/org/freedesktop/DBus", "--method",
                             "org.freedesktop.DBus.GetNameOwner", "org.gnome.Shell"},
                            env_)
            .out;  // (':1.6',)
    const std::string name = "\n   string \"" + owner.substr(2, owner.find('\'', 2) - 2) + "\"";
    asked = "member=NameHasOwner" + name, left = "member=NameOwnerChanged" + name;
    monitor = spawn({"stdbuf", "-oL", "dbus-monitor", "--session"});
    ASSERT_TRUE(monitor && monitor->readLine(testing::after(10)));  // it has begun
  }
  if (forged) {
    client = spawn({testing::findProgram("gjs"), "-c",
                    "const {Gio, GLib} = imports.gi; Gio.bus_own_name(Gio.BusType.SESSION, "
                    "'org.tessaloom.Shell', 0, null, () => print('ready'), null); "
                    "new GLib.MainLoop(null, false).run();"});
    ASSERT_TRUE(client && client->readUntil("ready", testing::after(30)));
  }
  auto command = std::async(std::launch::async, [&] {
    return testing::runProgram(TESSALOOM_BINARY, {"--apply", "grid"}, env_, 6);
  });
  if (monitor) {
    EXPECT_TRUE(monitor->readUntil(placed, testing::after(10))) << "no answer to the moves";
    if (shell > 0) ::kill(shell, SIGKILL);
  }
  if (trouble == "killed") {
    command.wait_for(std::chrono::milliseconds(1000));
    if (shell > 0) ::kill(shell, SIGKILL);
  }
  const auto r = command.get();
  if (shell > 0) ::kill(shell, SIGCONT);
  if (monitor && r.status == 0) {
    monitor->signal(SIGTERM);
    const std::string heard = monitor->rest(testing::after(5));
    EXPECT_LT(heard.find(asked), heard.find(left)) << "success with the Shell gone: " << r.out;
    return;
  }
  const std::string version = testing::runProgram("gnome-shell", {"--version"}).out;
  EXPECT_TRUE(testing::failedInOneLine(
      r, words,
      forged ? "org.tessaloom.Shell is held by a program other than GNOME Shell; it is not used\n"
             : ""));
  if (trouble == "outdated") {  // with the Shell's version
    EXPECT_NE(r.out.find(version.substr(0, version.size() - 1)), std::string::npos) << r.out;
  }
}

// Named so that the GNOME suites (--gtest_filter='*gnome*') hold them.
INSTANTIATE_TEST_SUITE_P(
    gnome, GnomeFailures,
    ::testing::Values(
        std::pair("missing", "GNOME Shell に見つかりません"),
        std::pair("disabled", "必要です。gnome-extensions enable tessaloom@tessaloom.github.io"),
        std::pair("forged", "必要です。gnome-extensions enable tessaloom@tessaloom.github.io"),
        std::pair("outdated", " では Tessaloom の GNOME Shell 拡張機能が古いため動きません"),
        std::pair("frozen", "デスクトップとの接続が失われました（GNOME Shell did not answer"),
        std::pair("killed",
                  "デスクトップとの接続が失われました（GNOME Shell or its Tessaloom "
                  "extension went away during"),
        std::pair("diesMoving",
                  "デスクトップとの接続が失われました（GNOME Shell or its Tessaloom "
                  "extension went away during")),
    [](const auto& p) { return p.param.first; });

TEST_P(GnomeTray, KeepsItsKeysAndButtonWhenAOneOffClientLeavesAndQuitsAfterAnOverlay) {
  ASSERT_NO_FATAL_FAILURE(start(GetParam().first));
  ASSERT_TRUE(
      desktop_->open(kFirefox, {{"Docs", {100, 100, 800, 600}}, {"Mail", {400, 300, 700, 500}}}));
  // A Wayland window, whose new frame comes once it has drawn at its new size.
  dir_.write("data/applications/org.example.ChatApp.desktop",
             "[Desktop Entry]\nType=Application\nName=ChatGPT\nExec=true\n");
  ASSERT_TRUE(desktop_->open(kChat, {{"Chat", {200, 150, 600, 400}}}));
  // In English, from the build's catalogue, where the locale is not even generated.
  env_.insert(env_.end(), {{"TESSALOOM_TRACE", "1"},
                           {"NO_AT_BRIDGE", "1"},
                           {"LC_ALL", "en_US.UTF-8"},
                           {"-LANGUAGE", ""},
                           {"TESSALOOM_LOCALEDIR", TESSALOOM_BUILD_LOCALE_DIR}});
  auto tray = spawn({TESSALOOM_BINARY});
  ASSERT_TRUE(tray && tray->readUntil("ready", testing::after(30))) << dir_.read("spawned.log");
  ASSERT_TRUE(testing::waitUntil([&] { return desktop_->facts().value("button", false); }, 10));
  // Strangers are refused every call, change nothing and hear nothing; the tray keeps working.
  const auto before = desktop_->facts();
  ASSERT_EQ(before["windows"].size(), 3u);
  const std::string place = "'[{\"id\": " + before["windows"][0]["id"].dump() + ", \"x\": 0}]'";
  for (const auto& [method, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"Facts", {}},
           {"Place", {place}},
           {"BindKey", {"0", "'<Control><Alt>g'"}},
           {"UnbindKey", {"0"}},
           {"PlateCreate", {"'{\"text\": \"x\"}'"}},
           {"PlateSet", {"1", "0", "0", "1", "true"}},
           {"PlateDestroy", {"1"}},
           {"ButtonShow", {"'x'", "'y'"}},
           {"MenuFill", {"'[]'"}},
           {"WatchMonitors", {"true"}}}) {
    const auto r = desktop_->call(method, args, true);
    EXPECT_NE(r.err.find("AccessDenied"), std::string::npos) << method << r.out << r.err;
  }
  EXPECT_EQ(desktop_->facts(), before);
  auto monitor =
      spawn({"stdbuf", "-oL", "gdbus", "monitor", "--session", "--dest", "org.tessaloom.Shell"});
  // A client of its own binds a key and leaves: what it made goes, the tray's stays. A bare
  // key, or one with a single modifier, is never bound. The tray alone hears of its keys and
  // of the frames of the windows it moved.
  ASSERT_EQ(desktop_->call("BindKey", {"7", "'<Control><Alt>y'"}).status, 0);
  EXPECT_EQ(desktop_->call("BindKey", {"8", "'<Control>a'"}).out, "(false,)\n");
  ASSERT_TRUE(desktop_->press('g'));
  const auto arranged = [&] {
    const auto plates = desktop_->facts()["plates"];
    return !plates.empty() && plates[0]["text"] == "Auto grid (3 windows)";
  };
  ASSERT_TRUE(testing::waitUntil(arranged, 10)) << "Control+Alt+G arranged nothing";
  EXPECT_TRUE(desktop_->facts().value("button", false));
  monitor->signal(SIGTERM);
  const std::string heard = monitor->rest(testing::after(5));
  for (const char* signal : {"KeyPressed", "Frames"})
    EXPECT_EQ(heard.find(signal), std::string::npos) << signal;
  tray->signal(SIGTERM);
  ASSERT_TRUE(tray->waitExit(testing::after(10)));
  EXPECT_EQ(tray->status(), 0) << dir_.read("spawned.log");
  // GNOME has no layer shell: the tray has no business asking for it.
  EXPECT_EQ(dir_.read("spawned.log").find("Layer Shell"), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(gnome, GnomeTray, ::testing::Values(std::pair("enabled", "")),
                         [](const auto& p) { return p.param.first; });

}  // namespace
}  // namespace tessaloom::e2e
