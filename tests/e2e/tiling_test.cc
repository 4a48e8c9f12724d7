// The program on sway (headless) and i3 (on Xvfb), which it drives over their IPC socket:
// listing, every layout against the plan worked out on a scene of the same windows, undo,
// two outputs and the output in focus, save and restore with a relaunch, a window that goes
// away mid-arrangement, a compositor that freezes or dies, and the tray's grid hot key with its
// plate.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/scene_json.h"
#include "support/tiling_session.h"

namespace tessaloom::tilingtest {
namespace {

struct Display {
  std::string name;
  Rect frame, visible;
};

struct App {
  std::string id;  // app_id on sway, WM_CLASS instance,class for the X11 client
  std::string identifier, name;
};

const App kChrome{"google-chrome", "google-chrome", "Google Chrome"};
const App kFirefox{"firefox", "firefox", "Firefox"};
const App kChat{"chatapp,ChatApp", "org.example.ChatApp", "ChatGPT"};

constexpr std::pair<const char*, const char*> kLayouts[] = {
    {"grid", "自動タイルで整列"},
    {"columns", "横一列に並べる"},
    {"aiSplit", "ブラウザ左＋AI右に分ける"},
    {"cascade", "同じサイズで重ねる"},
    {"sameSize", "サイズだけ揃える（位置はそのまま）"}};

::testing::AssertionResult endedWith(const testing::ProgramResult& r, int status) {
  if (r.status == status && r.err.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status " << r.status << "\nstdout:\n"
                                       << r.out << "stderr:\n"
                                       << r.err;
}

class OnTilingDesktop : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    for (const char* p : {GetParam() == "sway" ? "sway" : "i3", "Xvfb", "foot", "setpriv"})
      if (!x11test::onPath(p)) GTEST_SKIP() << p << " is not installed";
    const std::string client = TilingSession::testClient();
    std::string chat = client;
    for (const char* title : {"New chat", "Project notes"})
      chat += " --window --class chatapp,ChatApp --title \"" + std::string(title) + "\"";
    // On sway the program's children are not XWayland's user: the chat starts as a foot.
    if (sway()) chat = "foot --app-id org.example.ChatApp -T \"New chat\" sleep 100000";
    dir_.write("data/applications/google-chrome.desktop",
               "[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=" + client + "\n");
    dir_.write("data/applications/firefox.desktop",
               "[Desktop Entry]\nType=Application\nName=Firefox\nStartupWMClass=firefox\nExec=" +
                   client + "\n");
    dir_.write("data/applications/org.example.ChatApp.desktop",
               "[Desktop Entry]\nType=Application\nName=ChatGPT\nStartupWMClass=ChatApp\nExec=" +
                   chat + "\n");
    std::filesystem::create_directories(dir_.path() / "system-data");
    const std::string error = session_.start(GetParam(), dir_, debugLog());
    ASSERT_TRUE(error.empty()) << error;
  }

  virtual bool debugLog() const { return false; }
  bool sway() const { return GetParam() == "sway"; }

  /// The program's environment ("-NAME" unsets NAME).
  std::vector<std::pair<std::string, std::string>> environment() const {
    auto env = session_.programEnvironment();
    env.insert(env.end(), {{"-TESSALOOM_SCENE", ""},
                           {"-TESSALOOM_BACKEND", ""},
                           {"TESSALOOM_DEFAULTS", (dir_.path() / "defaults.json").string()},
                           {"XDG_CONFIG_HOME", (dir_.path() / "config").string()},
                           {"XDG_DATA_HOME", (dir_.path() / "data").string()},
                           {"XDG_DATA_DIRS", (dir_.path() / "system-data").string()}});
    return env;
  }

  testing::ProgramResult run(const std::vector<std::string>& args) {
    return testing::runProgram(TESSALOOM_BINARY, args, environment(), 30);
  }

