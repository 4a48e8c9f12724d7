// KWin for the scenarios: a headless KWin (Wayland, with XWayland; desktop-session.sh) with
// 1920x1080 virtual outputs side by side, windows read back by a script of the test's own
// (kwin/kwin-probe.js).
#pragma once

#include <cctype>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "e2e/wayland_desktop.h"

namespace tessaloom::e2e {

class KWinDesktop : public SessionDesktop {
 public:
  std::string start(const std::filesystem::path& folder, int monitors) override {
    for (const std::string program : {"kwin_wayland", "gjs", "gdbus", "dbus-run-session"})
      if (!testing::onPath(program)) return program + " is not installed";
    outputs_ = monitors;
    return startSession(folder, {script("desktop-session.sh"), "kde", folder.string(), "1920x1080",
                                 std::to_string(monitors)});
  }

  std::vector<Monitor> monitors() override {
    // KWin 5 names no outputs: the program numbers them.
    const auto names = probe()["outputs"];
    std::vector<Monitor> all;
    for (int i = 0; i < outputs_; ++i) {
      const Rect frame(1920.0 * i, 0, 1920, 1080);
      all.push_back({i < int(names.size()) ? names[i].get<std::string>()
                     : outputs_ > 1        ? "screen-" + std::to_string(i + 1)
                                           : "screen",
                     frame, frame});
    }
    return all;
  }

  ::testing::AssertionResult pointAt(int) override {
    return ::testing::AssertionFailure() << "KWin lets no test client move the pointer";
  }
  int pointerMonitor() override {
    const auto pointer = probe()["pointer"];
    if (!pointer.is_array() || pointer.empty() || !pointer[0].is_number()) return -1;
    return std::clamp(static_cast<int>(pointer[0].get<double>() / 1920), 0, outputs_ - 1);
  }

  // A virtual KWin has no keyboard to press on: its shortcut service fires the chord's action
  // as a key press would.
  bool press(char letter) override {
    return runInSession("gdbus", {"call", "--session", "--dest", "org.kde.kglobalaccel",
                                  "--object-path", "/component/kwin", "--method",
                                  "org.kde.kglobalaccel.Component.invokeShortcut",
                                  std::string("Tessaloom Ctrl+Alt+") + char(std::toupper(letter))})
               .status == 0;
  }

  /// KWin's process (the session runs a copy of kwin_wayland); -1 once it is gone.
  pid_t compositorPid() const {
    std::error_code ec;
    for (const auto& p : std::filesystem::directory_iterator("/proc", ec))
      if (std::filesystem::read_symlink(p.path() / "exe", ec) == folder_ / "kwin_wayland")
        return std::stoi(p.path().filename());
    return -1;
  }

  /// The numbers of the scripts KWin holds, ours and any other.
  std::set<int> scripts() const {
    std::set<int> ids;
    for (const std::string path : {"/", "/Scripting"}) {
      const std::string out = runInSession("gdbus", {"introspect", "--session", "--dest",
                                                     "org.kde.KWin", "--object-path", path})
                                  .out;
      const std::regex node(path == "/" ? R"(node (\d+) \{)" : R"(node Script(\d+) \{)");
      for (std::sregex_iterator m(out.begin(), out.end(), node), end; m != end; ++m)
        ids.insert(std::stoi((*m)[1]));
    }
    return ids;
  }

  /// Loads, or unloads, a script of the test's own that never runs: it takes a script number.
  bool hold(bool load) const {
    std::ofstream(folder_ / "hold.js");
    const std::string method = load ? "loadScript" : "unloadScript";
    std::vector<std::string> args = {
        "call",          "--session",  "--dest",   "org.kde.KWin",
        "--object-path", "/Scripting", "--method", "org.kde.kwin.Scripting." + method,
        "hold"};
    if (load) args.insert(args.end() - 1, (folder_ / "hold.js").string());
    return runInSession("gdbus", args).status == 0;
  }

  /// Calls `call` (a method of our agent's object, "KWinAgent.Next", then its arguments) at
  /// every connection on the bus at once, as any program could; the replies and AccessDenied
  /// errors, one a line.
  std::string callEveryone(std::vector<std::string> call) const {
    call.insert(call.begin(), {"-c", R"(for n in $(gdbus call --session -d org.freedesktop.DBus \
        -o /org/freedesktop/DBus -m org.freedesktop.DBus.ListNames | grep -o ':1[.0-9]*'); do
      dbus-send --session --print-reply --reply-timeout=8000 --dest=$n /org/tessaloom/KWinAgent \
        org.tessaloom.$0 "$@" 2>&1 | grep -e AccessDenied -e '^method return' &
    done; wait)"});
    return runInSession("sh", call).out;
  }

  /// Sends the window titled `title` to a second virtual desktop.
  bool sendAway(const std::string& title) const { return !probe(title).empty(); }

  /// What our agent answers a script inside KWin that calls it with a token not its own.
  std::string forge() const { return probe("", true).value("answer", ""); }

 protected:
  std::vector<std::pair<SeenWindow, int>> shown() override {
    std::vector<std::pair<SeenWindow, int>> seen;
    auto report = probe();
    for (const auto& w : report["windows"]) {
      const App* app = appNamed(w.value("app", ""));
      if (!app) continue;
      const Rect frame(w["frame"][0], w["frame"][1], w["frame"][2], w["frame"][3]);
      const bool maximized = frame.size() == Size{1920, 1080};  // filling an output
      seen.emplace_back(SeenWindow{app->identifier, w["title"], frame, maximized}, w["pid"]);
    }
    return seen;
  }

 private:
  nlohmann::json probe(const std::string& away = "", bool forge = false) const {
    std::vector<std::string> args = {script("kwin/kwin-probe.js"), folder_.string(), away};
    if (forge) args.push_back("--forge");
    const auto r = runInSession("gjs", args);
    const auto parsed = nlohmann::json::parse(r.out, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json::object() : parsed;
  }

  int outputs_ = 1;
};

}  // namespace tessaloom::e2e
