// The fixture of the end-to-end tests on GNOME: one headless GNOME Shell per suite with the
// Tessaloom extension (tests/e2e/gnome/gnome-session.sh), GTK test clients on Wayland and
// XWayland with chosen app ids and titles, their desktop entries and the program's settings in
// a temporary folder. Frames are read from the extension's Facts call with gdbus, not through
// the program; what a layout should do comes from the same command run on a scene file.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/program_on_desktop.h"
#include "support/run_program.h"
#include "support/scene_json.h"
#include "support/scene_run.h"
#include "support/temp_dir.h"
#include "support/x11_desktop.h"

namespace tessaloom::gnometest {

using nlohmann::json;
using x11test::after;
using x11test::Process;

/// An application as a test client plays it, and how the program names it.
struct ShellApp {
  std::string appId;
  std::string identifier;
  std::string name;
  bool x11 = false;  // under XWayland
};

inline const ShellApp kChat{"org.example.ChatApp", "org.example.ChatApp", "ChatGPT"};
inline const ShellApp kChrome{"google-chrome", "google-chrome", "Google Chrome", true};
inline const ShellApp kEpiphany{"org.gnome.Epiphany", "org.gnome.Epiphany", "Web"};

inline std::string sourcePath(const std::string& relative) {
  return std::string(TESSALOOM_SOURCE_DIR) + "/" + relative;
}

/// The extension as built beside the program, in the flavour this Shell loads.
inline std::string extensionPath() {
  const auto build = std::filesystem::path(TESSALOOM_BINARY).parent_path() / "extension";
  const auto version = testing::runProgram("/usr/bin/gnome-shell", {"--version"}, {}, 10).out;
  const bool legacy = version.find("Shell 43.") != std::string::npos ||
                      version.find("Shell 44.") != std::string::npos;
  return (build / (legacy ? "legacy" : "module") / "tessaloom@tessaloom.github.io").string();
}

/// A running Shell: its folder and the environment of its session.
class ShellSession {
 public:
  static std::unique_ptr<ShellSession> start(std::vector<std::string> monitors, bool withExtension,
                                             std::string* error) {
    auto session = std::unique_ptr<ShellSession>(new ShellSession());
    std::vector<std::string> argv = {sourcePath("tests/e2e/gnome/gnome-session.sh"),
                                     session->dir_.path().string(), extensionPath()};
    argv.insert(argv.end(), monitors.begin(), monitors.end());
    session->process_ = Process::start(
        argv, {withExtension ? "TESSALOOM_SHELL_EXTENSION=yes" : "TESSALOOM_SHELL_EXTENSION=no"},
        (session->dir_.path() / "session.err").string());
    if (!session->process_) return *error = "cannot start gnome-session.sh", nullptr;
    for (auto deadline = after(90);;) {
      const auto line = session->process_->readLine(deadline);
      if (!line) return *error = "the Shell did not start in time", nullptr;
      if (*line == "ready") return session;
      if (line->rfind("failed", 0) == 0) return *error = *line, nullptr;
      if (const auto eq = line->find('='); eq != std::string::npos && line->front() != ' ')
        session->env_.emplace_back(line->substr(0, eq), line->substr(eq + 1));
    }
  }
  ~ShellSession() {
    dir_.write("stop", "");
    process_->waitExit(after(15));
  }
  const std::vector<std::pair<std::string, std::string>>& environment() const { return env_; }
  std::string get(const std::string& name) const {
    for (const auto& [k, v] : env_)
      if (k == name) return v;
    return "";
  }

