// The program on every desktop, checked against the layout model: one scenario per concern.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "e2e/desktops.h"
#include "support/layout_model.h"
#include "support/private_bus.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace tessaloom::e2e {
namespace {

using Frames = std::map<std::string, Rect>;  // by window title

using Opened = std::pair<const App*, std::vector<WindowSpec>>;

// Each layout and the title its result line starts with.
constexpr std::pair<const char*, const char*> kLayouts[] = {
    {"grid", "自動タイルで整列"},
    {"columns", "横一列に並べる"},
    {"aiSplit", "ブラウザ左＋AI右に分ける"},
    {"cascade", "同じサイズで重ねる"},
    {"sameSize", "サイズだけ揃える（位置はそのまま）"}};

// The chat application's windows and a browser page of a chat service are AI windows.
bool isAi(const SeenWindow& w) {
  return w.app == kChat.identifier || w.title.starts_with("ChatGPT");
}

const App& appOf(const std::string& identifier) {
  const App* app = appNamed(identifier);
  return app ? *app : kTerminal;
}

// Debian's browsers keep their windows at least about 500 points wide.
bool real(const SeenWindow& w) {
  return w.app == kFirefoxEsr.identifier || w.app == kChromium.identifier;
}

bool near(const Rect& a, const Rect& b) {
  return std::fabs(a.x - b.x) <= 2 && std::fabs(a.y - b.y) <= 2 &&
         std::fabs(a.width - b.width) <= 2 && std::fabs(a.height - b.height) <= 2;
}

::testing::AssertionResult ended(const testing::ProgramResult& r, const std::string& out) {
  if (r.status == 0 && r.err.empty() && r.out == out) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status " + std::to_string(r.status) + ", stdout:\n" +
                                              r.out + "instead of\n" + out + "stderr:\n" + r.err;
}

class Scenario : public ::testing::TestWithParam<DesktopKind> {
 protected:
  virtual int monitorCount() const { return 1; }

  // Only a desktop this machine cannot have is skipped (ctest lists it at the end); one that
  // should come up and does not, twice, fails.
  void SetUp() override {
    std::string why;
    for (int attempt = 0; attempt < 2; ++attempt) {
      desktop_ = GetParam().make();
      for (const App* app : {&kChrome, &kFirefox, &kChat})
        dir_.write("data/applications/" + app->identifier + ".desktop",
                   "[Desktop Entry]\nType=Application\nName=" + app->name + "\nExec=true\n");
      why = desktop_->start(dir_.path() / ("desktop" + std::to_string(attempt)), monitorCount());
      if (why.empty()) return;
      if (why.ends_with(" is not installed")) GTEST_SKIP() << why;
    }
    FAIL() << GetParam().name << " did not come up: " << why;
  }

