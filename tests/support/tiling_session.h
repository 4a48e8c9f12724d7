// A private sway (headless, run as an unprivileged user) or i3 (on a fresh Xvfb) for the
// end-to-end tests, its test clients (foot and the X11 test client, on sway through XWayland),
// and a probe that reads the layout tree with swaymsg or i3-msg, independently of the backend.
// Every wait is bounded.
#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::tilingtest {

using x11test::after;
using x11test::Clock;
using x11test::Process;
using x11test::TempDir;

/// One client window as the probe finds it.
struct TreeWindow {
  std::uint64_t con = 0;
  std::string title;
  std::string app;        // app_id, else the X11 class
  std::uint32_t pid = 0;  // sway says; i3 does not
  Rect frame;             // the outer frame, title bar included
  bool focused = false;
};

/// Windows whose title starts with "Floating " open floating: a client that reacts to its
/// first resize must not meet the tiling's before the test sees its window.
inline constexpr const char* kFloatingRule = "for_window [title=\"^Floating \"] floating enable\n";

/// The user sway runs as when the tests run as root (sway refuses root).
inline constexpr const char* kSwayUser = "tessaloom-wm";

class TilingSession {
 public:
  ~TilingSession() { stop(); }

  /// Starts `kind` ("sway" or "i3") with its files in `dir`, sway with its debug log when
  /// `debugLog`; the empty string, or why not.
  std::string start(const std::string& kind, const TempDir& dir, bool debugLog = false) {
    kind_ = kind;
    dir_ = dir.path();
    debugLog_ = debugLog;
    return kind == "sway" ? startSway() : startI3();
  }

  void stop() {
    probe_.reset();
    clients_.clear();
    wm_.reset();
    xvfb_.reset();
  }

  const std::string& kind() const { return kind_; }
  bool sway() const { return kind_ == "sway"; }
  /// sway or i3 itself.
  Process& compositor() { return *wm_; }
  /// The X display: i3's Xvfb, or sway's XWayland.
  const std::string& display() const { return display_; }

  /// The environment the program runs in on this desktop.
  std::vector<std::pair<std::string, std::string>> programEnvironment() const {
    if (sway())
      return {{"SWAYSOCK", socket_},
              {"WAYLAND_DISPLAY", wayland_},
              {"XDG_RUNTIME_DIR", runtime_},
              {"DISPLAY", display_},
              {"-I3SOCK", ""}};
    // i3 is found through the socket path on its root window.
    return {{"DISPLAY", display_}, {"-SWAYSOCK", ""}, {"-I3SOCK", ""}, {"-WAYLAND_DISPLAY", ""}};
  }

  /// The reply to a swaymsg / i3-msg request of `type` ("get_tree", "command").
  nlohmann::json ask(const std::string& type, const std::string& payload = "") {
    std::vector<std::string> args = {"-s", socket_, "-t", type};
    if (sway()) args.push_back("-r");
    if (!payload.empty()) args.push_back(payload);
    const auto r =
        testing::runProgram(x11test::findProgram(sway() ? "swaymsg" : "i3-msg"), args, {}, 10);
    return nlohmann::json::parse(r.out, nullptr, false);
  }

  /// The windows on the visible workspaces, in tree order, with their outer frames.
  std::vector<TreeWindow> windows() {
    std::vector<TreeWindow> found;
    const auto workspaces = ask("get_workspaces");
    std::set<std::uint64_t> visible;
    if (workspaces.is_array())
      for (const auto& ws : workspaces)
        if (ws.value("visible", false)) visible.insert(ws.value("id", std::uint64_t{0}));
    collect(ask("get_tree"), visible, false, found);
    return found;
  }

  /// The outer frame of the window titled `title`; nothing when it is not shown.
  std::optional<Rect> frameOf(const std::string& title) {
    for (const auto& w : windows())
      if (w.title == title) return w.frame;
    return std::nullopt;
  }

  /// Starts a client with windows titled `titles` for `app` (a foot per window on sway for a
  /// native application, one X11 test client otherwise) and waits until they are shown. The
  /// index of the client (several processes for foot), or -1.
  std::vector<int> open(const std::string& app, const std::vector<std::string>& titles, bool x11,
                        const std::vector<std::string>& extra = {}) {
    std::vector<int> made;
    auto add = [&](std::vector<std::string> argv) {
      auto p = Process::start(asUser(std::move(argv)), clientEnvironment(),
                              (dir_ / "clients.log").string());
      if (!p) return;
      made.push_back(static_cast<int>(clients_.size()));
      clients_.push_back(std::move(p));
    };
    if (x11) {
      std::vector<std::string> argv = {testClient()};
      const std::string wmClass = app.substr(app.find(',') + 1);
      for (const auto& t : titles) {
        argv.insert(argv.end(), {"--window", "--class", app, "--title", t});
        argv.insert(argv.end(), extra.begin(), extra.end());
      }
      add(argv);
    } else {
      for (const auto& t : titles) add({"foot", "--app-id", app, "-T", t, "sleep", "100000"});
    }
    const bool shown = waitUntil(
        [&] {
          std::size_t n = 0;
          for (const auto& w : windows())
            for (const auto& t : titles) n += w.title == t;
          return n == titles.size();
        },
        15);
    return shown ? made : std::vector<int>{};
  }

