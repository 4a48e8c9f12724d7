// The fixture of the end-to-end tests of the program on a real X desktop: a private Xvfb and
// window manager per test (the test's parameter names the manager), test clients that look like
// browsers and AI applications, their desktop entries and the program's settings in a temporary
// folder, and the program itself run against that desktop. What a layout should do is found
// independently of the X backend: by running the same command on a scene file built from the
// windows' frames as the server reports them, or by working it out in the test.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scene_json.h"
#include "support/scene_run.h"
#include "support/x11_desktop.h"

namespace tessaloom {
inline void PrintTo(const Rect& r, std::ostream* out) {
  *out << describe(r);
}
}  // namespace tessaloom

namespace tessaloom::x11test {

/// An application as the test client plays it: its WM_CLASS, and the identifier and name the
/// program gives it (from its desktop entry, when it has one).
struct TestApp {
  std::string instance;
  std::string wmClass;
  std::string identifier;
  std::string name;
};

inline const TestApp kChrome{"google-chrome", "Google-chrome", "google-chrome", "Google Chrome"};
inline const TestApp kFirefox{"Navigator", "firefox", "firefox", "Firefox"};
inline const TestApp kChat{"chatapp", "ChatApp", "org.example.ChatApp", "ChatGPT"};
// No desktop entry and no AI or browser name: never arranged.
inline const TestApp kTerminal{"xterm", "XTerm", "xterm", "XTerm"};

/// The chat application's windows as its desktop entry starts them.
inline const std::vector<std::pair<std::string, std::string>> kChatLaunchWindows = {
    {"New chat", "640x480+700+120"}, {"Project notes", "560x420+760+560"}};

struct WindowSpec {
  std::string title;
  std::string geometry;  // WxH+X+Y of the client
  std::vector<std::string> extra = {};
};

struct TestWindow {
  xcb_window_t id = XCB_WINDOW_NONE;
  const TestApp* app = nullptr;
  std::string title;
  int client = 0;  // index of the client process that made it
};

/// A display as the test expects the program to report it (top-left space).
struct ExpectedDisplay {
  std::string name;
  Rect frame;
  Rect visible;
};

/// Rectangle text as the listing prints it, for whole-number rectangles.
inline std::string rectText(const Rect& r) {
  char text[128];
  std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f, %.1f)", r.x, r.y, r.width, r.height);
  return text;
}

/// Whether two frames differ by at most `tolerance` in each of x, y, width and height.
inline bool near(const Rect& a, const Rect& b, double tolerance = 2) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
         std::fabs(a.width - b.width) <= tolerance && std::fabs(a.height - b.height) <= tolerance;
}

