// Real X desktops for the scenarios: a private Xvfb with openbox or fluxbox, split into two
// monitors by xrandr when asked, a dock along the bottom of the last monitor, and test clients
// (tessaloom-testclient) that play browsers and AI applications.
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "e2e/desktop.h"
#include "e2e/sim_desktop.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

class X11Desktop : public Desktop, private x11test::PrivateDesktop {
 public:
  explicit X11Desktop(std::string manager) : manager_(std::move(manager)) {}
  // Clients the program launched itself leave with the server.
  ~X11Desktop() override {
    clients_.clear();
    stopDesktop();
  }

  static std::string clientPath() {
    return (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient")
        .string();
  }

  std::string start(const std::filesystem::path& folder, int monitors) override {
    for (const std::string program : {"Xvfb", manager_.c_str(), monitors > 1 ? "xrandr" : "Xvfb"})
      if (!x11test::onPath(program)) return program + " is not installed";
    if (::access(clientPath().c_str(), X_OK) != 0) return "tessaloom-testclient is not built";
    log_ = (folder / "clients.log").string();
    std::filesystem::create_directories(folder);
    if (auto error = startDesktop(manager_); !error.empty()) return error;
    monitors_ =
        panelledMonitors(monitors, monitors == 1 ? std::vector<std::string>{"screen"}
                                                 : std::vector<std::string>{"LEFT", "RIGHT"});
    if (monitors > 1) {
      const Environment env = {{"DISPLAY", server_->display()}};
      for (const auto& args :
           {std::vector<std::string>{"--setmonitor", "*LEFT", "960/254x1080/286+0+0", "screen"},
            {"--setmonitor", "RIGHT", "960/254x1080/286+960+0", "none"}})
        if (auto r = testing::runProgram(x11test::findProgram("xrandr"), args, env, 10); r.status)
          return "xrandr failed: " + r.err;
    }
    const Rect dock = monitors_.back().frame;
    const std::string strut = "0,0,0,40,0,0,0,0,0,0," + std::to_string(int(dock.x)) + "," +
                              std::to_string(int(dock.maxX()) - 1);
    const std::string geometry =
        std::to_string(int(dock.width)) + "x40+" + std::to_string(int(dock.x)) + "+1040";
    if (!startClient({"--window", "--class", "panel,Panel", "--type", "dock", "--title", "Panel",
                      "--geometry", geometry, "--strut-partial", strut},
                     "", nullptr))
      return "the dock did not come up";
    return "";
  }

  Environment environment() const override {
    return {{"DISPLAY", server_->display()},
            {"-TESSALOOM_SCENE", ""},
            {"-WAYLAND_DISPLAY", ""},
            {"-SWAYSOCK", ""},
            {"-I3SOCK", ""}};
  }

  std::string launchCommand(const App& app, const std::vector<WindowSpec>& windows) const override {
    std::string line = clientPath();
    for (const auto& arg : clientArgs(app, windows)) line += " \"" + arg + "\"";
    ids_.insert(app.identifier);
    return line;
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    ids_.insert(app.identifier);
    std::vector<xcb_window_t> made;
    if (!startClient(clientArgs(app, windows), app.identifier, &made))
      return ::testing::AssertionFailure()
             << "the client of " << app.identifier << " did not come up";
    const bool shown = probe_->waitUntil(
        [&] {
          for (std::size_t i = 0; i < made.size(); ++i)
            if (!probe_->framed(made[i]) ||
                (windows[i].maximized &&
                 !probe_->hasState(made[i], "_NET_WM_STATE_MAXIMIZED_VERT")))
              return false;
          return true;
        },
        10);
    if (shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << manager_ << " did not show the windows of " << app.identifier;
  }

  ::testing::AssertionResult quit(const App& app) override {
    std::erase_if(clients_, [&](const auto& c) { return c.first == app.identifier; });
    if (probe_->waitUntil([&] { return countOf(app.identifier) == 0; }, 10))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the windows of " << app.identifier << " stayed";
  }

  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> seen;
    for (xcb_window_t c : probe_->clients()) {
      const std::string app = classOf(c);
      if (!ids_.count(app)) continue;
      const auto frame = probe_->outerFrame(c);
      if (!frame) continue;
      seen.push_back({app, probe_->text(c, "_NET_WM_NAME"), *frame,
                      probe_->hasState(c, "_NET_WM_STATE_MAXIMIZED_VERT") &&
                          probe_->hasState(c, "_NET_WM_STATE_MAXIMIZED_HORZ")});
    }
    return seen;
  }

  std::vector<Monitor> monitors() override { return monitors_; }

  ::testing::AssertionResult pointAt(int monitor) override {
    const Rect& m = monitors_[static_cast<std::size_t>(monitor)].frame;
    const auto x = static_cast<std::int16_t>(m.midX()), y = static_cast<std::int16_t>(m.midY());
    xcb_warp_pointer(probe_->raw(), XCB_WINDOW_NONE, probe_->root(), 0, 0, 0, 0, x, y);
    const bool there = probe_->waitUntil(
        [&] {
          auto* p = xcb_query_pointer_reply(
              probe_->raw(), xcb_query_pointer(probe_->raw(), probe_->root()), nullptr);
          const bool at = p && p->root_x == x && p->root_y == y;
          std::free(p);
          return at;
        },
        5);
    return there ? ::testing::AssertionSuccess()
                 : ::testing::AssertionFailure() << "the pointer did not move";
  }

  bool press(char letter) override {
    if (!x11test::onPath("xdotool")) return false;
    return testing::runProgram(x11test::findProgram("xdotool"),
                               {"key", std::string("ctrl+alt+") + letter},
                               {{"DISPLAY", server_->display()}}, 10)
               .status == 0;
  }

 private:
  static std::vector<std::string> clientArgs(const App& app,
                                             const std::vector<WindowSpec>& windows) {
    std::vector<std::string> args;
    for (const auto& w : windows) {
      const Rect& f = w.frame;
      args.insert(args.end(),
                  {"--window", "--class", app.identifier + "," + app.identifier, "--title", w.title,
                   "--geometry",
                   std::to_string(int(f.width)) + "x" + std::to_string(int(f.height)) + "+" +
                       std::to_string(int(f.x)) + "+" + std::to_string(int(f.y))});
      if (w.maximized) args.insert(args.end(), {"--state", "maximized"});
      if (w.vanishes) args.push_back("--exit-on-resize");
    }
    return args;
  }

  // Starts a client and reads the ids of its windows from its "ready" line.
  bool startClient(std::vector<std::string> args, const std::string& app,
                   std::vector<xcb_window_t>* made) {
    args.insert(args.begin(), clientPath());
    auto process = x11test::Process::start(args, {"DISPLAY=" + server_->display()}, log_);
    if (!process) return false;
    const auto line = process->readLine(x11test::after(25));  // the client gives up after 20 s
    if (!line || line->rfind("ready ", 0) != 0) return false;
    std::stringstream ids(line->substr(6));
    for (unsigned long id = 0; made && ids >> id;) made->push_back(static_cast<xcb_window_t>(id));
    clients_.emplace_back(app, std::move(process));
    return true;
  }

  std::string classOf(xcb_window_t w) {
    const std::string both = probe_->text(w, "WM_CLASS", XCB_ATOM_STRING);
    const auto nul = both.find('\0');
    return nul == std::string::npos ? "" : both.substr(nul + 1, both.find('\0', nul + 1) - nul - 1);
  }

  int countOf(const std::string& app) {
    int n = 0;
    for (xcb_window_t c : probe_->clients()) n += classOf(c) == app;
    return n;
  }

  std::string manager_;
  std::string log_;
  std::vector<Monitor> monitors_;
  mutable std::set<std::string> ids_;
  std::vector<std::pair<std::string, std::unique_ptr<x11test::Process>>> clients_;
};

}  // namespace tessaloom::e2e
