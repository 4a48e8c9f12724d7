// A private desktop session for the tray application's end-to-end tests: a fresh Xvfb, openbox,
// a session bus, optionally a classic tray (trayer), and the real program on a scene file.
// Every wait is bounded and wakes on output, X events or the process's end.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/glib/single_instance.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::traytest {

using x11test::after;
using x11test::Clock;
using x11test::findProgram;
using x11test::millisecondsUntil;
using x11test::onPath;

/// The tray program: its output lines and its exit status. Ended with SIGTERM (SIGKILL after a
/// grace period) and reaped at the end unless it ended before.
class TrayProcess {
 public:
  static std::unique_ptr<TrayProcess> start(const std::vector<std::string>& env,
                                            const std::string& errorLog) {
    const auto spawned = x11test::spawnReading({TESSALOOM_BINARY}, env, errorLog);
    if (!spawned) return nullptr;
    return std::unique_ptr<TrayProcess>(new TrayProcess(spawned->pid, spawned->out));
  }

  ~TrayProcess() {
    if (!status_) {
      ::kill(pid_, SIGTERM);
      if (!waitExit(10)) {
        ::kill(pid_, SIGKILL);
        waitExit(10);
      }
    }
    ::close(out_);
  }
  TrayProcess(const TrayProcess&) = delete;
  TrayProcess& operator=(const TrayProcess&) = delete;

  pid_t pid() const { return pid_; }

  /// Reads lines until one equals `line`; false at the deadline or the end of the output.
  bool waitForLine(const std::string& line, double seconds) {
    const auto deadline = after(seconds);
    for (;;) {
      const auto newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        const std::string next = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        lines_.push_back(next);
        if (next == line) return true;
        continue;
      }
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, millisecondsUntil(deadline)) <= 0) return false;
      char chunk[512];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
  /// Every line read so far.
  const std::vector<std::string>& lines() const { return lines_; }

  void signal(int sig) {
    if (!status_) ::kill(pid_, sig);
  }

  /// The exit status once the process has ended (128 + signal when a signal ended it);
  /// nothing at the deadline. Woken by the process's end through a pidfd.
  std::optional<int> waitExit(double seconds) {
    if (status_) return status_;
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, millisecondsUntil(after(seconds)));
      ::close(fd);
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }

 private:
  TrayProcess(pid_t pid, int out) : pid_(pid), out_(out) {}
  pid_t pid_;
  int out_;
  std::string buffer_;
  std::vector<std::string> lines_;
  std::optional<int> status_;
};