  /// Opens windows of `app`: native ones on sway unless `x11`, X11 ones on i3.
  std::vector<int> open(const App& app, const std::vector<std::string>& titles, bool x11 = false,
                        const std::vector<std::string>& extra = {}) {
    x11 = x11 || !sway();
    const std::string id =
        x11 ? (app.id.find(',') == std::string::npos ? app.id + "," + app.id : app.id)
            : app.identifier;
    auto made = session_.open(id, titles, x11, extra);
    EXPECT_FALSE(made.empty()) << "the windows of " << app.name << " did not show";
    for (const auto& t : titles) apps_[t] = &app;
    return made;
  }

  std::map<std::string, Rect> framesNow() {
    std::map<std::string, Rect> frames;
    for (const auto& w : session_.windows()) frames[w.title] = w.frame;
    return frames;
  }

  /// Waits until every window titled in `targets` is within 2 of its frame there.
  ::testing::AssertionResult settleAt(const std::map<std::string, Rect>& targets) {
    std::string misses;
    const bool ok = TilingSession::waitUntil(
        [&] {
          misses.clear();
          const auto now = framesNow();
          for (const auto& [title, want] : targets) {
            auto it = now.find(title);
            if (it == now.end() || std::fabs(it->second.x - want.x) > 2 ||
                std::fabs(it->second.y - want.y) > 2 ||
                std::fabs(it->second.width - want.width) > 2 ||
                std::fabs(it->second.height - want.height) > 2)
              misses += "\n  " + title + ": " + (it == now.end() ? "gone" : describe(it->second)) +
                        " instead of " + describe(want);
          }
          return misses.empty();
        },
        5);
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "frames off:" << misses;
  }

  /// The frames the program plans for `args`, found by running it on a scene of the same
  /// displays, pointer, applications and windows; that run's output goes to `output`.
  std::map<std::string, Rect> plannedFrames(const std::vector<std::string>& args,
                                            const std::vector<Display>& displays,
                                            std::string* output = nullptr) {
    using nlohmann::json;
    const double height = displays.front().frame.height;
    auto bottomLeft = [&](const Rect& r) {
      return json::array({r.x, height - (r.y + r.height), r.width, r.height});
    };
    json scene = {{"screens", json::array()}, {"apps", json::array()}};
    for (const auto& d : displays)
      scene["screens"].push_back(
          {{"name", d.name}, {"frame", bottomLeft(d.frame)}, {"visible", bottomLeft(d.visible)}});
    // The pointer stands for the centre of the output in focus.
    const auto windows = session_.windows();
    Point pointer{displays.front().frame.midX(), displays.front().frame.midY()};
    // Applications as the backend groups them: by identity and process, in tree order (i3's
    // tree has no process ids: the tests there run one client per application).
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    std::vector<std::vector<std::string>> titles;  // per application
    for (const auto& w : windows) {
      const App* app = apps_.count(w.title) ? apps_[w.title] : nullptr;
      if (!app) continue;
      const auto key = std::make_pair(app->identifier, w.pid);
      auto it = std::find(keys.begin(), keys.end(), key);
      if (it == keys.end()) {
        keys.push_back(key);
        scene["apps"].push_back({{"pid", 1000 + keys.size()},
                                 {"bundleID", app->identifier},
                                 {"name", app->name},
                                 {"windows", json::array()}});
        titles.emplace_back();
        it = keys.end() - 1;
      }
      titles[static_cast<std::size_t>(it - keys.begin())].push_back(w.title);
      json& entry = scene["apps"][static_cast<std::size_t>(it - keys.begin())];
      entry["windows"].push_back(
          {{"title", w.title}, {"frame", {w.frame.x, w.frame.y, w.frame.width, w.frame.height}}});
      if (w.focused) {
        scene["frontmost"] = entry["pid"];
        for (const auto& d : displays)
          if (d.frame.contains({w.frame.midX(), w.frame.midY()}))
            pointer = {d.frame.midX(), d.frame.midY()};
      }
    }
    scene["mouse"] = json::array({pointer.x, height - pointer.y});
    const auto folder = dir_.path() / "plan";
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder / "defaults.json");
    if (std::filesystem::exists(dir_.path() / "defaults.json"))
      std::filesystem::copy_file(dir_.path() / "defaults.json", folder / "defaults.json");
    std::ofstream(folder / "scene.json") << testing::normalizedScene(scene).dump(2);
    const auto r =
        testing::runProgram(TESSALOOM_BINARY, args,
                            {{"TESSALOOM_SCENE", (folder / "scene.json").string()},
                             {"TESSALOOM_DEFAULTS", (folder / "defaults.json").string()}},
                            30);
    EXPECT_TRUE(endedWith(r, 0)) << "on the scene";
    if (output) *output = r.out;
    json after;
    std::ifstream(folder / "scene.json") >> after;
    std::map<std::string, Rect> planned;
    for (std::size_t a = 0; a < titles.size() && a < after["apps"].size(); ++a)
      for (std::size_t i = 0; i < titles[a].size() && i < after["apps"][a]["windows"].size(); ++i) {
        const auto f = after["apps"][a]["windows"][i]["frame"].get<std::vector<double>>();
        if (f.size() == 4) planned[titles[a][i]] = Rect(f[0], f[1], f[2], f[3]);
      }
    return planned;
  }