  /// Ends client `index` and waits until its windows are gone.
  bool quit(int index, const std::vector<std::string>& titles) {
    clients_[static_cast<std::size_t>(index)]->stop();
    return waitUntil(
        [&] {
          for (const auto& w : windows())
            for (const auto& t : titles)
              if (w.title == t) return false;
          return true;
        },
        10);
  }

  /// Adds a second output of 1280x720 to the right of the first (sway), or splits the one
  /// screen into LEFT and RIGHT monitors (i3 follows RandR by itself).
  bool addOutput() {
    if (sway()) {
      ask("command", "create_output");
      ask("command", "output HEADLESS-2 resolution 1280x720 position 1920 0");
      return waitUntil([&] { return ask("get_outputs").size() == 2; }, 5);
    }
    const std::vector<std::pair<std::string, std::string>> env = {{"DISPLAY", display_}};
    testing::runProgram("/usr/bin/xrandr",
                        {"--setmonitor", "*LEFT", "960/254x1080/286+0+0", "screen"}, env, 10);
    testing::runProgram("/usr/bin/xrandr",
                        {"--setmonitor", "RIGHT", "960/254x1080/286+960+0", "none"}, env, 10);
    return waitUntil(
        [&] {
          const auto outputs = ask("get_outputs");
          int active = 0;
          if (outputs.is_array())
            for (const auto& o : outputs) active += o.value("active", false);
          return active == 2;
        },
        10);
  }

  /// Presses Control+Alt+G on the desktop's own keyboard: a virtual Wayland keyboard (wtype,
  /// as sway's user) on sway, XTEST (xdotool) on i3.
  bool pressControlAltG() {
    if (!sway())
      return testing::runProgram(x11test::findProgram("xdotool"), {"key", "ctrl+alt+g"},
                                 {{"DISPLAY", display_}}, 10)
                 .status == 0;
    auto argv = asUser({"wtype", "-M", "ctrl", "-M", "alt", "g", "-m", "alt", "-m", "ctrl"});
    const std::string program = argv.front();
    argv.erase(argv.begin());
    return testing::runProgram(x11test::findProgram(program), argv,
                               {{"WAYLAND_DISPLAY", wayland_}, {"XDG_RUNTIME_DIR", runtime_}}, 10)
               .status == 0;
  }

