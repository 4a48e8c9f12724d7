// What GNOME Shell and KWin share in the scenarios: a session script that prints the session's
// environment and ends once told, and test clients on it (GTK on Wayland through gjs, X11
// through XWayland). Each desktop says how to read back its windows.
#pragma once

#include <signal.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/desktop.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::e2e {

class SessionDesktop : public Desktop {
 public:
  ~SessionDesktop() override {
    clients_.clear();
    if (!session_) return;
    std::ofstream(folder_ / "stop").flush();
    session_->waitExit(x11test::after(20));
  }

  Environment environment() const override {
    Environment env = env_;
    for (const char* unset : {"-TESSALOOM_SCENE", "-TESSALOOM_BACKEND", "-SWAYSOCK", "-I3SOCK"})
      env.emplace_back(unset, "");
    return env;
  }

  std::string launchCommand(const App& app, const std::vector<WindowSpec>& windows) const override {
    // GTK finds its icons only in the system's data folders, which the program's do not name.
    std::string line = gtk(app, windows) ? "env XDG_DATA_DIRS=/usr/local/share:/usr/share" : "";
    for (const auto& arg : clientArgs(app, windows)) line += " \"" + arg + "\"";
    return line.substr(line.front() == ' ');
  }

  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    auto client = x11test::Process::start(clientArgs(app, windows), sessionEnvironment(),
                                          (folder_ / "clients.log").string());
    const auto line = client ? client->readLine(x11test::after(25)) : std::nullopt;
    if (!line || line->rfind("ready", 0) != 0)
      return ::testing::AssertionFailure() << "the client of " << app.identifier << " failed";
    clients_.emplace_back(app.identifier, std::move(client));
    // Drawn is not yet shown: wait until the desktop lists every window with a size.
    std::string missing;
    const bool shown = waitFor(
        [&] {
          const auto seen = this->windows();
          for (const auto& w : windows)
            if (std::none_of(seen.begin(), seen.end(), [&](const SeenWindow& s) {
                  return s.app == app.identifier && s.title == w.title && s.frame.width > 0 &&
                         (s.maximized || !w.maximized);
                })) {
              missing = w.title;
              return false;
            }
          return true;
        },
        10);
    if (shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the desktop does not show " << missing << " as asked";
  }

  ::testing::AssertionResult quit(const App& app) override {
    // The clients the program launched are known only by the pids the desktop gives.
    for (const auto& w : shown())
      if (w.window.app == app.identifier) ::kill(w.pid, SIGTERM);
    std::erase_if(clients_, [&](const auto& c) { return c.first == app.identifier; });
    const bool gone = waitFor(
        [&] {
          const auto seen = windows();
          return std::none_of(seen.begin(), seen.end(),
                              [&](const SeenWindow& w) { return w.app == app.identifier; });
        },
        10);
    if (gone) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the windows of " << app.identifier << " stayed";
  }

  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> all;
    for (const auto& w : shown()) all.push_back(w.window);
    return all;
  }

 protected:
  struct Shown {
    SeenWindow window;
    int pid = 0;
  };
  /// The test windows, with the pids of their clients.
  virtual std::vector<Shown> shown() = 0;

  /// Starts the session script `argv` and takes its KEY=VALUE lines up to "ready"; empty then,
  /// otherwise why it did not come up.
  std::string startSession(const std::filesystem::path& folder,
                           const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
    folder_ = folder;
    std::filesystem::create_directories(folder);
    session_ = x11test::Process::start(argv, env, (folder / "session.err").string());
    for (auto deadline = x11test::after(120); session_;) {
      const auto line = session_->readLine(deadline);
      if (!line) return "the session did not come up (see " + folder.string() + ")";
      if (*line == "ready") return "";
      if (line->rfind("failed", 0) == 0) return *line;
      if (const auto eq = line->find('='); eq != std::string::npos)
        env_.emplace_back(line->substr(0, eq), line->substr(eq + 1));
    }
    return "cannot start " + argv.front();
  }

  std::vector<std::string> sessionEnvironment() const {
    std::vector<std::string> env;
    for (const auto& [key, value] : env_) env.push_back(key + "=" + value);
    return env;
  }

  /// Runs a program found on PATH inside the session.
  testing::ProgramResult runInSession(const std::string& program,
                                      const std::vector<std::string>& args) const {
    return testing::runProgram(x11test::findProgram(program), args, env_, 20);
  }

  /// The test application a desktop's class or app id names.
  static const App* appNamed(const std::string& name) {
    for (const App* app : {&kChrome, &kFirefox, &kChat, &kTerminal})
      if (::strcasecmp(app->identifier.c_str(), name.c_str()) == 0) return app;
    return nullptr;
  }

  static std::string source(const std::string& relative) {
    return std::string(TESSALOOM_SOURCE_DIR) + "/" + relative;
  }

  static bool waitFor(const std::function<bool()>& done, double seconds) {
    for (const auto deadline = x11test::after(seconds); !done();) {
      if (x11test::Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  std::filesystem::path folder_;

 private:
  // Native Wayland clients for the chat application, and wherever a window maps maximized: the
  // desktops ignore that wish from an XWayland client.
  static bool gtk(const App& app, const std::vector<WindowSpec>& windows) {
    return app.identifier == kChat.identifier ||
           std::any_of(windows.begin(), windows.end(), [](const auto& w) { return w.maximized; });
  }

  static std::vector<std::string> clientArgs(const App& app,
                                             const std::vector<WindowSpec>& windows) {
    auto size = [](const Rect& f) {
      return std::to_string(int(f.width)) + "x" + std::to_string(int(f.height));
    };
    std::vector<std::string> args;
    if (gtk(app, windows)) {
      args = {x11test::findProgram("gjs"), source("tests/e2e/gnome/gtk-client.js"), app.identifier};
      for (const auto& w : windows) {
        args.push_back(w.title + "=" + size(w.frame));
        if (w.maximized) args.push_back("--maximized");
        if (w.vanishes) args.push_back("--vanishes");
      }
      return args;
    }
    args = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    for (const auto& w : windows) {
      args.insert(args.end(), {"--window", "--class", app.identifier + "," + app.identifier,
                               "--title", w.title, "--geometry",
                               size(w.frame) + "+" + std::to_string(int(w.frame.x)) + "+" +
                                   std::to_string(int(w.frame.y))});
      if (w.vanishes) args.push_back("--exit-on-resize");
    }
    return args;
  }

  std::unique_ptr<x11test::Process> session_;
  Environment env_;
  std::vector<std::pair<std::string, std::unique_ptr<x11test::Process>>> clients_;
};

}  // namespace tessaloom::e2e