  std::vector<Display> oneScreen() const {
    return {{sway() ? "HEADLESS-1" : "screen", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};
  }

  TempDir dir_;
  TilingSession session_;
  std::map<std::string, const App*> apps_;
};

TEST_P(OnTilingDesktop, ListsTheWindowsOfTheVisibleWorkspaceWithTheirFrames) {
  open(kChrome, {"Quarterly report - Google Docs", "ChatGPT - Summarise the report"});
  open(kChat, {"New chat"}, true);
  std::string onScene;
  plannedFrames({"--list"}, oneScreen(), &onScene);
  const auto r = run({"--list"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, onScene);
  EXPECT_NE(r.out.find("[AI] ChatGPT | New chat | "), std::string::npos) << r.out;
}

TEST_P(OnTilingDesktop, EveryLayoutPutsTiledWindowsAtTheirPlannedFramesAndUndoToggles) {
  open(kChrome, {"Quarterly report - Google Docs", "ChatGPT - Summarise the report"});
  open(kFirefox, {"Release notes - Mozilla Firefox"});
  open(kChat, {"New chat", "Project notes"}, true);
  for (const auto& [layout, title] : kLayouts) {
    SCOPED_TRACE(layout);
    const auto before = framesNow();
    std::string onScene;
    const auto planned = plannedFrames({"--apply", layout}, oneScreen(), &onScene);
    ASSERT_EQ(planned.size(), 5u);
    auto r = run({"--apply", layout});
    ASSERT_TRUE(endedWith(r, 0));
    EXPECT_EQ(r.out, std::string(title) + ": 5枚\n");
    EXPECT_EQ(r.out, onScene);
    EXPECT_TRUE(settleAt(planned));
    // Undo twice: back where they were, then the arrangement again.
    r = run({"--undo"});
    ASSERT_TRUE(endedWith(r, 0));
    EXPECT_EQ(r.out, "元に戻した: 5枚\n");
    EXPECT_TRUE(settleAt(before));
    ASSERT_TRUE(endedWith(run({"--undo"}), 0));
    EXPECT_TRUE(settleAt(planned));
  }
}

TEST_P(OnTilingDesktop, TwoOutputsEachOnItsOwnOrAllOnTheOneInFocus) {
  ASSERT_TRUE(session_.addOutput());
  const std::vector<Display> outputs =
      sway() ? std::vector<Display>{{"HEADLESS-1", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
                                    {"HEADLESS-2", {1920, 0, 1280, 720}, {1920, 0, 1280, 720}}}
             : std::vector<Display>{{"LEFT", {0, 0, 960, 1080}, {0, 0, 960, 1080}},
                                    {"RIGHT", {960, 0, 960, 1080}, {960, 0, 960, 1080}}};
  open(kChrome, {"Left one", "Left two"});
  session_.ask("command", "focus output " + outputs[1].name);
  open(kFirefox, {"Right one"});
  open(kChat, {"Right chat"}, true);
  for (const char* mode : {"--per-display", "--mouse"})
    for (const auto& [layout, title] : kLayouts) {
      SCOPED_TRACE(std::string(layout) + " " + mode);
      std::string onScene;
      const auto planned = plannedFrames({"--apply", layout, mode}, outputs, &onScene);
      ASSERT_EQ(planned.size(), 4u);
      const auto r = run({"--apply", layout, mode});
      ASSERT_TRUE(endedWith(r, 0));
      EXPECT_EQ(r.out, onScene);
      EXPECT_TRUE(settleAt(planned));
    }
}

TEST_P(OnTilingDesktop, RestoreStartsAQuitApplicationFromItsEntryAndPutsItsWindowsBack) {
  open(kChrome, {"Docs", "Mail"});
  const std::vector<std::string> chatTitles =
      sway() ? std::vector<std::string>{"New chat"}
             : std::vector<std::string>{"New chat", "Project notes"};
  const auto chat = open(kChat, chatTitles, false);
  ASSERT_FALSE(chat.empty());
  const std::size_t count = 2 + chatTitles.size();
  const auto columns = plannedFrames({"--apply", "columns"}, oneScreen());
  ASSERT_TRUE(endedWith(run({"--apply", "columns"}), 0));
  ASSERT_TRUE(settleAt(columns));
  auto r = run({"--save"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "保存: " + std::to_string(count) + "枚\n");
  const auto saved = framesNow();
  ASSERT_TRUE(endedWith(run({"--apply", "cascade"}), 0));
  ASSERT_TRUE(session_.quit(chat.front(), chatTitles));

  r = run({"--restore"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "復元: " + std::to_string(count) + "枚\n");
  EXPECT_TRUE(settleAt(saved));
}

TEST_P(OnTilingDesktop, AWindowThatVanishesDuringTheArrangementIsNoFailure) {
  open(kChrome, {"Docs", "Mail"});
  // Its client quits as soon as the window is resized, in the middle of the arrangement.
  open(kChat, {"Floating chat"}, true, {"--exit-on-resize"});
  auto planned = plannedFrames({"--apply", "grid"}, oneScreen());
  ASSERT_EQ(planned.size(), 3u);
  auto r = run({"--apply", "grid"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "自動タイルで整列: 3枚\n");
  planned.erase("Floating chat");
  EXPECT_TRUE(settleAt(planned));
  r = run({"--undo"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "元に戻した: 2枚\n");
}

// Failures come last, as one line, with status 2.
::testing::AssertionResult failedWithOneLine(const testing::ProgramResult& r) {
  const auto last = r.out.rfind('\n', r.out.size() >= 2 ? r.out.size() - 2 : 0);
  const std::string line = r.out.substr(last == std::string::npos ? 0 : last + 1);
  if (r.status == 2 && !line.empty() && line.find("枚") == std::string::npos && r.err.empty())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status " << r.status << "\nstdout:\n"
                                       << r.out << "stderr:\n"
                                       << r.err;
}

TEST_P(OnTilingDesktop, ACompositorThatDiesMidArrangementFailsTheCommand) {
  open(kChrome, {"Docs", "Mail"});
  // Its client kills the compositor as soon as the window is resized.
  open(kChat, {"Floating chat"}, true,
       {"--kill-on-resize", std::to_string(session_.compositor().pid())});
  EXPECT_TRUE(failedWithOneLine(run({"--apply", "grid"})));
}

TEST_P(OnTilingDesktop, AFrozenSwayFailsTheCommandWithinSeconds) {
  // A frozen i3 leaves the X server answering: the program falls back to plain X11 there.
  if (!sway()) GTEST_SKIP() << "sway only";
  open(kChrome, {"Docs"});
  session_.compositor().signal(SIGSTOP);
  const auto start = Clock::now();
  const auto r = run({"--list"});
  session_.compositor().signal(SIGCONT);
  EXPECT_TRUE(failedWithOneLine(r));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
}

// The tray application: its grid hot key pressed on the desktop's own keyboard (sway's is
// bound at run time, i3's grabbed from X) puts every window in its cell and shows the plate
// (on the layer shell on sway); its item is the classic icon on X11 only; when it quits, sway
// keeps no binding of it.
class TrayOnTilingDesktop : public OnTilingDesktop {
 protected:
  bool debugLog() const override { return true; }

  /// Reads the tray's lines until `line`; false at the deadline or its end.
  bool said(Process& tray, const std::string& line) {
    const auto deadline = after(20);
    for (auto next = tray.readLine(deadline); next; next = tray.readLine(deadline))
      if (lines_.push_back(*next); *next == line) return true;
    return false;
  }
  std::vector<std::string> lines_;

  /// The exit status of `pid` once it has ended, left for its owner to reap; -1 at the
  /// deadline or when a signal ended it.
  static int exitStatus(pid_t pid) {
    siginfo_t info{};
    TilingSession::waitUntil(
        [&] {
          return ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid;
        },
        10);
    return info.si_pid && info.si_code == CLD_EXITED ? info.si_status : -1;
  }
};

TEST_P(TrayOnTilingDesktop, TheGridKeyPutsEveryWindowInItsCellShowsThePlateAndUnbindsOnQuit) {
  for (const char* p : {sway() ? "wtype" : "xdotool", "dbus-daemon"})
    if (!x11test::onPath(p)) GTEST_SKIP() << p << " is not installed";
  if (!std::filesystem::exists(std::filesystem::path(TESSALOOM_BINARY).parent_path() /
                               "tessaloom-tray.so"))
    GTEST_SKIP() << "the tray is not in this build";
  open(kChrome, {"Docs", "Mail"});
  open(kChat, {"New chat"}, true);
  const auto planned = plannedFrames({"--apply", "grid"}, oneScreen());
  ASSERT_EQ(planned.size(), 3u);
  auto bus = Process::start({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
  const auto address = bus ? bus->readLine(after(15)) : std::nullopt;
  ASSERT_TRUE(address && !address->empty()) << "no session bus";
  std::vector<std::string> env = {
      "DBUS_SESSION_BUS_ADDRESS=" + *address, "HOME=" + dir_.path().string(), "TESSALOOM_TRACE=1",
      "NO_AT_BRIDGE=1",
      "LSAN_OPTIONS=suppressions=" TESSALOOM_SOURCE_DIR "/tests/lsan.supp:print_suppressions=0"};
  // GTK finds its icon themes and file types in the system's data folders.
  for (auto [name, value] : environment()) {
    if (name == "XDG_DATA_DIRS") value = "/usr/local/share:/usr/share";
    env.push_back((name.front() == '-' ? name.substr(1) : name) + "=" + value);
  }
  const std::string log = (dir_.path() / "tray.log").string();
  auto tray = Process::start({TESSALOOM_BINARY}, env, log);
  ASSERT_TRUE(tray && said(*tray, "ready")) << "the tray did not start:\n"
                                            << std::ifstream(log).rdbuf();

  // No XEmbed on Wayland: there the item waits for a StatusNotifier host (none runs here).
  const std::string item = sway() ? "status-item status-notifier" : "status-item xembed";
  EXPECT_NE(std::find(lines_.begin(), lines_.end(), item), lines_.end());

  ASSERT_TRUE(session_.pressControlAltG());
  EXPECT_TRUE(TilingSession::waitUntil([&] { return session_.plate(true); }, 5)) << "no plate";
  EXPECT_TRUE(settleAt(planned));
  EXPECT_TRUE(TilingSession::waitUntil([&] { return session_.plate(false); }, 5)) << "plate stays";
  tray->signal(SIGTERM);
  EXPECT_TRUE(said(*tray, "quit"));
  EXPECT_EQ(exitStatus(tray->pid()), 0);
  std::stringstream errors;
  errors << std::ifstream(log).rdbuf();
  EXPECT_EQ(errors.str().find("CRITICAL"), std::string::npos) << errors.str();
  if (sway()) {
    EXPECT_FALSE(session_.ask("command", "unbindsym Ctrl+Mod1+g")[0].value("success", true));
  }
}

std::string desktopName(const ::testing::TestParamInfo<std::string>& desktop) {
  return desktop.param;
}

INSTANTIATE_TEST_SUITE_P(Desktops, OnTilingDesktop, ::testing::Values("sway", "i3"), desktopName);
INSTANTIATE_TEST_SUITE_P(Desktops, TrayOnTilingDesktop, ::testing::Values("sway", "i3"),
                         desktopName);

}  // namespace
}  // namespace tessaloom::tilingtest
