// openbox and fluxbox on a private Xvfb, with a dock and test clients playing the applications.
#pragma once

#include "e2e/desktop.h"
#include "e2e/sim_desktop.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

class X11Desktop : public Desktop, private x11test::PrivateDesktop {
 public:
  explicit X11Desktop(std::string manager) : manager_(std::move(manager)) {}
  ~X11Desktop() override {
    clients_.clear();
    stopDesktop();  // clients the program launched leave with the server
  }

  std::string start(const std::filesystem::path& folder, int monitors) override {
    for (const std::string program : {"Xvfb", manager_.c_str(), monitors > 1 ? "xrandr" : "Xvfb"})
      if (!testing::onPath(program)) return program + " is not installed";
    if (::access(kClient.c_str(), X_OK) != 0) return "tessaloom-testclient is not built";
    std::filesystem::create_directories(folder);
    log_ = (folder / "clients.log").string();
    if (auto error = startDesktop(manager_); !error.empty()) return error;
    monitors_ = started_ = panelledMonitors(monitors);
    for (std::size_t i = 0; monitors > 1 && i < monitors_.size(); ++i) {  // the first replaces
      const auto r = testing::runProgram(  // the screen's own monitor
          "xrandr",
          {"--setmonitor", (i ? "" : "*") + monitors_[i].name,
           "960/254x1080/286+" + std::to_string(int(monitors_[i].frame.x)) + "+0",
           i ? "none" : "screen"},
          {{"DISPLAY", server_->display()}}, 10);
      if (r.status) return "xrandr failed: " + r.err;
    }
    const Rect dock = monitors_.back().frame;
    if (!startClient(
            {"--window", "--class", "panel,Panel", "--type", "dock", "--geometry",
             std::to_string(int(dock.width)) + "x40+" + std::to_string(int(dock.x)) + "+1040",
             "--strut-partial",
             "0,0,0,40,0,0,0,0,0,0," + std::to_string(int(dock.x)) + "," +
                 std::to_string(int(dock.maxX()) - 1)},
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

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    std::vector<xcb_window_t> made;
    const bool started = startClient(clientArgs(app, windows), app.identifier, &made);
    return within10s(
        [&] {
          for (std::size_t i = 0; i < made.size(); ++i)
            if (!probe_->framed(made[i]) || (windows[i].maximized && !maximized(made[i])))
              return false;
          return started;
        },
        "did not show " + app.identifier);
  }

  ::testing::AssertionResult quit(const App& app) override {
    std::erase_if(clients_, [&](const auto& c) { return c.first == app.identifier; });
    return within10s(
        [&] {
          return std::ranges::none_of(probe_->clients(),
                                      [&](auto c) { return classOf(c) == app.identifier; });
        },
        "kept the windows of " + app.identifier);
  }

  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> seen;
    for (xcb_window_t c : probe_->clients())
      if (const auto frame = probe_->outerFrame(c); frame && classOf(c) != "Panel")  // not the dock
        seen.push_back({classOf(c), probe_->text(c, "_NET_WM_NAME"), *frame, maximized(c)});
    return seen;
  }

  std::vector<Monitor> monitors() override { return monitors_; }

  /// RandR monitors of Xvfb change without an event; turning its output off and on again
  /// brings the notifications a real dock does.
  bool showMonitors(int count) override {
    if (started_.size() < 2) return false;
    const Monitor& second = started_[1];
    const Environment display = {{"DISPLAY", server_->display()}};
    const auto xrandr = [&](const std::vector<std::string>& args) {
      return testing::runProgram("xrandr", args, display, 10).status == 0;
    };
    if (!(count > 1 ? xrandr({"--setmonitor", second.name, "960/254x1080/286+960+0", "none"})
                    : xrandr({"--delmonitor", second.name})))
      return false;
    // xrandr reports a failure of its own that turning the output back on still succeeds in.
    for (const char* state : {"--off", "--auto"}) xrandr({"--output", "screen", state});
    monitors_.assign(started_.begin(), started_.begin() + count);
    return true;
  }

  ::testing::AssertionResult pointAt(int monitor) override {
    const Rect& m = monitors_[static_cast<std::size_t>(monitor)].frame;
    xcb_warp_pointer(probe_->raw(), XCB_WINDOW_NONE, probe_->root(), 0, 0, 0, 0,
                     static_cast<std::int16_t>(m.midX()), static_cast<std::int16_t>(m.midY()));
    // Any reply after the request means the server has moved the pointer.
    std::free(xcb_query_pointer_reply(probe_->raw(),
                                      xcb_query_pointer(probe_->raw(), probe_->root()), nullptr));
    return ::testing::AssertionSuccess();
  }

  bool launch(const App& app, const std::vector<std::string>& argv) override {
    auto process = testing::Process::start(argv, {"DISPLAY=" + server_->display()}, log_);
    return process && clients_.emplace_back(app.identifier, std::move(process)).second;
  }

  bool press(char letter) override {
    return testing::runProgram("xdotool", {"key", std::string("ctrl+alt+") + letter},
                               {{"DISPLAY", server_->display()}}, 10)
               .status == 0;
  }

 private:
  inline static const std::string kClient =
      (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string();

  static std::vector<std::string> clientArgs(const App& app,
                                             const std::vector<WindowSpec>& windows) {
    std::vector<std::string> args;
    for (const auto& w : windows) {
      args.insert(
          args.end(),
          {"--window", "--class", app.identifier + "," + app.identifier, "--title", w.title,
           "--geometry",
           std::to_string(int(w.frame.width)) + "x" + std::to_string(int(w.frame.height)) + "+" +
               std::to_string(int(w.frame.x)) + "+" + std::to_string(int(w.frame.y))});
      if (w.maximized) args.insert(args.end(), {"--state", "maximized"});
      if (w.vanishes) args.push_back("--exit-on-resize");
    }
    return args;
  }

  // Starts a client and reads the ids of its windows from its "ready" line.
  bool startClient(std::vector<std::string> args, const std::string& app,
                   std::vector<xcb_window_t>* made) {
    args.insert(args.begin(), kClient);
    auto process = testing::Process::start(args, {"DISPLAY=" + server_->display()}, log_);
    const auto line = process ? process->readLine(testing::after(25)) : std::nullopt;
    if (!line || !line->starts_with("ready")) return false;
    std::stringstream ids(line->substr(5));
    for (unsigned long id = 0; made && ids >> id;) made->push_back(static_cast<xcb_window_t>(id));
    clients_.emplace_back(app, std::move(process));
    return true;
  }

  ::testing::AssertionResult within10s(const std::function<bool()>& done, const std::string& what) {
    if (testing::waitUntil(done, 10)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << manager_ << " " << what;
  }
  bool maximized(xcb_window_t w) {
    return probe_->hasState(w, "_NET_WM_STATE_MAXIMIZED_VERT") &&
           probe_->hasState(w, "_NET_WM_STATE_MAXIMIZED_HORZ");
  }
  // The class, as the application it names is known ("Chromium" is chromium).
  std::string classOf(xcb_window_t w) {
    const std::string both = probe_->text(w, "WM_CLASS", XCB_ATOM_STRING);
    const auto nul = both.find('\0');
    const std::string name =
        nul == std::string::npos ? "" : both.substr(nul + 1, both.find('\0', nul + 1) - nul - 1);
    const App* app = appNamed(name);
    return app ? app->identifier : name;
  }

  std::string manager_, log_;
  std::vector<Monitor> monitors_, started_;
  std::vector<std::pair<std::string, std::unique_ptr<testing::Process>>> clients_;
};

}  // namespace tessaloom::e2e
