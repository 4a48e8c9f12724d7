// sway (headless, as an unprivileged user when the tests run as root) and i3 (on Xvfb) for the
// scenarios: X11 test clients (through XWayland on sway), windows read with swaymsg or i3-msg.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/desktop.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

class TilingDesktop : public Desktop {
  using Json = nlohmann::json;

 public:
  explicit TilingDesktop(const std::string& kind) : sway_(kind == "sway") {}

  std::string start(const std::filesystem::path& folder, int monitors) override {
    dir_ = folder;
    monitors_ = monitors;
    std::filesystem::create_directories(folder);
    for (const char* p : {sway_ ? "sway" : "i3", sway_ ? "swaymsg" : "i3-msg", "Xvfb", "setpriv"})
      if (!x11test::onPath(p)) return std::string(p) + " is not installed";
    const std::string error = sway_ ? startSway() : startI3();
    if (!error.empty()) return error;
    if (sway_ && monitors > 1)
      command("create_output; output HEADLESS-2 resolution 1280x720 position 1920 0");
    // i3 follows RandR monitors by itself.
    for (int i = 0; !sway_ && i < monitors; ++i)
      run({"xrandr", "--setmonitor", i ? "RIGHT" : "*LEFT",
           i ? "1280/338x720/190+1920+0" : "1920/508x1080/286+0+0", i ? "none" : "screen"},
          {{"DISPLAY", display_}});
    const std::string last = "\"" + this->monitors().back().name + "\"";
    return until([&] { return ask("get_workspaces").dump().find(last) != std::string::npos; })
               ? ""
               : "no monitor " + last;
  }

  Environment environment() const override {
    if (!sway_)  // the program finds i3 through the socket path on the root window
      return {{"DISPLAY", display_}, {"-SWAYSOCK", ""}, {"-I3SOCK", ""}, {"-WAYLAND_DISPLAY", ""}};
    // A path, not a name: the runtime folder stays the caller's.
    return {{"SWAYSOCK", socket_}, {"WAYLAND_DISPLAY", wayland_}, {"DISPLAY", display_}};
  }

  std::string launchCommand(const App& app, const std::vector<WindowSpec>& windows) const override {
    std::string line;
    for (const auto& arg : clientArguments(app, windows)) line += " \"" + arg + "\"";
    return line.substr(1);
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    clients_[app.identifier].push_back(x11test::Process::start(
        clientArguments(app, windows), {"DISPLAY=" + display_}, (dir_ / "clients.log").string()));
    return await(windows.size(), "the windows of " + app.name + " did not show", [&](auto& seen) {
      return std::any_of(windows.begin(), windows.end(),
                         [&](auto& w) { return w.title == seen.title; });
    });
  }

  ::testing::AssertionResult quit(const App& app) override {
    clients_.erase(app.identifier);
    return await(0, "the windows of " + app.name + " stay",
                 [&](auto& seen) { return seen.app == app.identifier; });
  }

