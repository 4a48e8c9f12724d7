// What GNOME Shell and KWin share in the scenarios: a session script that prints the session's
// environment and ends once told to, and test clients on it (GTK on Wayland through gjs, X11
// through XWayland). Each desktop says how to read its windows back.
#pragma once

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "e2e/desktop.h"
#include "support/run_program.h"

namespace tessaloom::e2e {

class SessionDesktop : public Desktop {
 public:
  ~SessionDesktop() override {
    clients_.clear();
    if (!session_) return;
    std::ofstream(folder_ / "stop");
    session_->waitExit(testing::after(20));
  }

  Environment environment() const override {
    Environment env = env_;
    env.insert(env.end(), {{"-TESSALOOM_SCENE", ""}, {"-TESSALOOM_BACKEND", ""}});
    return env;
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    auto client = testing::Process::start(clientArgs(app, windows), testing::edits(env_),
                                          (folder_ / "clients.log").string());
    const auto line = client ? client->readLine(testing::after(25)) : std::nullopt;
    if (!line || line->rfind("ready", 0) != 0)
      return ::testing::AssertionFailure() << "the client of " << app.identifier << " failed";
    clients_.emplace_back(app.identifier, std::move(client));
    // Drawn is not yet shown: wait until the desktop lists every window, sized, as asked.
    const auto shown = [&] {
      const auto seen = this->windows();
      return std::ranges::all_of(windows, [&](const WindowSpec& w) {
        return std::ranges::any_of(seen, [&](const SeenWindow& s) {
          return s.app == app.identifier && s.title == w.title && s.frame.width > 0 &&
                 (s.maximized || !w.maximized);
        });
      });
    };
    return waitFor(shown, 10, "the windows of " + app.identifier + " do not show");
  }

  ::testing::AssertionResult quit(const App& app) override {
    // Once each: a browser told twice stops without saving its session. Clients this test
    // started are stopped (and waited for) as processes; those the program launched are known
    // only by the pids the desktop gives.
    std::set<int> pids;
    for (const auto& [w, pid] : shown())
      if (w.app == app.identifier) pids.insert(pid);
    for (const auto& [id, client] : clients_)
      if (id == app.identifier) pids.erase(client->pid());
    std::erase_if(clients_, [&](const auto& c) { return c.first == app.identifier; });
    for (const int pid : pids) ::kill(pid, SIGTERM);
    const auto gone = [&] {
      return std::ranges::none_of(windows(), [&](auto& w) { return w.app == app.identifier; });
    };
    return waitFor(gone, 10, "the windows of " + app.identifier + " stayed");
  }

  bool launch(const App& app, const std::vector<std::string>& argv) override {
    const auto env = testing::edits(env_);
    auto process = testing::Process::start(argv, env, (folder_ / "clients.log").string());
    return process && clients_.emplace_back(app.identifier, std::move(process)).second;
  }

  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> all;
    for (const auto& [w, pid] : shown()) all.push_back(w);
    return all;
  }

 protected:
  /// The test windows, each with its client's pid.
  virtual std::vector<std::pair<SeenWindow, int>> shown() = 0;

  /// Starts the session script `argv` and takes its KEY=VALUE lines up to "ready"; empty then,
  /// otherwise why it did not come up.
  std::string startSession(const std::filesystem::path& folder,
                           const std::vector<std::string>& argv,
                           const std::vector<std::string>& env = {}) {
    folder_ = folder;
    std::filesystem::create_directories(folder);
    session_ = testing::Process::start(argv, env, (folder / "session.err").string());
    for (auto deadline = testing::after(120); session_;) {
      const auto line = session_->readLine(deadline);
      if (!line) return "the session did not come up (see " + folder.string() + ")";
      if (*line == "ready") return "";
      if (line->rfind("failed", 0) == 0) return *line;
      if (const auto eq = line->find('='); eq != std::string::npos)
        env_.emplace_back(line->substr(0, eq), line->substr(eq + 1));
    }
    return "cannot start " + argv.front();
  }

  /// Runs a program found on PATH in the session.
  testing::ProgramResult runInSession(const std::string& program,
                                      const std::vector<std::string>& args) const {
    return testing::runProgram(program, args, env_, 20);
  }

  static std::string script(const std::string& name) {
    return std::string(TESSALOOM_SOURCE_DIR) + "/tests/e2e/" + name;
  }

  /// Waits until `done` holds; fails saying `why` otherwise.
  static ::testing::AssertionResult waitFor(const std::function<bool()>& done, double seconds,
                                            const std::string& why) {
    if (testing::waitUntil(done, seconds)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
  }

  std::filesystem::path folder_;

 private:
  // Native Wayland clients for the chat application, and wherever a window maps maximized: the
  // desktops ignore that wish from an XWayland client.
  static bool gtk(const App& app, const std::vector<WindowSpec>& windows) {
    return app.identifier == kChat.identifier ||
           std::ranges::any_of(windows, [](const auto& w) { return w.maximized; });
  }

  static std::vector<std::string> clientArgs(const App& app,
                                             const std::vector<WindowSpec>& windows) {
    const bool wayland = gtk(app, windows);
    std::vector<std::string> args = {testing::findProgram("gjs"), script("gnome/gtk-client.js"),
                                     app.identifier};
    if (!wayland)
      args = {(std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient")};
    for (const auto& w : windows) {
      const Rect& f = w.frame;
      const std::string size = std::to_string(int(f.width)) + "x" + std::to_string(int(f.height));
      if (wayland)
        args.push_back(w.title + "=" + size);
      else
        args.insert(
            args.end(),
            {"--window", "--class", app.identifier + "," + app.identifier, "--title", w.title,
             "--geometry", size + "+" + std::to_string(int(f.x)) + "+" + std::to_string(int(f.y))});
      if (w.maximized) args.push_back("--maximized");
      if (w.vanishes) args.push_back(wayland ? "--vanishes" : "--exit-on-resize");
    }
    return args;
  }

  std::unique_ptr<testing::Process> session_;
  Environment env_;
  std::vector<std::pair<std::string, std::unique_ptr<testing::Process>>> clients_;
};

}  // namespace tessaloom::e2e