/// One test's desktop: Xvfb, openbox, a session bus and (when asked and installed) trayer,
/// with a scene, a defaults file and a runtime folder of its own.
class TraySession : public ::testing::Test, protected x11test::PrivateDesktop {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "openbox", "xdotool", "dbus-daemon", "dbus-send"})
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
    const std::string error = startDesktop("openbox");
    ASSERT_TRUE(error.empty()) << error;
    bus_ = x11test::Process::start(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, {},
        file("dbus.log"));
    ASSERT_TRUE(bus_) << "cannot start a session bus";
    const auto address = bus_->readLine(after(15));
    ASSERT_TRUE(address && !address->empty()) << "the session bus gave no address";
    busAddress_ = *address;
    std::filesystem::create_directories(dir_.path() / "runtime");
    writeScene(defaultScene());
  }

  void TearDown() override {
    trays_.clear();
    stopDesktop();
    bus_.reset();
  }

  std::string file(const std::string& name) const { return (dir_.path() / name).string(); }
  const std::string& display() const { return server_->display(); }
  x11test::Probe& probe() { return *probe_; }

  /// Two browser windows and one AI window on one 1920x1080 screen, pointer in its middle.
  static nlohmann::json defaultScene() {
    return {{"screens", {{{"name", "screen"}, {"frame", {0, 0, 1920, 1080}}}}},
            {"mouse", {960, 540}},
            {"apps",
             {{{"pid", 101},
               {"bundleID", "com.google.Chrome"},
               {"name", "Google Chrome"},
               {"windows",
                {{{"title", "Docs"}, {"frame", {100, 80, 900, 700}}},
                 {{"title", "Mail"}, {"frame", {150, 90, 300, 200}}}}}},
              {{"pid", 102},
               {"bundleID", "com.openai.chat"},
               {"name", "ChatGPT"},
               {"windows", {{{"title", "ChatGPT"}, {"frame", {200, 100, 500, 500}}}}}}}}};
  }
  void writeScene(const nlohmann::json& scene) const {
    std::ofstream(file("scene.json")) << scene.dump(2);
  }
  nlohmann::json scene(const std::string& path = {}) const {
    std::ifstream in(path.empty() ? file("scene.json") : path);
    return nlohmann::json::parse(in, nullptr, false);
  }
  /// The frames of every window in the scene (this session's by default), in scene order.
  std::vector<std::vector<double>> frames(const std::string& path = {}) const {
    std::vector<std::vector<double>> out;
    const auto s = scene(path);
    for (const auto& app : s.is_object() ? s["apps"] : nlohmann::json::array())
      for (const auto& w : app["windows"]) out.push_back(w["frame"].get<std::vector<double>>());
    return out;
  }

  /// Starts trayer and waits until it owns the tray selection; false when it is not installed
  /// or does not come up.
  bool startClassicTray() {
    if (!onPath("trayer")) return false;
    trayer_ = x11test::Process::start(
        {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"},
        {"DISPLAY=" + display()}, file("trayer.log"));
    if (!trayer_) return false;
    const xcb_atom_t selection = probe_->atom("_NET_SYSTEM_TRAY_S0");
    return probe_->waitUntil(
        [&] {
          auto* reply = xcb_get_selection_owner_reply(
              probe_->raw(), xcb_get_selection_owner(probe_->raw(), selection), nullptr);
          const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
          std::free(reply);
          return owned;
        },
        15);
  }

  /// LeakSanitizer's options for the program: the libraries' lifelong allocations suppressed.
  static std::string leakOptions() {
    std::string options =
        "suppressions=" TESSALOOM_SOURCE_DIR "/tests/lsan.supp:print_suppressions=0";
    if (const char* given = std::getenv("LSAN_OPTIONS"); given && *given)
      options = std::string(given) + ":" + options;
    return "LSAN_OPTIONS=" + options;
  }

  /// The environment of a tray run in this session.
  std::vector<std::string> trayEnvironment() const {
    return {leakOptions(),
            "DISPLAY=" + display(),
            "DBUS_SESSION_BUS_ADDRESS=" + busAddress_,
            "XDG_RUNTIME_DIR=" + file("runtime"),
            "XDG_CONFIG_HOME=" + file("config"),
            "HOME=" + dir_.path().string(),
            "TESSALOOM_SCENE=" + file("scene.json"),
            "TESSALOOM_DEFAULTS=" + file("defaults.json"),
            "TESSALOOM_TRACE=1",
            "NO_AT_BRIDGE=1"};
  }

  /// Starts a tray copy and waits until it reports that its launch is complete.
  TrayProcess& startTray(std::vector<std::string> extra = {}) {
    auto env = trayEnvironment();
    env.insert(env.end(), extra.begin(), extra.end());
    auto process = TrayProcess::start(env, file("tray.log"));
    EXPECT_TRUE(process) << "cannot start the program";
    if (!process) std::abort();
    EXPECT_TRUE(process->waitForLine("ready", 30)) << "the tray did not start; see tray.log";
    trays_.push_back(std::move(process));
    return *trays_.back();
  }

  /// Ends `tray` with SIGTERM and returns its exit status (nothing if it hangs).
  std::optional<int> quit(TrayProcess& tray) {
    tray.signal(SIGTERM);
    return tray.waitExit(20);
  }

  /// Runs xdotool with `args` on this display; its exit status.
  int xdotool(const std::vector<std::string>& args) {
    return testing::runProgram(findProgram("xdotool"), args, {{"DISPLAY", display()}}).status;
  }

  /// The pid of the copy that owns the tray's name on the session bus; empty when none does.
  std::vector<int> registered() const {
    const auto reply = testing::runProgram(
        findProgram("dbus-send"),
        {"--bus=" + busAddress_, "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
         std::string("string:") + platform::SingleInstance::kBusName},
        {}, 10);
    const auto at = reply.out.find("uint32 ");
    if (reply.status != 0 || at == std::string::npos) return {};
    return {std::stoi(reply.out.substr(at + 7))};
  }

  /// The top-level windows (children of the root) titled `title`, mapped or not.
  std::vector<xcb_window_t> windowsTitled(const std::string& title) {
    std::vector<xcb_window_t> found;
    auto* c = probe_->raw();
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, probe_->root()), nullptr);
    if (!tree) return found;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int n = xcb_query_tree_children_length(tree);
    for (int i = 0; i < n; ++i)
      if (probe_->text(children[i], "WM_NAME") == title) found.push_back(children[i]);
    std::free(tree);
    return found;
  }

  struct Attributes {
    bool viewable = false;
    bool overrideRedirect = false;
  };
  Attributes attributes(xcb_window_t w) {
    auto* c = probe_->raw();
    auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    Attributes out;
    if (a) {
      out.viewable = a->map_state == XCB_MAP_STATE_VIEWABLE;
      out.overrideRedirect = a->override_redirect;
    }
    std::free(a);
    return out;
  }

  /// The feedback plate that is showing now, if any.
  std::optional<xcb_window_t> shownOverlay() {
    for (auto w : windowsTitled("Tessaloom HUD"))
      if (attributes(w).viewable) return w;
    return std::nullopt;
  }

  /// Saves a picture of the screen (or of `crop`, "WxH+X+Y") when TESSALOOM_SCREENSHOTS names a
  /// folder; the documentation pictures are made this way.
  void screenshot(const std::string& name, const std::string& crop = "") {
    const char* folder = std::getenv("TESSALOOM_SCREENSHOTS");
    if (!folder || !*folder || !onPath("import")) return;
    std::vector<std::string> args = {"-window", "root"};
    if (!crop.empty()) args.insert(args.end(), {"-crop", crop, "+repage"});
    args.push_back((std::filesystem::path(folder) / name).string());
    testing::runProgram(findProgram("import"), args, {{"DISPLAY", display()}});
  }

  std::unique_ptr<x11test::Process> bus_;
  std::unique_ptr<x11test::Process> trayer_;
  std::string busAddress_;
  std::vector<std::unique_ptr<TrayProcess>> trays_;
};

}  // namespace tessaloom::traytest