 private:
  ShellSession() = default;
  testing::TempDir dir_;
  std::unique_ptr<Process> process_;
  std::vector<std::pair<std::string, std::string>> env_;
};

/// A GVariant text string as gdbus prints it, back to its characters.
inline std::string unquoteVariant(const std::string& printed) {
  const auto open = printed.find('\'');
  const auto close = printed.rfind('\'');
  std::string text;
  if (open == std::string::npos || close <= open) return text;
  for (std::size_t i = open + 1; i < close; ++i) {
    if (printed[i] != '\\' || i + 1 >= close) {
      text += printed[i];
      continue;
    }
    const char c = printed[++i];
    if (c == 'n')
      text += '\n';
    else if (c == 't')
      text += '\t';
    else if (c == 'u' && i + 4 < close) {  // control characters only: the rest is UTF-8
      text += static_cast<char>(std::stoul(printed.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else
      text += c;
  }
  return text;
}

class GnomeShellTest : public ::testing::Test {
 protected:
  /// The monitors of this suite's Shell.
  static std::vector<std::string> monitors() { return {"1280x800"}; }
  static bool withExtension() { return true; }

  template <class Suite>
  static void startShell() {
    session_.reset();
    if (::access("/usr/bin/gnome-shell", X_OK) != 0) {
      skip_ = "gnome-shell is not installed";
      return;
    }
    std::string error;
    session_ = ShellSession::start(Suite::monitors(), Suite::withExtension(), &error);
    skip_ = error;
  }
  static void TearDownTestSuite() { session_.reset(); }

  void SetUp() override {
    if (!session_) {
      if (skip_ == "gnome-shell is not installed") GTEST_SKIP() << skip_;
      FAIL() << skip_;
    }
    writeDesktopEntries();
  }
  // Every client goes, and the Shell lets go of its windows, before the next test.
  void TearDown() override {
    clients_.clear();
    if (!session_) return;
    // Clients the program launched have only the Shell to name them.
    const json left = facts();
    for (const json& w : left["windows"])
      if (w.value("pid", 0) > 0) ::kill(w["pid"].get<pid_t>(), SIGTERM);
    waitUntil([&] { return facts()["windows"].empty(); }, 10);
  }

  std::filesystem::path path(const std::string& name) const { return dir_.path() / name; }

  std::vector<std::pair<std::string, std::string>> environment() const {
    auto env = session_->environment();
    env.insert(env.end(), {{"-TESSALOOM_SCENE", ""},
                           {"-TESSALOOM_BACKEND", ""},
                           {"TESSALOOM_DEFAULTS", path("defaults.json").string()},
                           {"XDG_CONFIG_HOME", path("config").string()},
                           {"XDG_DATA_HOME", path("data").string()},
                           {"XDG_DATA_DIRS", path("system-data").string()}});
    return env;
  }

  /// The tray application, traced, with GTK's own data folders (its dialogs need their icons).
  std::unique_ptr<Process> startTray() {
    std::vector<std::string> env = {"TESSALOOM_TRACE=1"};
    for (const auto& [k, v] : environment())
      if (k.front() != '-' && k != "XDG_DATA_DIRS") env.push_back(k + "=" + v);
    env.push_back("XDG_DATA_DIRS=" + path("system-data").string() + ":/usr/local/share:/usr/share");
    auto tray = Process::start({TESSALOOM_BINARY}, env, path("tray.log").string());
    EXPECT_TRUE(tray);
    if (tray) {
      EXPECT_EQ(tray->readLine(after(20)).value_or("(nothing)"), "ready");
    }
    return tray;
  }

  testing::ProgramResult run(const std::vector<std::string>& args, double seconds = 30) {
    return testing::runProgram(TESSALOOM_BINARY, args, environment(), seconds);
  }

  /// The extension's facts; an empty object when it does not answer.
  json facts() {
    const auto r = testing::runProgram(
        "/usr/bin/gdbus",
        {"call", "--session", "--dest", "org.tessaloom.Shell", "--object-path",
         "/org/tessaloom/Shell", "--method", "org.tessaloom.Shell.Facts", "--timeout", "5"},
        session_->environment(), 10);
    json parsed = json::parse(unquoteVariant(r.out), nullptr, false);
    return parsed.is_discarded() ? json{{"windows", json::array()}} : parsed;
  }

  template <class Predicate>
  bool waitUntil(Predicate done, double seconds) {
    for (auto deadline = after(seconds); x11test::Clock::now() < deadline;) {
      if (done()) return true;
      ::usleep(50000);
    }
    return done();
  }

  /// The windows with these titles, by title, once each is drawn with a size.
  std::map<std::string, json> windowsTitled(const std::vector<std::string>& titles) {
    std::map<std::string, json> found;
    waitUntil(
        [&] {
          found.clear();
          const json now = facts();
          for (const json& w : now["windows"])
            for (const auto& t : titles)
              if (w["title"] == t && w["frame"][2] > 0 && w["frame"][3] > 0) found[t] = w;
          return found.size() == titles.size();
        },
        10);
    return found;
  }

  /// Starts a client with windows titled `titles` ("Title=WxH" sets a size), waits until the
  /// Shell shows them all, and returns their ids in that order.
  std::vector<std::uint64_t> open(const ShellApp& app, const std::vector<std::string>& titles,
                                  std::vector<std::string> flags = {}) {
    std::vector<std::string> argv = {sourcePath("tests/e2e/gnome/gtk-client.js"), app.appId};
    argv.insert(argv.end(), titles.begin(), titles.end());
    argv.insert(argv.end(), flags.begin(), flags.end());
    std::vector<std::string> env;
    for (const auto& [k, v] : session_->environment()) env.push_back(k + "=" + v);
    if (app.x11) env.push_back("GDK_BACKEND=x11");
    auto process = Process::start(argv, env, path("client.log").string());
    EXPECT_TRUE(process) << "cannot start the test client";
    if (!process) return {};
    const auto line = process->readLine(after(20));
    EXPECT_EQ(line.value_or("(nothing)"), "ready");
    clients_.push_back(std::move(process));
    std::vector<std::string> plain;
    for (const auto& t : titles) plain.push_back(t.substr(0, t.find('=')));
    const auto found = windowsTitled(plain);
    std::vector<std::uint64_t> ids;
    for (const auto& t : plain)
      if (found.count(t)) ids.push_back(found.at(t)["id"].get<std::uint64_t>());
    EXPECT_EQ(ids.size(), plain.size()) << "the Shell did not show every window";
    return ids;
  }

  /// Frames by window id, in the seam's space (the primary monitor's top left is 0, 0).
  std::map<std::uint64_t, Rect> framesNow() {
    const json f = facts();
    std::map<std::uint64_t, Rect> frames;
    const json& primary = f["monitors"][f.value("primary", 0)]["frame"];
    for (const json& w : f["windows"])
      frames[w["id"]] = Rect(w["frame"][0].get<double>() - primary[0].get<double>(),
                             w["frame"][1].get<double>() - primary[1].get<double>(), w["frame"][2],
                             w["frame"][3]);
    return frames;
  }

  /// Waits until every window is within 2 pixels of its target (a Wayland client takes a new
  /// size only once it has answered the Shell).
  ::testing::AssertionResult settleAt(const std::map<std::uint64_t, Rect>& targets,
                                      double seconds = 5) {
    std::string misses;
    const bool settled = waitUntil(
        [&] {
          misses.clear();
          const auto now = framesNow();
          for (const auto& [id, target] : targets) {
            const auto it = now.find(id);
            if (it == now.end() || !x11test::near(it->second, target))
              misses += "\n  window " + std::to_string(id) + ": " +
                        (it == now.end() ? "gone" : x11test::rectText(it->second)) +
                        " instead of " + x11test::rectText(target);
          }
          return misses.empty();
        },
        seconds);
    if (settled) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "frames off:" << misses;
  }

  /// The frames the program plans for `args` on the windows as they are now: the same command
  /// on a scene of the same monitors, pointer, applications, windows and settings.
  std::map<std::uint64_t, Rect> plannedFrames(const std::vector<std::string>& args) {
    // Windows the Shell is still placing, or a client still resizing, would give another plan.
    auto last = framesNow();
    waitUntil(
        [&] {
          auto now = framesNow();
          std::swap(now, last);
          return now == last;
        },
        3);
    const json f = facts();
    const json& primary = f["monitors"][f.value("primary", 0)]["frame"];
    const double px = primary[0], py = primary[1], height = primary[3];
    auto local = [&](const json& r) {
      return Rect(r[0].get<double>() - px, r[1].get<double>() - py, r[2], r[3]);
    };
    auto bottomLeft = [&](const Rect& r) {
      return json::array({r.x, height - (r.y + r.height), r.width, r.height});
    };
    json scene;
    scene["screens"] = json::array();
    for (std::size_t i = 0; i < f["monitors"].size(); ++i) {
      const json& m = f["monitors"][i];
      json screen = {{"name", "Monitor " + std::to_string(i + 1)},
                     {"frame", bottomLeft(local(m["frame"]))},
                     {"visible", bottomLeft(local(m["workArea"]))}};
      if (static_cast<int>(i) == f.value("primary", 0))
        scene["screens"].insert(scene["screens"].begin(), screen);
      else
        scene["screens"].push_back(screen);
    }
    scene["mouse"] = json::array(
        {f["pointer"][0].get<double>() - px, height - (f["pointer"][1].get<double>() - py)});
    // Applications in the order of their first window, windows in creation order.
    std::vector<json> windows(f["windows"].begin(), f["windows"].end());
    std::sort(windows.begin(), windows.end(),
              [](const json& a, const json& b) { return a["sequence"] < b["sequence"]; });
    std::vector<std::uint64_t> order;
    std::map<std::int64_t, std::size_t> appOf;
    scene["apps"] = json::array();
    for (const json& w : windows) {
      if (w["workspace"] != -1 && w["workspace"] != f["workspace"]) continue;
      const ShellApp* app = appFor(w["wmClass"]);
      if (!app) continue;
      const std::int64_t pid = w["pid"];
      if (!appOf.count(pid)) {
        appOf[pid] = scene["apps"].size();
        scene["apps"].push_back({{"pid", pid},
                                 {"bundleID", app->identifier},
                                 {"name", app->name},
                                 {"windows", json::array()}});
      }
      const Rect r = local(w["frame"]);
      json entry = {{"title", w["title"]}, {"frame", {r.x, r.y, r.width, r.height}}};
      if (w["type"] != 0) entry["subrole"] = "AXDialog";
      if (w["minimized"] == true) entry["minimized"] = true;
      scene["apps"][appOf[pid]]["windows"].push_back(entry);
      order.push_back(w["id"]);
      if (w["id"] == f["focus"]) scene["frontmost"] = pid;
    }
    const auto run = testing::runOnScene(path("plan"), scene, path("defaults.json"), args);
    EXPECT_EQ(run.result.status, 0) << "on the scene: " << run.result.out << run.result.err;
    std::map<std::uint64_t, Rect> planned;
    for (std::size_t i = 0; i < order.size() && i < run.frames.size(); ++i)
      if (const auto& r = run.frames[i]; r.size() == 4)
        planned[order[i]] = Rect(r[0], r[1], r[2], r[3]);
    return planned;
  }

  static const ShellApp* appFor(const std::string& wmClass) {
    for (const ShellApp* app : {&kChat, &kChrome, &kEpiphany})
      if (app->appId == wmClass || (app->x11 && wmClass == "Google-chrome")) return app;
    return nullptr;
  }

  static inline std::unique_ptr<ShellSession> session_;
  static inline std::string skip_;
  testing::TempDir dir_;
  std::vector<std::unique_ptr<Process>> clients_;

 private:
  void writeDesktopEntries() {
    // GTK finds its icons and image loaders only in the system's data folders.
    const std::string client = "env XDG_DATA_DIRS=/usr/local/share:/usr/share " +
                               sourcePath("tests/e2e/gnome/gtk-client.js");
    dir_.write("data/applications/google-chrome.desktop",
               "[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=" + client +
                   " google-chrome Chrome\n");
    dir_.write("data/applications/org.example.ChatApp.desktop",
               "[Desktop Entry]\nType=Application\nName=ChatGPT\nExec=" + client +
                   " org.example.ChatApp \"New chat=640x480\" \"Project notes=560x420\"\n");
    dir_.write("data/applications/org.gnome.Epiphany.desktop",
               "[Desktop Entry]\nType=Application\nName=Web\nExec=" + client +
                   " org.gnome.Epiphany Web\n");
    std::filesystem::create_directories(path("system-data"));
  }
};

}  // namespace tessaloom::gnometest