  /// Whether the tray's plate shows (`shown`), or has gone again. sway's IPC lists no layer
  /// surfaces: there its debug log tells when one of the tray's namespace goes on the overlay
  /// layer and when it is destroyed. On i3 it is an override-redirect window titled as plates
  /// are, viewable while it shows.
  bool plate(bool shown) {
    if (sway()) {
      std::ifstream in(dir_ / "sway.log");
      const std::string log((std::istreambuf_iterator<char>(in)), {});
      return log.find(shown ? "new layer surface: namespace tessaloom-hud layer 3 "
                            : "Layer surface destroyed (tessaloom-hud)") != std::string::npos;
    }
    if (!probe_) probe_ = std::make_unique<x11test::Probe>(display_);
    xcb_connection_t* c = probe_->raw();
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, probe_->root()), nullptr);
    bool viewable = false;
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
      const xcb_window_t w = xcb_query_tree_children(tree)[i];
      auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
      viewable = viewable || (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE &&
                              probe_->text(w, "WM_NAME") == "Tessaloom HUD");
      std::free(a);
    }
    std::free(tree);
    return viewable == shown;
  }

  /// Waits, checking every 20 ms, until `done` holds; false after `seconds`.
  static bool waitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = after(seconds);
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  static std::string testClient() {
    return (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient")
        .string();
  }

 private:
  // Runs as the sway user (XWayland admits only its own user's clients).
  std::vector<std::string> asUser(std::vector<std::string> argv) const {
    if (!sway() || ::getuid() != 0) return argv;
    const passwd* user = ::getpwnam(kSwayUser);
    if (!user) return argv;
    std::vector<std::string> prefixed = {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
                                         "--regid=" + std::to_string(user->pw_gid),
                                         "--clear-groups"};
    prefixed.insert(prefixed.end(), argv.begin(), argv.end());
    return prefixed;
  }

  std::vector<std::string> clientEnvironment() const {
    std::vector<std::string> env = {"DISPLAY=" + display_};
    if (sway())
      env.insert(env.end(), {"WAYLAND_DISPLAY=" + wayland_, "XDG_RUNTIME_DIR=" + runtime_,
                             "HOME=" + runtime_});
    return env;
  }

  std::string startSway() {
    if (::getuid() == 0 && !::getpwnam(kSwayUser)) {
      const auto r = testing::runProgram(
          x11test::findProgram("useradd"),
          {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kSwayUser}, {}, 20);
      if (r.status != 0) return "cannot create the user sway runs as: " + r.err;
    }
    runtime_ = (dir_ / "run").string();
    std::filesystem::create_directories(runtime_);
    ::chmod(runtime_.c_str(), 0700);
    if (::getuid() == 0) {
      const passwd* user = ::getpwnam(kSwayUser);
      if (!user || ::chown(runtime_.c_str(), user->pw_uid, user->pw_gid) != 0)
        return "cannot hand the runtime folder to " + std::string(kSwayUser);
      // The test's folder must be reachable for the sway user.
      ::chmod(dir_.c_str(), 0755);
    }
    const std::string config = (dir_ / "sway.config").string();
    std::ofstream(config) << "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                             "xwayland enable\n"
                          << kFloatingRule;
    ::chmod(config.c_str(), 0644);
    std::vector<std::string> argv = {"sway", "-c", config};
    if (debugLog_) argv.push_back("-d");
    wm_ = Process::start(
        asUser(argv),
        {"XDG_RUNTIME_DIR=" + runtime_, "HOME=" + runtime_, "WLR_BACKENDS=headless",
         "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WAYLAND_DISPLAY=", "DISPLAY="},
        (dir_ / "sway.log").string());
    if (!wm_) return "sway could not be started";
    const bool up = waitUntil(
        [&] {
          for (const auto& e : std::filesystem::directory_iterator(runtime_)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("sway-ipc.", 0) == 0) socket_ = e.path().string();
            if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos)
              wayland_ = name;
          }
          return !socket_.empty() && !wayland_.empty() && ask("get_version").is_object();
        },
        20);
    if (!up) return "sway did not open its socket";
    // XWayland's display, as sway hands it to what it starts.
    const std::string file = runtime_ + "/display";
    ask("command", "exec printf %s \"$DISPLAY\" > " + file);
    waitUntil([&] { return std::filesystem::exists(file); }, 5);
    std::ifstream(file) >> display_;
    return display_.empty() ? "sway did not say where XWayland is" : "";
  }

  std::string startI3() {
    std::string error;
    xvfb_ = x11test::XServer::start((dir_ / "xvfb.log").string(), error);
    if (!xvfb_) return error;
    display_ = xvfb_->display();
    // Without the header line i3 converts the file and adds a bar of its own.
    const std::string config = (dir_ / "i3.config").string();
    std::ofstream(config) << "# i3 config file (v4)\nfont pango:monospace 8\n" << kFloatingRule;
    wm_ = Process::start({"i3", "-c", config}, {"DISPLAY=" + display_, "HOME=" + dir_.string()},
                         (dir_ / "i3.log").string());
    if (!wm_) return "i3 could not be started";
    const bool up = waitUntil(
        [&] {
          const auto r = testing::runProgram(x11test::findProgram("i3"), {"--get-socketpath"},
                                             {{"DISPLAY", display_}}, 5);
          socket_ = r.out.substr(0, r.out.find('\n'));
          return !socket_.empty() && ask("get_version").is_object();
        },
        20);
    return up ? "" : "i3 did not open its socket";
  }

  void collect(const nlohmann::json& node, const std::set<std::uint64_t>& visible, bool shown,
               std::vector<TreeWindow>& out) {
    if (!node.is_object()) return;
    const std::string type = node.value("type", "");
    if (type == "workspace") shown = visible.count(node.value("id", std::uint64_t{0})) > 0;
    if (type == "dockarea") return;
    const bool leaf = node.value("nodes", nlohmann::json::array()).empty() &&
                      node.value("floating_nodes", nlohmann::json::array()).empty();
    if (shown && leaf && (type == "con" || type == "floating_con") &&
        (node.value("app_id", nlohmann::json()).is_string() ||
         node.value("window", nlohmann::json()).is_number())) {
      auto rect = [&](const char* key) {
        const auto& r = node.at(key);
        return Rect(r["x"], r["y"], r["width"], r["height"]);
      };
      TreeWindow w{node.value("id", std::uint64_t{0}),
                   node.value("name", ""),
                   "",
                   node.value("pid", 0u),
                   rect("rect"),
                   node.value("focused", false)};
      w.app = node.value("app_id", nlohmann::json()).is_string()
                  ? node.at("app_id").get<std::string>()
                  : node.value("window_properties", nlohmann::json::object()).value("class", "");
      // sway's rect leaves the title bar out.
      if (sway()) {
        const double title = rect("deco_rect").height;
        w.frame = Rect(w.frame.x, w.frame.y - title, w.frame.width, w.frame.height + title);
      }
      out.push_back(w);
      return;
    }
    for (const char* key : {"nodes", "floating_nodes"})
      if (node.contains(key))
        for (const auto& child : node.at(key)) collect(child, visible, shown, out);
  }

  std::string kind_;
  std::filesystem::path dir_;
  bool debugLog_ = false;
  std::unique_ptr<x11test::Probe> probe_;
  std::string runtime_, socket_, wayland_, display_;
  std::unique_ptr<x11test::XServer> xvfb_;
  std::unique_ptr<Process> wm_;
  std::vector<std::unique_ptr<Process>> clients_;
};

}  // namespace tessaloom::tilingtest