/// Whether the program ended on its own with `status` and wrote nothing to standard error.
inline ::testing::AssertionResult endedWith(const testing::ProgramResult& r, int status) {
  if (r.status == status && r.err.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "status " << r.status << " (expected " << status << ")\nstdout:\n"
         << r.out << "stderr:\n"
         << r.err;
}

class ProgramOnDesktop : public ::testing::TestWithParam<std::string>, protected PrivateDesktop {
 protected:
  static std::string clientPath() {
    return (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient")
        .string();
  }

  void SetUp() override {
    if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!onPath(GetParam())) GTEST_SKIP() << GetParam() << " is not installed";
    ASSERT_EQ(::access(clientPath().c_str(), X_OK), 0)
        << "build the test client first (target tessaloom-testclient)";
    writeDesktopEntries();
    const std::string error = startDesktop(GetParam());
    ASSERT_TRUE(error.empty()) << error;
  }

  // Clients the program launched itself leave with the server.
  void TearDown() override {
    clients_.clear();
    stopDesktop();
  }

  const std::string& display() const { return server_->display(); }
  std::filesystem::path path(const std::string& name) const { return dir_.path() / name; }

  /// The environment of every run on the X desktop: no scene, settings and desktop entries
  /// of this test only.
  std::vector<std::pair<std::string, std::string>> environment() const {
    return {{"DISPLAY", display()},
            {"-TESSALOOM_SCENE", ""},
            {"TESSALOOM_DEFAULTS", path("defaults.json").string()},
            {"XDG_CONFIG_HOME", path("config").string()},
            {"XDG_DATA_HOME", path("data").string()},
            {"XDG_DATA_DIRS", path("system-data").string()}};
  }

  testing::ProgramResult run(const std::vector<std::string>& args, double seconds = 30) {
    return testing::runProgram(TESSALOOM_BINARY, args, environment(), seconds);
  }

  /// Starts a test client with the windows of `app` and waits until the manager has framed
  /// them all. Nothing when it does not come up.
  std::vector<TestWindow> open(const TestApp& app, const std::vector<WindowSpec>& windows) {
    std::vector<std::string> argv = {clientPath()};
    for (const auto& w : windows) {
      argv.insert(argv.end(), {"--window", "--class", app.instance + "," + app.wmClass, "--title",
                               w.title, "--geometry", w.geometry});
      argv.insert(argv.end(), w.extra.begin(), w.extra.end());
    }
    auto process = Process::start(argv, {"DISPLAY=" + display()}, path("client.log").string());
    EXPECT_TRUE(process) << "cannot start the test client";
    if (!process) return {};
    const auto line = process->readLine(after(25));  // the client gives up after 20 s
    EXPECT_TRUE(line && line->rfind("ready ", 0) == 0) << "client not ready: " << line.value_or("");
    if (!line || line->rfind("ready ", 0) != 0) return {};
    std::vector<TestWindow> made;
    std::stringstream ids(line->substr(6));
    for (unsigned long id = 0; ids >> id && made.size() < windows.size();)
      made.push_back({static_cast<xcb_window_t>(id), &app, windows[made.size()].title,
                      static_cast<int>(clients_.size())});
    EXPECT_TRUE(waitFramed(made)) << "the manager did not frame the client's windows";
    clients_.push_back(std::move(process));
    for (const auto& w : made) windows_.push_back(w);
    return made;
  }

  /// Waits until every window is managed and has its frame extents.
  bool waitFramed(const std::vector<TestWindow>& windows, double seconds = 10) {
    return probe_->waitUntil(
        [&] {
          for (const auto& w : windows)
            if (!probe_->framed(w.id)) return false;
          return true;
        },
        seconds);
  }

  /// Ends client `index` and waits until the manager has let go of its windows.
  bool quitClient(int index) {
    clients_[static_cast<std::size_t>(index)]->stop();
    std::erase_if(windows_, [&](const TestWindow& w) { return w.client == index; });
    return probe_->waitUntil(
        [&] {
          for (xcb_window_t c : probe_->clients())
            if (!known(c) && isTestWindow(c)) return false;
          return true;
        },
        10);
  }

  /// Starts a dock along the bottom edge that reserves `height` rows over x from `start`
  /// to `end` (inclusive).
  void openDock(int start, int end, int height) {
    const std::string strut = "0,0,0," + std::to_string(height) + ",0,0,0,0,0,0," +
                              std::to_string(start) + "," + std::to_string(end);
    const std::string geometry = std::to_string(end - start + 1) + "x" + std::to_string(height) +
                                 "+" + std::to_string(start) + "+" + std::to_string(1080 - height);
    auto process =
        Process::start({clientPath(), "--window", "--class", "panel,Panel", "--type", "dock",
                        "--title", "Panel", "--geometry", geometry, "--strut-partial", strut},
                       {"DISPLAY=" + display()}, path("client.log").string());
    ASSERT_TRUE(process);
    const auto line = process->readLine(after(25));
    ASSERT_TRUE(line && line->rfind("ready ", 0) == 0) << "dock not ready";
    clients_.push_back(std::move(process));
  }

  /// Splits the screen into two monitors side by side, LEFT (primary) and RIGHT.
  void splitScreen() {
    const std::string xrandr = "/usr/bin/xrandr";
    ASSERT_EQ(::access(xrandr.c_str(), X_OK), 0) << "xrandr is not installed";
    const std::vector<std::pair<std::string, std::string>> env = {{"DISPLAY", display()}};
    auto r = testing::runProgram(
        xrandr, {"--setmonitor", "*LEFT", "960/254x1080/286+0+0", "screen"}, env, 10);
    ASSERT_EQ(r.status, 0) << r.err;
    r = testing::runProgram(xrandr, {"--setmonitor", "RIGHT", "960/254x1080/286+960+0", "none"},
                            env, 10);
    ASSERT_EQ(r.status, 0) << r.err;
  }

  /// Moves the pointer to (x, y) on the root and waits until the server has it there.
  void movePointer(int x, int y) {
    xcb_warp_pointer(probe_->raw(), XCB_WINDOW_NONE, probe_->root(), 0, 0, 0, 0,
                     static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    ASSERT_TRUE(probe_->waitUntil(
        [&] {
          auto* p = xcb_query_pointer_reply(
              probe_->raw(), xcb_query_pointer(probe_->raw(), probe_->root()), nullptr);
          const bool there = p && p->root_x == x && p->root_y == y;
          std::free(p);
          return there;
        },
        5));
  }

  /// Where the pointer is, in root coordinates.
  Point pointer() {
    auto* p = xcb_query_pointer_reply(probe_->raw(),
                                      xcb_query_pointer(probe_->raw(), probe_->root()), nullptr);
    const Point at =
        p ? Point{static_cast<double>(p->root_x), static_cast<double>(p->root_y)} : Point{};
    std::free(p);
    return at;
  }

  /// The outer frame of `w` as the server reports it.
  Rect frameOf(const TestWindow& w) { return probe_->outerFrame(w.id).value_or(Rect::null()); }

  std::map<xcb_window_t, Rect> framesNow() {
    std::map<xcb_window_t, Rect> frames;
    for (const auto& w : windows_) frames[w.id] = frameOf(w);
    return frames;
  }

  /// Waits until every window of `targets` is within 2 points of its frame there.
  ::testing::AssertionResult settleAt(const std::map<xcb_window_t, Rect>& targets,
                                      double seconds = 3) {
    auto misses = [&] {
      std::string text;
      for (const auto& [id, target] : targets) {
        const auto f = probe_->outerFrame(id);
        if (!f || !near(*f, target))
          text += "\n  window " + std::to_string(id) + ": " + (f ? rectText(*f) : "gone") +
                  " instead of " + rectText(target);
      }
      return text;
    };
    if (probe_->waitUntil([&] { return misses().empty(); }, seconds))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "frames off:" << misses();
  }

  /// The window's title (_NET_WM_NAME) as the server holds it; empty when it has none.
  std::string titleOf(xcb_window_t w) { return probe_->text(w, "_NET_WM_NAME"); }

  /// The class part of the window's WM_CLASS; empty when it has none.
  std::string classOf(xcb_window_t w) {
    const std::string both = probe_->text(w, "WM_CLASS", XCB_ATOM_STRING);
    const auto nul = both.find('\0');
    if (nul == std::string::npos) return "";
    return both.substr(nul + 1, both.find('\0', nul + 1) - nul - 1);
  }

  /// The frames the program plans for `args` on the windows as they are now, worked out by
  /// running it on a scene that holds the same displays, pointer, frontmost application,
  /// applications and windows (with their frames as the server reports them) and settings.
  /// The scene run's output goes to `output`.
  std::map<xcb_window_t, Rect> plannedFrames(const std::vector<std::string>& args,
                                             const std::vector<ExpectedDisplay>& displays,
                                             Point pointer, std::string* output = nullptr) {
    using nlohmann::json;
    const double primaryHeight = displays.front().frame.height;
    auto bottomLeft = [&](const Rect& r) {
      return json::array({r.x, primaryHeight - (r.y + r.height), r.width, r.height});
    };
    json scene;
    scene["screens"] = json::array();
    for (const auto& d : displays)
      scene["screens"].push_back(
          {{"name", d.name}, {"frame", bottomLeft(d.frame)}, {"visible", bottomLeft(d.visible)}});
    scene["mouse"] = json::array({pointer.x, primaryHeight - pointer.y});

    // Applications in the order of their first window in the client list, windows in that
    // order too: the order the X desktop gives them.
    std::vector<int> clientOrder;
    std::map<int, std::vector<const TestWindow*>> byClient;
    for (xcb_window_t c : probe_->clients()) {
      const TestWindow* w = find(c);
      if (!w) continue;
      if (!byClient.count(w->client)) clientOrder.push_back(w->client);
      byClient[w->client].push_back(w);
    }
    scene["apps"] = json::array();
    std::vector<const TestWindow*> order;
    for (int client : clientOrder) {
      const TestWindow& first = *byClient[client].front();
      json app = {{"pid", 1000 + client},
                  {"bundleID", first.app->identifier},
                  {"name", first.app->name},
                  {"windows", json::array()}};
      for (const TestWindow* w : byClient[client]) {
        const Rect f = frameOf(*w);
        app["windows"].push_back({{"title", w->title}, {"frame", {f.x, f.y, f.width, f.height}}});
        order.push_back(w);
      }
      scene["apps"].push_back(app);
    }
    if (const TestWindow* front = frontmost()) scene["frontmost"] = 1000 + front->client;

    const auto run = testing::runOnScene(path("plan"), scene, path("defaults.json"), args);
    EXPECT_TRUE(endedWith(run.result, 0)) << "on the scene";
    if (output) *output = run.result.out;
    std::map<xcb_window_t, Rect> planned;
    for (std::size_t i = 0; i < order.size() && i < run.frames.size(); ++i)
      if (const auto& r = run.frames[i]; r.size() == 4)
        planned[order[i]->id] = Rect(r[0], r[1], r[2], r[3]);
    return planned;
  }

  const TestWindow* find(xcb_window_t id) const {
    for (const auto& w : windows_)
      if (w.id == id) return &w;
    return nullptr;
  }
  bool known(xcb_window_t id) const { return find(id) != nullptr; }

  // Windows made by a test client (not the manager's own, not a dock).
  bool isTestWindow(xcb_window_t id) {
    const std::string c = classOf(id);
    return !c.empty() && c != "Panel";
  }

  /// The test window of the active window, else of the topmost one; nothing when neither is.
  const TestWindow* frontmost() {
    const auto active = probe_->longs(probe_->root(), "_NET_ACTIVE_WINDOW");
    if (!active.empty())
      if (const TestWindow* w = find(active[0])) return w;
    const auto stacking = probe_->longs(probe_->root(), "_NET_CLIENT_LIST_STACKING");
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it)
      if (const TestWindow* w = find(*it)) return w;
    return nullptr;
  }

  std::vector<std::unique_ptr<Process>> clients_;
  std::vector<TestWindow> windows_;

 private:
  void writeDesktopEntries() {
    const std::string client = clientPath();
    dir_.write("data/applications/google-chrome.desktop",
               "[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=" + client +
                   " --window --class google-chrome,Google-chrome --title Chrome\n");
    dir_.write("data/applications/firefox.desktop",
               "[Desktop Entry]\nType=Application\nName=Firefox\nStartupWMClass=firefox\nExec=" +
                   client + " --window --class Navigator,firefox --title Firefox\n");
    std::string exec = client;
    for (const auto& [title, geometry] : kChatLaunchWindows)
      exec += " --window --class chatapp,ChatApp --title \"" + title + "\" --geometry " + geometry;
    dir_.write("data/applications/org.example.ChatApp.desktop",
               "[Desktop Entry]\nType=Application\nName=ChatGPT\nStartupWMClass=ChatApp\nExec=" +
                   exec + "\n");
    std::filesystem::create_directories(path("system-data"));
  }
};

inline std::string managerName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

}  // namespace tessaloom::x11test