  Environment environment() const {
    Environment env = desktop_->environment();
    env.insert(env.end(), {{"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                           {"XDG_CONFIG_HOME", dir_.file("config")},
                           {"XDG_DATA_HOME", dir_.file("data")},
                           {"XDG_DATA_DIRS", dir_.file("system-data")}});
    return env;
  }
  testing::ProgramResult run(const std::vector<std::string>& args) {
    return testing::runProgram(TESSALOOM_BINARY, args, environment(), 60);
  }
  void open(const std::vector<Opened>& all) {
    for (const auto& [app, windows] : all) ASSERT_TRUE(desktop_->open(*app, windows));
  }
  Frames frames() {
    Frames f;
    for (const auto& w : desktop_->windows()) f[w.title] = w.frame;
    return f;
  }

  // Whether a window at `now` stands where it was put, at `want`.
  virtual bool fits(const Rect& now, const Rect& want) const { return near(now, want); }

  // Waits until the windows stand at one of the `candidates`; says how they miss the last.
  ::testing::AssertionResult settles(const std::vector<Frames>& candidates, double seconds = 5) {
    std::string misses;
    const auto meets = [&](const Frames& now, const Frames& want) {
      misses.clear();
      for (const auto& [title, frame] : want)
        if (!now.count(title) || !fits(now.at(title), frame))
          misses += "\n  " + title + ": " + (now.count(title) ? describe(now.at(title)) : "gone") +
                    " instead of " + describe(frame);
      return misses.empty();
    };
    const auto settled = [&] {
      const Frames now = frames();  // one read of the desktop for every candidate
      return std::ranges::any_of(candidates, [&](const Frames& want) { return meets(now, want); });
    };
    if (testing::waitUntil(settled, seconds)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "frames off:" << misses;
  }

  // Where `layout` should put the browser and AI windows shown now. sameSize takes its size
  // from the focused application's first window, which only the desktop knows: the first
  // window of every application is a candidate.
  std::vector<Frames> planned(const std::string& layout, bool mouse = false, int pointer = 0) {
    auto targets = desktop_->windows();
    std::erase_if(targets, [](const SeenWindow& w) { return w.app == kTerminal.identifier; });
    std::ranges::stable_sort(targets, {}, [](const SeenWindow& w) { return appOf(w.app).name; });
    std::vector<model::Window> windows;
    for (const auto& w : targets) windows.push_back({w.frame, isAi(w)});
    std::vector<model::Screen> screens;
    for (const auto& m : desktop_->monitors()) screens.push_back({m.frame, m.usable});
    const Rect& under = screens[static_cast<std::size_t>(pointer)].frame;
    std::vector<Frames> candidates;
    for (std::size_t first = 0; first < targets.size(); ++first) {
      if (first > 0 && (layout != "sameSize" || targets[first].app == targets[first - 1].app))
        continue;
      // A real browser's least width (about 500) may be told or not, and may be below a column.
      for (const double least : {0.0, 500.0}) {
        if (least > 0 && std::ranges::none_of(targets, real)) continue;
        for (std::size_t i = 0; i < targets.size(); ++i)
          windows[i].minWidth = real(targets[i]) ? least : 0;
        const auto placed = model::arrange(layout, windows, screens, mouse,
                                           {under.midX(), under.midY()}, 8, 0.4, first);
        Frames& f = candidates.emplace_back();
        for (std::size_t i = 0; i < targets.size(); ++i) f[targets[i].title] = placed[i];
      }
    }
    return candidates;
  }

  // The monitors with their usable areas, then the browser and AI windows by application name,
  // each application's windows in the desktop's order, with their frames (within 2 px).
  void expectListing() {
    // A window may still move a moment after it shows (browsers do): list once all stand still.
    Frames last;
    ASSERT_TRUE(testing::waitUntil([&] { return std::exchange(last, frames()) == last; }, 10));
    const auto r = run({"--list"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::pair<std::string, Rect>> want;  // each line without its frame, the frame
    for (const auto& m : desktop_->monitors())
      want.push_back(
          {"display " + m.name + " frame=" + describe(m.frame) + " visible=" + describe(m.usable),
           {}});
    auto seen = desktop_->windows();
    std::stable_sort(seen.begin(), seen.end(), [](const SeenWindow& a, const SeenWindow& b) {
      return appOf(a.app).name < appOf(b.app).name;
    });
    for (const auto& w : seen)
      if (w.app != kTerminal.identifier)
        want.push_back(
            {(isAi(w) ? "[AI] " : "[ブラウザ] ") + appOf(w.app).name + " | " + w.title, w.frame});
    std::vector<std::pair<std::string, Rect>> got;
    std::stringstream out(r.out);
    for (std::string line; std::getline(out, line);) {
      const auto cut = line.rfind(" | (");
      Rect& frame = got.emplace_back(line.substr(0, cut), Rect()).second;
      if (cut != std::string::npos)
        std::sscanf(line.c_str() + cut + 3, "(%lf, %lf, %lf, %lf)", &frame.x, &frame.y,
                    &frame.width, &frame.height);
    }
    ASSERT_EQ(got.size(), want.size()) << r.out;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].first, want[i].first);
      EXPECT_TRUE(near(got[i].second, want[i].second)) << got[i].first;
    }
  }

  // Layouts that promise windows side by side: none covers another.
  static ::testing::AssertionResult apart(Frames frames, const std::string& fixed) {
    frames.erase(fixed);
    for (auto a = frames.begin(); a != frames.end(); ++a)
      for (auto b = std::next(a); b != frames.end(); ++b)
        if (const Rect both = a->second.insetBy(1, 1).intersection(b->second); !both.isNull())
          return ::testing::AssertionFailure() << a->first << " covers " << b->first;
    return ::testing::AssertionSuccess();
  }

  // Lists the windows; then each layout places them as planned (none covering another where it
  // promises them side by side) and undo toggles back and forth. `fixed` never moves.
  void expectEveryLayoutAndUndo(const std::string& count, const std::string& fixed = "") {
    ASSERT_NO_FATAL_FAILURE(expectListing());
    for (const auto& [layout, title] : kLayouts) {
      SCOPED_TRACE(layout);
      const Frames before = frames();
      auto plans = planned(layout);
      for (auto& plan : plans)
        if (!fixed.empty()) plan[fixed] = before.at(fixed);
      ASSERT_TRUE(ended(run({"--apply", layout}), std::string(title) + ": " + count));
      EXPECT_TRUE(settles(plans));
      const Frames arranged = frames();
      const bool mayOverlap = layout == std::string("cascade") || layout == std::string("sameSize");
      EXPECT_TRUE(mayOverlap ? ::testing::AssertionSuccess() : apart(arranged, fixed));
      for (const Frames& back : {before, arranged}) {
        ASSERT_TRUE(ended(run({"--undo"}), "元に戻した: " + count));
        EXPECT_TRUE(settles({back}));
      }
    }
  }

  // Starts the tray (skips where it cannot run), on a bus of its own where the desktop has none.
  void startTray() {
    std::filesystem::create_directories(dir_.path() / "runtime");
    std::vector<std::string> env;  // the desktop's own variables first: they win
    bool shown = false;            // GTK needs a display; GTK finds its icons in /usr/share
    for (const auto& [key, value] : environment()) {
      shown = shown || key == "DISPLAY" || key == "WAYLAND_DISPLAY";
      if (!key.starts_with('-'))
        env.push_back(key + "=" + value + (key == "XDG_DATA_DIRS" ? ":/usr/share" : ""));
    }
    const std::string bus = trayBus_.emplace().address();
    env.insert(env.end(),
               {"DBUS_SESSION_BUS_ADDRESS=" + bus, "XDG_RUNTIME_DIR=" + dir_.file("runtime"),
                "HOME=" + dir_.path().string(), "TESSALOOM_TRACE=1", "NO_AT_BRIDGE=1"});
    if (!shown || bus.empty()) GTEST_SKIP() << "no display or session bus for the tray";
    tray_ = testing::Process::start({TESSALOOM_BINARY}, env, dir_.file("tray.log"));
    ASSERT_TRUE(tray_ && tray_->readUntil("ready", testing::after(30)))
        << "the tray did not start; see tray.log";
  }
  void quitTray() {
    tray_->signal(SIGTERM);
    EXPECT_TRUE(tray_->waitExit(testing::after(20)));
    EXPECT_EQ(tray_->status(), 0) << "see tray.log";
  }

  testing::TempDir dir_;
  std::unique_ptr<Desktop> desktop_;
  std::optional<testing::PrivateBus> trayBus_;
  std::unique_ptr<testing::Process> tray_;
};

class TwoMonitors : public Scenario {
  int monitorCount() const override { return 2; }
};

// The tray needs a display for its toolkit: the simulated desktop, which has none, runs no tray.
class TrayScenario : public Scenario {};
class TrayTwoMonitors : public TwoMonitors {};
const auto kTrayDesktops = [] {
  auto kinds = kDesktops;
  std::erase_if(kinds, [](const DesktopKind& k) { return k.name == "sim"; });
  return kinds;
}();

TEST_P(Scenario, ListsTheTargetsAndEveryLayoutPlacesThemWhileUndoTogglesBackAndForth) {
  ASSERT_NO_FATAL_FAILURE(open(
      {{&kChrome,
        {{"Quarterly report - Google Docs", {60, 80, 900, 700}},
         {"ChatGPT - Summarise the report", {300, 120, 1000, 700}}}},
       {&kFirefox, {{"Release notes – Firefox für Linux", {700, 150, 1100, 800}}}},
       {&kChat, {{"New chat", {200, 200, 800, 600}}, {"Project notes", {1200, 300, 600, 500}}}},
       {&kTerminal, {{"~/src", {30, 600, 500, 300}}}}}));
  expectEveryLayoutAndUndo("5枚\n", "~/src");
}

TEST_P(Scenario, AMaximizedWindowIsPlacedUnmaximizedAndOneThatVanishesMidwayIsNoFailure) {
  ASSERT_NO_FATAL_FAILURE(open({{&kChrome, {{"Maximized", {100, 100, 800, 600}, true}}},
                                {&kFirefox, {{"Beside", {600, 300, 700, 500}}}},
                                {&kChat, {{"Vanishing", {900, 200, 600, 450}, false, true}}}}));
  const auto maximized = [&] {
    const auto seen = desktop_->windows();
    return std::ranges::find(seen, "Maximized", &SeenWindow::title)->maximized;
  };
  ASSERT_TRUE(maximized());
  const Frames before = frames();
  auto plans = planned("grid");
  // It was listed and planned, and then it went away.
  ASSERT_TRUE(ended(run({"--apply", "grid"}), "自動タイルで整列: 3枚\n"));
  plans.front().erase("Vanishing");
  EXPECT_TRUE(settles(plans));
  EXPECT_EQ(frames().count("Vanishing"), 0u);
  EXPECT_FALSE(maximized());
  ASSERT_TRUE(ended(run({"--undo"}), "元に戻した: 2枚\n"));
  EXPECT_TRUE(settles({{{"Maximized", before.at("Maximized")}, {"Beside", before.at("Beside")}}}));
}

// The first chord the tray binds and the last (undo) both work.
TEST_P(TrayScenario, TheTrayArrangesOnControlAltGAndUndoesOnControlAltZ) {
  ASSERT_NO_FATAL_FAILURE(
      open({{&kChrome, {{"Docs", {100, 100, 800, 600}}, {"Mail", {400, 300, 700, 500}}}},
            {&kChat, {{"New chat", {200, 200, 600, 450}}}}}));
  ASSERT_NO_FATAL_FAILURE(startTray());
  if (IsSkipped()) return;
  const Frames before = frames();
  const auto plans = planned("grid");
  if (!desktop_->press('g')) GTEST_SKIP() << GetParam().name << " cannot press keys here";
  EXPECT_TRUE(settles(plans, 10));
  ASSERT_TRUE(desktop_->press('z'));
  EXPECT_TRUE(settles({before}, 10));
  // Quitting right after its plate: a clean end, also under the sanitizers.
  ASSERT_NO_FATAL_FAILURE(quitTray());
}

TEST_P(TwoMonitors, ListsBothAndArrangesEachOnItsOwnOrAllOnTheOneUnderThePointer) {
  ASSERT_NO_FATAL_FAILURE(open(
      {{&kChrome,
        {{"Quarterly report - Google Docs", {40, 60, 700, 600}},
         {"ChatGPT - Summarise the report", {1100, 100, 700, 500}}}},
       {&kFirefox, {{"Release notes - Mozilla Firefox", {1050, 350, 800, 600}}}},
       // Mostly on the right monitor, a little on the left.
       {&kChat, {{"New chat", {200, 500, 600, 450}}, {"Project notes", {800, 200, 700, 500}}}}}));
  ASSERT_NO_FATAL_FAILURE(expectListing());
  for (const char* mode : {"--per-display", "--mouse"}) {
    int pointer = 1;
    // Where no test may move the pointer, everything goes to the monitor it is on.
    if (mode == std::string("--mouse"))
      if (const auto pointed = desktop_->pointAt(1); !pointed) {
        pointer = desktop_->pointerMonitor();
        ASSERT_GE(pointer, 0) << pointed.message();
      }
    for (const auto& [layout, title] : kLayouts) {
      SCOPED_TRACE(std::string(layout) + " " + mode);
      const auto plans = planned(layout, mode == std::string("--mouse"), pointer);
      ASSERT_TRUE(ended(run({"--apply", layout, mode}), std::string(title) + ": 5枚\n"));
      EXPECT_TRUE(settles(plans));
    }
  }
}

TEST_P(TrayTwoMonitors, TheTrayRestoresWhatWasSavedOnTheMonitorsLeftOnceTheChangeHasSettled) {
  ASSERT_NO_FATAL_FAILURE(open({{&kChrome, {{"Docs", {100, 100, 800, 600}}}}}));
  ASSERT_TRUE(ended(run({"--save", "pair"}), "保存「pair」: 1枚\n"));
  if (!desktop_->showMonitors(1)) GTEST_SKIP() << GetParam().name << " keeps its monitors";
  const auto alone = planned("grid");
  ASSERT_TRUE(ended(run({"--apply", "grid"}), "自動タイルで整列: 1枚\n"));
  ASSERT_TRUE(settles(alone));
  ASSERT_TRUE(ended(run({"--save", "alone"}), "保存「alone」: 1枚\n"));
  ASSERT_NO_FATAL_FAILURE(startTray());
  if (IsSkipped()) return;
  // Off by default: "pair" stays saved for two monitors, and nothing moves.
  const Frames arranged = frames();
  ASSERT_TRUE(desktop_->showMonitors(2));
  EXPECT_FALSE(testing::waitUntil([&] { return frames() != arranged; }, 3));
  ASSERT_TRUE(ended(run({"--undo"}), "元に戻した: 1枚\n"));
  auto settings = nlohmann::json::parse(dir_.read("defaults.json"));
  settings["restoreForMonitors"] = true;
  dir_.write("defaults.json", settings.dump());
  desktop_->switchChannel();  // which forgets who watches
  ASSERT_TRUE(desktop_->showMonitors(1));
  ASSERT_TRUE(settles(alone, 10));
  ASSERT_NO_FATAL_FAILURE(quitTray());
}

// Debian's browsers beside the test clients: they draw themselves, keep a least size the
// desktop may not tell, and reopen their own session when started again.
class RealBrowsers : public Scenario {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Scenario::SetUp());
    if (IsSkipped()) return;
    for (const App* app : {&kFirefoxEsr, &kChromium}) {
      if (!testing::onPath(app->identifier)) GTEST_SKIP() << app->identifier << " is not installed";
      dir_.write("data/applications/" + app->identifier + ".desktop",
                 "[Desktop Entry]\nType=Application\nName=" + app->name +
                     "\nExec=" + desktop_->execLine(command(*app)) + "\n");
    }
    // Firefox restores its session, quickly saved; Chromium continues where it left off.
    dir_.write("browsers/firefox/user.js", R"(user_pref("browser.startup.page", 3);
user_pref("browser.sessionstore.interval", 500);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
)");
    dir_.write("browsers/chromium/Default/Preferences",
               R"({"session": {"restore_on_startup": 1}})");
    for (const auto& [app, title] : kPages)
      dir_.write("browsers/" + page(title),
                 "<!doctype html><title>" + std::string(title) + "</title>");
    desktop_->handOver(dir_.path() / "browsers");
  }