  /// In tree order, but for the scratchpad's (no test hides a workspace). A window the desktop
  /// sizes itself (tiled) stands for a maximized one.
  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> all;
    collect(ask("get_tree"), false, all);
    return all;
  }

  std::vector<Monitor> monitors() override {  // no bars
    std::vector<Monitor> all = {
        {sway_ ? "HEADLESS-1" : "LEFT", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {sway_ ? "HEADLESS-2" : "RIGHT", {1920, 0, 1280, 720}, {1920, 0, 1280, 720}}};
    all.resize(static_cast<std::size_t>(monitors_));
    return all;
  }

  /// The program takes the monitor of the focused workspace for the pointer's.
  ::testing::AssertionResult pointAt(int monitor) override {
    const std::string name = monitors().at(static_cast<std::size_t>(monitor)).name;
    if (command("focus output " + name)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot focus " << name;
  }

  /// On the desktop's own keyboard: a virtual Wayland one (wtype) on sway, XTEST on i3.
  bool press(char letter) override {
    const std::string key(1, letter);
    if (sway_)
      return run(asUser({"wtype", "-M", "ctrl", "-M", "alt", key, "-m", "alt", "-m", "ctrl"}),
                 environment());
    return run({"xdotool", "key", "ctrl+alt+" + key}, environment());
  }

  pid_t compositorPid() const { return wm_ ? wm_->pid() : -1; }
  /// Options of the test client for every window opened from now on.
  std::vector<std::string> clientOptions;

 private:
  // Floating: a client that exits on its first resize (instance "floating"), which must not
  // meet the tiling's before the test sees it; the terminal, which the tiling would move.
  static constexpr const char* kFloatingRule =
      "for_window [instance=\"^(floating|xterm)$\"] floating enable\n";
  // sway refuses to run as root.
  static constexpr const char* kSwayUser = "tessaloom-wm";

  // Checks every 20 ms until `done` holds; false after `seconds`.
  static bool until(const std::function<bool()>& done, double seconds = 15) {
    const auto deadline = x11test::after(seconds);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (x11test::Clock::now() >= deadline) return false;
    return true;
  }

  // Waits until `count` windows are `which`.
  ::testing::AssertionResult await(std::size_t count, const std::string& why,
                                   const std::function<bool(const SeenWindow&)>& which) {
    if (until([&] {
          const auto all = windows();
          return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), which)) == count;
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
  }

  static bool run(std::vector<std::string> argv, const Environment& env) {
    const std::string path = x11test::findProgram(argv.front());
    argv.erase(argv.begin());
    return testing::runProgram(path, argv, env, 20).status == 0;
  }

  // The reply to a swaymsg / i3-msg request; discarded when none came.
  Json ask(const std::string& type, const std::string& payload = "") const {
    std::vector<std::string> args = {"-s", socket_, "-t", type};
    if (sway_) args.push_back("-r");
    args.push_back(payload);
    const auto program = x11test::findProgram(sway_ ? "swaymsg" : "i3-msg");
    return Json::parse(testing::runProgram(program, args, {}, 10).out, nullptr, false);
  }

  bool command(const std::string& commands) const {
    const Json r = ask("command", commands);
    return r.is_array() && !r.empty() && r.back().value("success", false);
  }

  std::vector<std::string> clientArguments(const App& app,
                                           const std::vector<WindowSpec>& windows) const {
    std::vector<std::string> argv = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    for (const auto& w : windows) {
      const std::string instance = w.vanishes ? "floating" : app.identifier;
      argv.insert(argv.end(),
                  {"--window", "--class", instance + "," + app.identifier, "--title", w.title});
      if (w.vanishes) argv.push_back("--exit-on-resize");
      argv.insert(argv.end(), clientOptions.begin(), clientOptions.end());
    }
    return asUser(argv);
  }

  // XWayland admits only its own user's clients.
  std::vector<std::string> asUser(std::vector<std::string> argv) const {
    const passwd* user = sway_ && ::getuid() == 0 ? ::getpwnam(kSwayUser) : nullptr;
    if (user)
      argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
                                 "--regid=" + std::to_string(user->pw_gid), "--clear-groups"});
    return argv;
  }

  std::string startSway() {
    if (::getuid() == 0 && !::getpwnam(kSwayUser)) run({"useradd", "--system", kSwayUser}, {});
    const passwd* user = ::getuid() == 0 ? ::getpwnam(kSwayUser) : nullptr;
    if (::getuid() == 0 && !user) return "no user to run sway as";
    const auto runtime = dir_ / "run";
    std::filesystem::create_directories(runtime);
    if (user && ::chown(runtime.c_str(), user->pw_uid, user->pw_gid) != 0)
      return "no runtime folder";
    // The sway user reaches its folder through the test's.
    for (auto p = dir_; user && p.has_relative_path(); p = p.parent_path())
      std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                   std::filesystem::perm_options::add);
    std::ofstream(dir_ / "sway.config") << "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                                        << kFloatingRule;
    wm_ = x11test::Process::start(
        asUser({"sway", "-c", dir_ / "sway.config"}),
        {"XDG_RUNTIME_DIR=" + runtime.string(), "HOME=" + runtime.string(), "WLR_BACKENDS=headless",
         "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WAYLAND_DISPLAY=", "DISPLAY="},
        dir_ / "sway.log");
    socket_ = runtime / ("sway-ipc." + std::to_string(user ? user->pw_uid : ::getuid()) + "." +
                         std::to_string(compositorPid()) + ".sock");
    if (!until([&] { return ask("get_version").is_object(); })) return "sway did not answer";
    for (const auto& e : std::filesystem::directory_iterator(runtime))
      if (e.path().extension() != ".lock" && e.path().filename().string().starts_with("wayland-"))
        wayland_ = e.path();
    // XWayland's display, as sway hands it to what it starts.
    const std::string file = (runtime / "display").string();
    command("exec printf %s \"$DISPLAY\" > " + file + ".part && mv " + file + ".part " + file);
    until([&] { return std::filesystem::exists(file); }, 5);
    std::ifstream(file) >> display_;
    return display_.empty() ? "sway did not say where XWayland is" : "";
  }

  std::string startI3() {
    xvfb_ = x11test::Process::start({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                                     monitors_ > 1 ? "3200x1080x24" : "1920x1080x24"},
                                    {}, dir_ / "xvfb.log");
    const auto number = xvfb_ ? xvfb_->readLine(x11test::after(15)) : std::nullopt;
    if (!number || number->empty()) return "Xvfb did not start";
    display_ = ":" + *number;
    socket_ = dir_ / "i3.sock";
    // Without the header line i3 converts the file and adds a bar of its own.
    std::ofstream(dir_ / "i3.config")
        << "# i3 config file (v4)\nfont pango:monospace 8\nipc-socket " << socket_ << "\n"
        << kFloatingRule;
    wm_ =
        x11test::Process::start({"i3", "-c", dir_ / "i3.config"},
                                {"DISPLAY=" + display_, "HOME=" + dir_.string()}, dir_ / "i3.log");
    return until([&] { return ask("get_version").is_object(); }) ? "" : "i3 did not answer";
  }

  void collect(const Json& node, bool floating, std::vector<SeenWindow>& out) const {
    const Json name = node.value("name", Json());  // null on some of i3's containers
    if (name == "__i3_scratch") return;
    if (node.contains("window") && node["window"].is_number()) {
      auto rect = [&](const char* key) {
        const auto& r = node.at(key);
        return Rect(r["x"], r["y"], r["width"], r["height"]);
      };
      const double bar = sway_ ? rect("deco_rect").height : 0;  // sway's rect leaves it out
      const Rect inner = rect("rect");
      out.push_back({node.value("window_properties", Json::object()).value("class", ""),
                     name.is_string() ? name.get<std::string>() : "",
                     Rect(inner.x, inner.y - bar, inner.width, inner.height + bar), !floating});
    }
    for (const char* key : {"nodes", "floating_nodes"})
      for (const auto& child : node.value(key, Json::array()))
        collect(child, floating || key[0] == 'f', out);
  }

  bool sway_;
  int monitors_ = 1;
  std::filesystem::path dir_;
  std::string socket_, wayland_, display_;
  // Declared so that the clients end first, the X server last.
  std::unique_ptr<x11test::Process> xvfb_, wm_;
  std::map<std::string, std::vector<std::unique_ptr<x11test::Process>>> clients_;
};

}  // namespace tessaloom::e2e
