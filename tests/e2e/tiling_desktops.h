// sway (headless, as nobody when the tests run as root) and i3 (on Xvfb) for the scenarios:
// X11 test clients (through XWayland on sway), windows read with swaymsg or i3-msg.
#pragma once

#include <pwd.h>

#include <map>
#include <nlohmann/json.hpp>

#include "e2e/desktop.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

class TilingDesktop : public Desktop {
  using Json = nlohmann::json;

 public:
  explicit TilingDesktop(const std::string& kind) : sway_(kind == "sway") {}

  std::string start(const std::filesystem::path& folder, int monitors) override {
    dir_ = folder, monitors_ = started_ = monitors;
    for (const char* p : {sway_ ? "sway" : "i3", sway_ ? "swaymsg" : "i3-msg", "Xvfb", "setpriv"})
      if (!testing::onPath(p)) return std::string(p) + " is not installed";
    const auto runtime = this->runtime();
    std::filesystem::create_directories(runtime);
    if (const passwd* user = swayUser()) {  // its runtime folder, and a way in to its files
      if (::chown(runtime.c_str(), user->pw_uid, user->pw_gid) != 0) return "no runtime folder";
      for (auto p = dir_; p.has_relative_path(); p = p.parent_path())
        std::filesystem::permissions(p, std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
    }
    std::string error = "the window manager did not start";
    if (!sway_ && (xvfb_ = x11test::XServer::start(dir_ / "xvfb.log", error,
                                                   monitors > 1 ? "3200x1080x24" : "1920x1080x24")))
      display_ = xvfb_->display();
    socket_ = runtime / "ipc.sock";
    // Without its header line i3 converts the file and adds a bar of its own.
    std::ofstream(dir_ / "config")
        << (sway_ ? "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                  : "# i3 config file (v4)\nfont pango:monospace 8\n")
        << kFloatingRule << userConfig;
    if (sway_ || xvfb_)  // each ignores the other's variables
      wm_ = testing::Process::start(
          asUser({sway_ ? "sway" : "i3", "-c", dir_ / "config"}),
          {"XDG_RUNTIME_DIR=" + runtime.string(), "HOME=" + runtime.string(), "SWAYSOCK=" + socket_,
           "I3SOCK=" + socket_, "DISPLAY=" + display_, "WAYLAND_DISPLAY=", "WLR_BACKENDS=headless",
           "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
          dir_ / "manager.log");
    if (!wm_) return error;
    if (!testing::waitUntil([&] { return ask("get_version").is_object(); }, 15))
      return std::string(sway_ ? "sway" : "i3") + " did not answer";
    if (sway_) {  // where clients find sway and XWayland, as sway tells what it starts
      const std::string f = (runtime / "displays").string();
      command("exec echo $WAYLAND_DISPLAY $DISPLAY > " + f + ".part && mv " + f + ".part " + f);
      testing::waitUntil([&] { return std::filesystem::exists(f); }, 5);
      std::ifstream(f) >> wayland_ >> display_;
      if (display_.empty()) return "sway did not say where XWayland is";
      wayland_ = runtime / wayland_;  // a path, not a name: the caller's runtime folder stays
    }
    if (sway_ && monitors > 1)
      command("create_output; output HEADLESS-2 resolution 1280x720 position 1920 0");
    for (int i = 0; !sway_ && i < monitors; ++i)  // i3 follows RandR monitors by itself
      run({"xrandr", "--setmonitor", i ? "RIGHT" : "*LEFT",
           i ? "1280/338x720/190+1920+0" : "1920/508x1080/286+0+0", i ? "none" : "screen"},
          {{"DISPLAY", display_}});
    const std::string last = "\"" + this->monitors().back().name + "\"";
    const auto listed = [&] { return ask("get_workspaces").dump().find(last) != last.npos; };
    return testing::waitUntil(listed, 15) ? "" : "no monitor " + last;
  }

  Environment environment() const override {
    if (!sway_)  // the program finds i3 through the socket path on the root window
      return {{"DISPLAY", display_}, {"-SWAYSOCK", ""}, {"-I3SOCK", ""}, {"-WAYLAND_DISPLAY", ""}};
    return {{"SWAYSOCK", socket_}, {"WAYLAND_DISPLAY", wayland_}, {"DISPLAY", display_}};
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    const auto asked = [&](auto& s) {
      return std::ranges::count(windows, s.title, &WindowSpec::title);
    };
    // sway's XWayland (1.10 and later) at times never shows a window: the client starts again.
    for (int round = 0; round < (sway_ ? 4 : 1); ++round) {
      if (round) clients_[app.identifier].pop_back();  // stopped, with its windows
      clients_[app.identifier].push_back(testing::Process::start(
          clientArguments(app, windows), {"DISPLAY=" + display_}, dir_ / "clients.log"));
      if (await(long(windows.size()), asked, sway_ ? 6 : 15)) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the windows of " + app.name + " did not show";
  }

  ::testing::AssertionResult quit(const App& app) override {
    // A browser killed before it has saved its session reopens fewer windows: it is given time.
    for (auto& client : clients_[app.identifier])
      client->signal(SIGTERM), client->waitExit(testing::after(20));
    clients_.erase(app.identifier);
    return await(0, [&](auto& seen) { return seen.app == app.identifier; })
           << "the windows of " + app.name + " stay";
  }

  /// In tree order, but for the scratchpad's; a tiled window stands for a maximized one.
  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> all;
    return collect(ask("get_tree"), false, all), all;
  }

  std::vector<Monitor> monitors() override {  // no bars
    const Rect right = grown_ ? Rect(1920, 0, 1920, 1080) : Rect(1920, 0, 1280, 720);
    const std::vector<Monitor> all = {
        {sway_ ? "HEADLESS-1" : "LEFT", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {sway_ ? "HEADLESS-2" : "RIGHT", right, right}};
    return {all.begin(), all.begin() + monitors_};
  }

  /// i3 as on the other X11 desktops. sway 1.7 can neither unplug nor disable a headless
  /// output: there the second monitor grows to 1920 x 1080 for "one", another set of monitors
  /// as far as the program goes, and only a resize tells of it.
  bool showMonitors(int count) override {
    if (started_ < 2) return false;
    if (sway_) {
      grown_ = count < 2;
      command(grown_ ? "output HEADLESS-2 resolution 1920x1080 position 1920 0"
                     : "output HEADLESS-2 resolution 1280x720 position 1920 0");
      const auto sized = [&] {
        const Json outputs = ask("get_outputs");
        return outputs.is_array() && std::ranges::any_of(outputs, [&](const Json& o) {
                 return o.value("name", "") == "HEADLESS-2" && o.contains("rect") &&
                        o["rect"].value("width", 0) == (grown_ ? 1920 : 1280);
               });
      };
      return testing::waitUntil(sized, 10);
    }
    const Environment display = {{"DISPLAY", display_}};
    if (!(count > 1
              ? run({"xrandr", "--setmonitor", "RIGHT", "1280/338x720/190+1920+0", "none"}, display)
              : run({"xrandr", "--delmonitor", "RIGHT"}, display)))
      return false;
    for (const char* state : {"--off", "--auto"})  // the notifications a real dock brings
      run({"xrandr", "--output", "screen", state}, display);
    monitors_ = count;
    const auto shown = [&] {
      const Json outputs = ask("get_outputs");
      return outputs.is_array() && std::ranges::count_if(outputs, [](const Json& o) {
                                     return o.value("active", false);
                                   }) == count;
    };
    return testing::waitUntil(shown, 10);
  }

  /// The program takes the monitor of the focused workspace for the pointer's.
  ::testing::AssertionResult pointAt(int monitor) override {
    const std::string name = monitors().at(static_cast<std::size_t>(monitor)).name;
    return ::testing::AssertionResult(command("focus output " + name)) << "cannot focus " << name;
  }

  /// As its user; on sway natively on Wayland, as browsers run there by default.
  bool launch(const App& app, const std::vector<std::string>& argv) override {
    auto& started = clients_[app.identifier];
    started.push_back(testing::Process::start(
        asUser(argv),
        {"DISPLAY=" + display_, sway_ ? "WAYLAND_DISPLAY=" + wayland_ : "-WAYLAND_DISPLAY",
         "XDG_RUNTIME_DIR=" + runtime().string()},
        dir_ / "clients.log"));
    return started.back() != nullptr;
  }
  std::string execLine(const std::vector<std::string>& argv) const override {
    std::vector<std::string> line = {"env", "XDG_RUNTIME_DIR=" + runtime().string()};
    line.insert(line.end(), argv.begin(), argv.end());
    return Desktop::execLine(asUser(line));
  }
  void handOver(const std::filesystem::path& folder) override {
    if (const passwd* user = swayUser())
      run({"chown", "-R", std::to_string(user->pw_uid) + ":" + std::to_string(user->pw_gid),
           folder.string()},
          {});
  }

  /// On the desktop's own keyboard: a virtual Wayland one (wtype) on sway, XTEST on i3.
  bool press(char letter) override {
    const std::string key(1, letter);
    return run(sway_ ? asUser({"wtype", "-M", "ctrl", "-M", "alt", key, "-m", "alt", "-m", "ctrl"})
                     : std::vector<std::string>{"xdotool", "key", "ctrl+alt+" + key},
               environment());
  }

  pid_t compositorPid() const { return wm_ ? wm_->pid() : -1; }
  /// Whether the window manager ran `commands` (the last of them, at least).
  bool command(const std::string& commands) const {
    const Json r = ask("command", commands);
    return r.is_array() && !r.empty() && r.back().value("success", false);
  }
  /// Options of the test client for every window opened from now on.
  std::vector<std::string> clientOptions;
  /// Lines the user's configuration adds, read when the desktop starts.
  std::string userConfig;

 private:
  // Not tiled: clients that exit on their first resize, and the terminal (never arranged).
  static constexpr const char* kFloatingRule =
      "for_window [instance=\"^(floating|xterm)$\"] floating enable\n";

  std::filesystem::path runtime() const { return dir_ / "run"; }

  // sway refuses to run as root: it and its clients run as nobody then.
  const passwd* swayUser() const { return sway_ && !::getuid() ? ::getpwnam("nobody") : nullptr; }

  // XWayland admits only its own user's clients.
  std::vector<std::string> asUser(std::vector<std::string> argv) const {
    if (const passwd* user = swayUser())
      argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
                                 "--regid=" + std::to_string(user->pw_gid), "--clear-groups"});
    return argv;
  }

  // Whether `count` windows come to be `which`.
  ::testing::AssertionResult await(long count, const std::function<bool(const SeenWindow&)>& which,
                                   double seconds = 15) {
    return ::testing::AssertionResult(testing::waitUntil(
        [&] { return std::ranges::count_if(windows(), which) == count; }, seconds));
  }

  static bool run(const std::vector<std::string>& argv, const Environment& env) {
    return testing::runProgram(argv[0], {argv.begin() + 1, argv.end()}, env, 20).status == 0;
  }

  // The reply to a swaymsg / i3-msg request; discarded when none came.
  Json ask(const std::string& type, const std::string& payload = "") const {
    const auto reply =
        testing::runProgram(sway_ ? "swaymsg" : "i3-msg",
                            {"-s", socket_, "-t", type, sway_ ? "-r" : "--", payload}, {}, 10);
    return Json::parse(reply.out, nullptr, false);
  }

  std::vector<std::string> clientArguments(const App& app,
                                           const std::vector<WindowSpec>& windows) const {
    std::vector<std::string> argv = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    for (const auto& w : windows) {
      argv.insert(argv.end(), {"--window", "--class",
                               (w.vanishes ? "floating" : app.identifier) + "," + app.identifier,
                               "--title", w.title});
      if (w.vanishes) argv.push_back("--exit-on-resize");
      if (sway_) argv.insert(argv.end(), {"--map-gap", "200"});
      argv.insert(argv.end(), clientOptions.begin(), clientOptions.end());
    }
    return asUser(argv);
  }

  void collect(const Json& node, bool floating, std::vector<SeenWindow>& out) const {
    const Json name = node.value("name", Json());  // null on some of i3's containers
    if (name == "__i3_scratch") return;
    // An X11 window has an id, a Wayland one an app id.
    const Json appId = node.value("app_id", Json());
    if ((node.contains("window") && node["window"].is_number()) || appId.is_string()) {
      const Json& r = node.at("rect");
      const double bar = sway_ ? node.at("deco_rect").value("height", 0.0) : 0;  // not in r
      const std::string id =
          appId.is_string() ? appId.get<std::string>()
                            : node.value("window_properties", Json::object()).value("class", "");
      const App* app = appNamed(id);
      out.push_back(
          {app ? app->identifier : id, name.is_string() ? name.get<std::string>() : "",
           Rect(r["x"], r["y"].get<double>() - bar, r["width"], r["height"].get<double>() + bar),
           !floating});
    }
    for (const char* key : {"nodes", "floating_nodes"})
      for (const auto& child : node.value(key, Json::array()))
        collect(child, floating || key[0] == 'f', out);
  }

  bool sway_;
  int monitors_ = 1, started_ = 1;
  bool grown_ = false;  // sway's second monitor at 1920 x 1080
  std::filesystem::path dir_;
  std::string socket_, wayland_, display_;
  // Declared so that the clients end first, the X server last.
  std::unique_ptr<x11test::XServer> xvfb_;
  std::unique_ptr<testing::Process> wm_;
  std::map<std::string, std::vector<std::unique_ptr<testing::Process>>> clients_;
};

}  // namespace tessaloom::e2e