  // Two windows each, one of them a chat service's page; titles short enough to be listed whole.
  static constexpr std::pair<const App*, const char*> kPages[] = {{&kFirefoxEsr, "Notes"},
                                                                  {&kFirefoxEsr, "ChatGPT - Plan"},
                                                                  {&kChromium, "Report"},
                                                                  {&kChromium, "ChatGPT - Reply"}};
  static std::string page(const std::string& title) {
    return std::to_string(std::hash<std::string>()(title)) + ".html";
  }

  // The browser as its desktop entry runs it; with `title`, a new window showing that page.
  std::vector<std::string> command(const App& app, const std::string& title = "") const {
    const std::string folder = dir_.file("browsers");
    // GTK reads its settings' schemas from the system's data folders, which the program's
    // environment here does not name.
    std::vector<std::string> argv = {"env",
                                     "HOME=" + folder,
                                     "XDG_CONFIG_HOME=" + folder + "/config",
                                     "XDG_CACHE_HOME=" + folder + "/cache",
                                     "XDG_DATA_DIRS=/usr/local/share:/usr/share",
                                     app.identifier};
    if (&app == &kFirefoxEsr) argv.insert(argv.end(), {"--profile", folder + "/firefox"});
    if (&app == &kChromium)  // as root Chromium runs only without its sandbox
      argv.insert(argv.end(),
                  {"--user-data-dir=" + folder + "/chromium", "--no-sandbox", "--no-first-run",
                   "--no-default-browser-check", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--password-store=basic"});
    if (!title.empty())
      argv.insert(argv.end(), {"--new-window", "file://" + folder + "/" + page(title)});
    return argv;
  }

  // A window asked to be smaller than it can be stays larger, at its place: as close as it
  // allows. (Debian's browsers take at least about 500 x 150.)
  bool fits(const Rect& now, const Rect& want) const override {
    const auto close = [](double got, double asked, double most) {
      return std::fabs(got - asked) <= 2 || (got > asked && got <= most);
    };
    return close(now.x, want.x, want.x) && close(now.y, want.y, want.y) &&
           close(now.width, want.width, 600) && close(now.height, want.height, 300);
  }
  // The browsers' windows that show one of the pages.
  std::size_t shown() {
    return std::ranges::count_if(desktop_->windows(), [](const SeenWindow& w) {
      return real(w) && std::ranges::any_of(
                            kPages, [&](const auto& p) { return w.title.starts_with(p.second); });
    });
  }
};

TEST_P(RealBrowsers, AreListedArrangedUndoneAndReopenedWithEveryWindowPutBack) {
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    const auto& [app, title] = kPages[i];
    const auto showsWithin = [&](double s) {
      return testing::waitUntil([&] { return shown() == i + 1; }, s);
    };
    // The running browser takes the page from the new process; Chromium now and then drops it
    // while it is still starting up, so the page is asked for once more.
    ASSERT_TRUE(desktop_->launch(*app, command(*app, title)));
    if (!showsWithin(15)) {
      ASSERT_TRUE(desktop_->launch(*app, command(*app, title)));
    }
    const auto titles = [&] {
      std::string seen;
      for (const SeenWindow& w : desktop_->windows()) seen += w.title + "\n";
      return seen;
    };
    ASSERT_TRUE(showsWithin(30)) << title << " did not show among:\n"
                                 << titles() << "the clients said:\n"
                                 << dir_.read("desktop0/clients.log")
                                 << dir_.read("desktop1/clients.log");
  }
  ASSERT_NO_FATAL_FAILURE(expectEveryLayoutAndUndo("4枚\n"));
  const auto grid = planned("grid");
  ASSERT_TRUE(ended(run({"--apply", "grid"}), "自動タイルで整列: 4枚\n"));
  ASSERT_TRUE(settles(grid));
  ASSERT_TRUE(ended(run({"--save"}), "保存: 4枚\n"));
  const Frames saved = frames();
  for (const App* app : {&kFirefoxEsr, &kChromium}) ASSERT_TRUE(desktop_->quit(*app));
  ASSERT_TRUE(ended(run({"--restore"}), "復元: 4枚\n"));
  EXPECT_TRUE(settles({saved}));
  // A named arrangement beside it: each comes back, and forgetting one leaves the other.
  const auto columns = planned("columns");
  ASSERT_TRUE(ended(run({"--apply", "columns"}), "横一列に並べる: 4枚\n"));
  ASSERT_TRUE(settles(columns));
  ASSERT_TRUE(ended(run({"--save", "机"}), "保存「机」: 4枚\n"));
  const Frames named = frames();
  for (const auto& [args, out, want] :
       {std::tuple{std::vector<std::string>{"--restore"}, "復元: 4枚\n", saved},
        {{"--restore", "机"}, "復元「机」: 4枚\n", named},
        {{"--forget", "机"}, "削除「机」\n", named},
        {{"--restore"}, "復元: 4枚\n", saved}}) {
    ASSERT_TRUE(ended(run(args), out)) << args.back();
    EXPECT_TRUE(settles({want})) << args.back();
  }
}

std::string desktopName(const ::testing::TestParamInfo<DesktopKind>& info) {
  return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(Desktops, Scenario, ::testing::ValuesIn(kDesktops), desktopName);
INSTANTIATE_TEST_SUITE_P(Desktops, TwoMonitors, ::testing::ValuesIn(kDesktops), desktopName);
INSTANTIATE_TEST_SUITE_P(Desktops, TrayScenario, ::testing::ValuesIn(kTrayDesktops), desktopName);
INSTANTIATE_TEST_SUITE_P(Desktops, RealBrowsers, ::testing::ValuesIn(kTrayDesktops), desktopName);
INSTANTIATE_TEST_SUITE_P(Desktops, TrayTwoMonitors, ::testing::ValuesIn(kTrayDesktops),
                         desktopName);

}  // namespace
}  // namespace tessaloom::e2e
