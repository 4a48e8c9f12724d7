// sway (headless, run as an unprivileged user when the tests run as root) and i3 (on a fresh
// Xvfb) for the scenarios: X11 test clients (through XWayland on sway), windows read back from
// the layout tree with swaymsg or i3-msg.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "e2e/desktop.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

/// Waits, checking every 20 ms, until `done` holds; false after `seconds`.
inline bool waitUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = x11test::after(seconds);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (x11test::Clock::now() >= deadline) return false;
  return true;
}

class TilingDesktop : public Desktop {
  using Json = nlohmann::json;

 public:
  explicit TilingDesktop(const std::string& kind) : sway_(kind == "sway") {}
  ~TilingDesktop() override {
    clients_.clear();
    wm_.reset();
  }

  std::string start(const std::filesystem::path& folder, int monitors) override {
    dir_ = folder;
    monitors_ = monitors;
    std::filesystem::create_directories(folder);
    for (const char* p : {sway_ ? "sway" : "i3", sway_ ? "swaymsg" : "i3-msg", "Xvfb", "setpriv"})
      if (!x11test::onPath(p)) return std::string(p) + " is not installed";
    const std::string error = sway_ ? startSway() : startI3();
    if (!error.empty() || monitors < 2) return error;
    if (sway_) {
      command("create_output; output HEADLESS-2 resolution 1280x720 position 1920 0");
    } else {  // i3 follows RandR monitors by itself
      xrandr({"--setmonitor", "*LEFT", "960/254x1080/286+0+0", "screen"});
      xrandr({"--setmonitor", "RIGHT", "960/254x1080/286+960+0", "none"});
    }
    const bool two = waitUntil([&] { return ask("get_workspaces").size() == 2; }, 10);
    return two ? "" : "the second monitor did not come";
  }

  Environment environment() const override {
    if (!sway_)  // the program finds i3 through the socket path on the root window
      return {{"DISPLAY", display_}, {"-SWAYSOCK", ""}, {"-I3SOCK", ""}, {"-WAYLAND_DISPLAY", ""}};
    // A path, not a name: the runtime folder stays the caller's.
    return {{"SWAYSOCK", socket_},
            {"WAYLAND_DISPLAY", wayland_},
            {"DISPLAY", display_},
            {"-I3SOCK", ""}};
  }

  std::string launchCommand(const App& app, const std::vector<WindowSpec>& windows) const override {
    std::string line;
    for (const auto& arg : clientArguments(app, windows, {})) line += " \"" + arg + "\"";
    return line.substr(1);
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    return open(app, windows, {});
  }
  /// As open(), with `extra` test client options for every window.
  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows,
                                  const std::vector<std::string>& extra) {
    clients_[app.identifier].push_back(x11test::Process::start(clientArguments(app, windows, extra),
                                                               clientEnvironment(),
                                                               (dir_ / "clients.log").string()));
    for (const auto& w : windows)
      if (w.maximized) maximized_.insert(w.title);
    std::map<std::string, std::uint64_t> shown;
    if (!waitUntil(
            [&] {
              for (const auto& [con, seen] : tree())
                for (const auto& w : windows)
                  if (seen.title == w.title) shown[w.title] = con;
              return shown.size() == windows.size();
            },
            15))
      return ::testing::AssertionFailure() << "the windows of " << app.name << " did not show";
    // Each to the monitor that holds the middle of the frame it asks for.
    std::string moves;
    for (const auto& w : windows)
      for (const auto& m : monitors())
        if (monitors_ > 1 && m.frame.contains({w.frame.midX(), w.frame.midY()}))
          moves += "[con_id=" + std::to_string(shown[w.title]) + "] move container to output " +
                   m.name + "; ";
    return outcome(moves.empty() || command(moves), "cannot move the windows of " + app.name);
  }

  ::testing::AssertionResult quit(const App& app) override {
    clients_.erase(app.identifier);
    return outcome(waitUntil(
                       [&] {
                         for (const auto& w : windows())
                           if (w.app == app.identifier) return false;
                         return true;
                       },
                       10),
                   "the windows of " + app.name + " stay");
  }

  /// The windows of the visible workspaces in tree order. A window the desktop sizes itself
  /// (tiled) is the counterpart of a maximized one.
  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> all;
    for (auto& [con, w] : tree()) all.push_back(std::move(w));
    return all;
  }

  std::vector<Monitor> monitors() override {
    std::vector<Monitor> all = {{"screen", {0, 0, 1920, 1080}, {}}};
    if (sway_)
      all = {{"HEADLESS-1", {0, 0, 1920, 1080}, {}}, {"HEADLESS-2", {1920, 0, 1280, 720}, {}}};
    else if (monitors_ == 2)
      all = {{"LEFT", {0, 0, 960, 1080}, {}}, {"RIGHT", {960, 0, 960, 1080}, {}}};
    all.resize(static_cast<std::size_t>(monitors_));
    for (auto& m : all) m.usable = m.frame;  // no bars
    return all;
  }

  /// The program takes the monitor of the focused workspace for the pointer's.
  ::testing::AssertionResult pointAt(int monitor) override {
    const std::string name = monitors().at(static_cast<std::size_t>(monitor)).name;
    return outcome(command("focus output " + name), "cannot focus " + name);
  }

  /// On the desktop's own keyboard: a virtual Wayland one (wtype) on sway, XTEST on i3.
  bool press(char letter) override {
    const std::string key(1, letter);
    auto argv =
        sway_ ? asUser({x11test::findProgram("wtype"), "-M", "ctrl", "-M", "alt", key, "-m", "alt",
                        "-m", "ctrl"})
              : std::vector<std::string>{x11test::findProgram("xdotool"), "key", "ctrl+alt+" + key};
    const std::string program = argv.front();
    argv.erase(argv.begin());
    return testing::runProgram(program, argv, environment(), 10).status == 0;
  }

  /// sway or i3 itself.
  pid_t compositorPid() const { return wm_ ? wm_->pid() : -1; }

  /// The reply to a swaymsg / i3-msg request of `type` ("get_tree", "command"); null when none.
  Json ask(const std::string& type, const std::string& payload = "") const {
    std::vector<std::string> args = {"-s", socket_, "-t", type};
    if (sway_) args.push_back("-r");
    if (!payload.empty()) args.push_back(payload);
    const auto r =
        testing::runProgram(x11test::findProgram(sway_ ? "swaymsg" : "i3-msg"), args, {}, 10);
    return Json::parse(r.out, nullptr, false);
  }
  /// Whether sway or i3 ran `commands`.
  bool command(const std::string& commands) const {
    const Json r = ask("command", commands);
    return r.is_array() && !r.empty() && r.back().value("success", false);
  }

 private:
  // Floating: a client that exits on its first resize (instance "floating"), which must not
  // meet the tiling's before the test sees its window; and the terminal, which the tiling would
  // move when the others leave it.
  static constexpr const char* kFloatingRule =
      "for_window [instance=\"^(floating|xterm)$\"] floating enable\n";
  // The user sway runs as when the tests run as root (sway refuses root).
  static constexpr const char* kSwayUser = "tessaloom-wm";

  static ::testing::AssertionResult outcome(bool ok, const std::string& why) {
    return ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << why;
  }

  std::vector<std::string> clientArguments(const App& app, const std::vector<WindowSpec>& windows,
                                           const std::vector<std::string>& extra) const {
    std::vector<std::string> argv = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    auto n = [](double v) { return std::to_string(std::lround(v)); };
    for (const auto& w : windows) {
      const Rect& f = w.frame;
      argv.insert(argv.end(), {"--window", "--class",
                               (w.vanishes ? "floating," : app.identifier + ",") + app.identifier,
                               "--title", w.title, "--geometry",
                               n(f.width) + "x" + n(f.height) + "+" + n(f.x) + "+" + n(f.y)});
      if (w.vanishes) argv.push_back("--exit-on-resize");
      argv.insert(argv.end(), extra.begin(), extra.end());
    }
    return asUser(argv);
  }

  // XWayland admits only its own user's clients.
  std::vector<std::string> asUser(std::vector<std::string> argv) const {
    const passwd* user = sway_ && ::getuid() == 0 ? ::getpwnam(kSwayUser) : nullptr;
    if (!user) return argv;
    argv.insert(argv.begin(),
                {x11test::findProgram("setpriv"), "--reuid=" + std::to_string(user->pw_uid),
                 "--regid=" + std::to_string(user->pw_gid), "--clear-groups"});
    return argv;
  }

  std::vector<std::string> clientEnvironment() const {
    std::vector<std::string> env;
    for (const auto& [name, value] : environment())
      if (name.front() != '-') env.push_back(name + "=" + value);
    return env;
  }

  void xrandr(const std::vector<std::string>& args) const {
    testing::runProgram(x11test::findProgram("xrandr"), args, {{"DISPLAY", display_}}, 10);
  }

  std::string startSway() {
    if (::getuid() == 0 && !::getpwnam(kSwayUser) &&
        testing::runProgram(x11test::findProgram("useradd"), {"--system", kSwayUser}, {}, 20)
                .status != 0)
      return "cannot create the user sway runs as";
    runtime_ = (dir_ / "run").string();
    std::filesystem::create_directories(runtime_);
    std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
    const passwd* user = ::getuid() == 0 ? ::getpwnam(kSwayUser) : nullptr;
    if (user) {
      if (::chown(runtime_.c_str(), user->pw_uid, user->pw_gid) != 0)
        return "cannot hand the runtime folder to " + std::string(kSwayUser);
      // The sway user reaches its folder through the test's.
      for (auto p = dir_; p.has_relative_path(); p = p.parent_path())
        std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
    }
    const std::string config = (dir_ / "sway.config").string();
    std::ofstream(config) << "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                          << kFloatingRule;
    wm_ = x11test::Process::start(
        asUser({x11test::findProgram("sway"), "-c", config}),
        {"XDG_RUNTIME_DIR=" + runtime_, "HOME=" + runtime_, "WLR_BACKENDS=headless",
         "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WAYLAND_DISPLAY=", "DISPLAY="},
        (dir_ / "sway.log").string());
    socket_ = runtime_ + "/sway-ipc." + std::to_string(user ? user->pw_uid : ::getuid()) + "." +
              std::to_string(compositorPid()) + ".sock";
    if (!waitUntil([&] { return ask("get_version").is_object(); }, 20))
      return "sway did not open its socket";
    for (const auto& e : std::filesystem::directory_iterator(runtime_))
      if (e.path().extension() != ".lock" && e.path().filename().string().starts_with("wayland-"))
        wayland_ = e.path().string();
    // XWayland's display, as sway hands it to what it starts.
    const std::string file = runtime_ + "/display";
    command("exec printf %s \"$DISPLAY\" > " + file + ".part && mv " + file + ".part " + file);
    waitUntil([&] { return std::filesystem::exists(file); }, 5);
    std::ifstream(file) >> display_;
    return display_.empty() ? "sway did not say where XWayland is" : "";
  }

  std::string startI3() {
    std::string error;
    xvfb_ = x11test::XServer::start((dir_ / "xvfb.log").string(), error);
    if (!xvfb_) return error;
    display_ = xvfb_->display();
    socket_ = (dir_ / "i3.sock").string();
    // Without the header line i3 converts the file and adds a bar of its own.
    const std::string config = (dir_ / "i3.config").string();
    std::ofstream(config) << "# i3 config file (v4)\nfont pango:monospace 8\nipc-socket " << socket_
                          << "\n"
                          << kFloatingRule;
    wm_ = x11test::Process::start({"i3", "-c", config},
                                  {"DISPLAY=" + display_, "HOME=" + dir_.string()},
                                  (dir_ / "i3.log").string());
    return waitUntil([&] { return ask("get_version").is_object(); }, 20)
               ? ""
               : "i3 did not open its socket";
  }

  // The windows of the visible workspaces in tree order, by container.
  std::vector<std::pair<std::uint64_t, SeenWindow>> tree() const {
    std::set<std::uint64_t> visible;
    for (const auto& ws : ask("get_workspaces"))
      if (ws.value("visible", false)) visible.insert(ws.value("id", std::uint64_t{0}));
    std::vector<std::pair<std::uint64_t, SeenWindow>> found;
    collect(ask("get_tree"), visible, false, false, found);
    return found;
  }

  void collect(const Json& node, const std::set<std::uint64_t>& visible, bool shown, bool floating,
               std::vector<std::pair<std::uint64_t, SeenWindow>>& out) const {
    const std::string type = node.value("type", "");
    if (type == "workspace") shown = visible.count(node.value("id", std::uint64_t{0})) > 0;
    if (shown && node.contains("window") && node["window"].is_number()) {
      auto rect = [&](const char* key) {
        const auto& r = node.at(key);
        return Rect(r["x"], r["y"], r["width"], r["height"]);
      };
      // sway's rect leaves the title bar out.
      const double bar = sway_ ? rect("deco_rect").height : 0;
      const Rect inner = rect("rect");
      const std::string title = node.value("name", "");
      out.push_back({node.value("id", std::uint64_t{0}),
                     {node.value("window_properties", Json::object()).value("class", ""), title,
                      Rect(inner.x, inner.y - bar, inner.width, inner.height + bar),
                      !floating && maximized_.count(title) > 0}});
    }
    for (const char* key : {"nodes", "floating_nodes"})
      for (const auto& child : node.value(key, Json::array()))
        collect(child, visible, shown, floating || key[0] == 'f', out);
  }

  bool sway_;
  int monitors_ = 1;
  std::filesystem::path dir_;
  std::string runtime_, socket_, wayland_, display_;
  std::unique_ptr<x11test::XServer> xvfb_;
  std::unique_ptr<x11test::Process> wm_;
  std::map<std::string, std::vector<std::unique_ptr<x11test::Process>>> clients_;
  std::set<std::string> maximized_;
};

}  // namespace tessaloom::e2e
