// Cost of discovering windows on a real X server: a private Xvfb with openbox and 100 windows
// of 20 applications. Compares the window layer's discovery over the X11 backend (every read
// it makes) with wmctrl -lpGx on the same desktop, with one round trip per attribute (what a
// backend without the batched fetch would pay), and with the whole program's --list.
//
//   cmake --build build/gcc --target bench_x11_discovery tessaloom tessaloom-testclient
//   ./build/gcc/bench_x11_discovery
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../tests/x11/x11_harness.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"
#include "platform/services.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_window_cache.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom {
namespace {

using namespace x11test;

constexpr int kApplications = 20;
constexpr int kWindowsPerApplication = 5;

std::filesystem::path buildDirectory() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// The desktop every benchmark runs against, set up once.
struct BenchDesktop : PrivateDesktop {
  std::vector<std::unique_ptr<Process>> clients;
  std::unique_ptr<platform::GlibMainQueue> queue;
  std::unique_ptr<platform::FileDefaults> defaults;
  std::unique_ptr<platform::X11Desktop> desktop;
  std::string defaultsPath;
  std::string error;

  BenchDesktop() {
    error = startDesktop("openbox");
    if (!error.empty()) return;
    const std::string client = (buildDirectory() / "tessaloom-testclient").string();
    std::map<std::string, Kind> overrides;
    for (int a = 0; a < kApplications; ++a) {
      const std::string name = "BenchApp" + std::to_string(a);
      std::vector<std::string> argv = {client};
      for (int w = 0; w < kWindowsPerApplication; ++w) {
        const int x = 20 * (a + w), y = 15 * (a + w);
        argv.insert(argv.end(), {"--window", "--class", std::string("benchapp,") + name, "--title",
                                 name + " window " + std::to_string(w), "--geometry",
                                 "640x480+" + std::to_string(x) + "+" + std::to_string(y)});
      }
      auto process = Process::start(argv, {"DISPLAY=" + server_->display()});
      if (!process || !process->readLine(after(30))) {
        error = "a test client did not start";
        return;
      }
      clients.push_back(std::move(process));
      overrides["benchapp" + std::to_string(a)] = Kind::browser;
    }
    if (!probe_->waitUntil(
            [&] { return probe_->clients().size() >= kApplications * kWindowsPerApplication; },
            30)) {
      error = "the manager did not take every window";
      return;
    }
    desktop = platform::X11Desktop::connect(server_->display(), error);
    if (!desktop) return;
    defaultsPath = (dir_.path() / "defaults.json").string();
    queue = std::make_unique<platform::GlibMainQueue>();
    defaults = std::make_unique<platform::FileDefaults>(defaultsPath);
    platform::install({&desktop->accessibility(), &desktop->workspace(), &desktop->screens(),
                       defaults.get(), queue.get()});
    Settings::shared().setOverrides(overrides);
  }
  ~BenchDesktop() { platform::install({}); }

  bool ready(benchmark::State& state) {
    if (desktop) return true;
    state.SkipWithError(error.c_str());
    return false;
  }
};

BenchDesktop& bench() {
  static BenchDesktop desktop;
  return desktop;
}

// Runs a program to its end with its output discarded.
bool run(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::vector<std::string> environment = environmentWith(env);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every read of one discovery, through the window layer itself.
void BM_TargetWindows(benchmark::State& state) {
  if (!bench().ready(state)) return;
  auto& cache = bench().desktop->windowCache();
  const std::size_t fetchesBefore = cache.fetchCount();
  std::size_t listed = 0;
  for (auto _ : state) {
    auto windows = WindowManager::targetWindows();
    listed = windows.size();
    benchmark::DoNotOptimize(windows);
  }
  if (listed != kApplications * kWindowsPerApplication)
    state.SkipWithError("not every window was listed");
  state.counters["windows"] = static_cast<double>(listed);
  state.counters["fetches/discovery"] =
      static_cast<double>(cache.fetchCount() - fetchesBefore) / state.iterations();
}
BENCHMARK(BM_TargetWindows)->Unit(benchmark::kMillisecond);

// The same reads straight through the seam, without settings and classification: the
// backend's share of a discovery.
void BM_BackendReads(benchmark::State& state) {
  if (!bench().ready(state)) return;
  auto& ax = bench().desktop->accessibility();
  auto& workspace = bench().desktop->workspace();
  std::size_t framed = 0;
  for (auto _ : state) {
    framed = 0;
    for (const auto& app : workspace.runningApplications()) {
      auto element = ax.createApplication(app.pid);
      ax.setMessagingTimeout(element, 1.0f);
      platform::AttributeValue windows;
      if (ax.copyAttributeValue(element, "AXWindows", windows) != platform::AXError::success)
        continue;
      for (const auto& w : std::get<std::vector<platform::ElementRef>>(windows)) {
        platform::AttributeValue value, position, size;
        for (const char* attribute :
             {"AXRole", "AXSubrole", "AXMinimized", "AXFullScreen", "AXTitle"})
          ax.copyAttributeValue(w, attribute, value);
        if (ax.copyAttributeValue(w, "AXPosition", position) == platform::AXError::success &&
            ax.copyAttributeValue(w, "AXSize", size) == platform::AXError::success)
          ++framed;
      }
    }
  }
  state.counters["windows"] = static_cast<double>(framed);
}
BENCHMARK(BM_BackendReads)->Unit(benchmark::kMillisecond);

void BM_Displays(benchmark::State& state) {
  if (!bench().ready(state)) return;
  for (auto _ : state) benchmark::DoNotOptimize(WindowManager::displays());
}
BENCHMARK(BM_Displays)->Unit(benchmark::kMillisecond);

// What the same facts cost with one round trip per request: the client list, then for each
// window its nine properties, its geometry and its position, each awaited before the next.
void BM_OneRoundTripPerRequest(benchmark::State& state) {
  if (!bench().ready(state)) return;
  Probe& p = *bench().probe_;
  xcb_connection_t* c = p.raw();
  const char* names[] = {"WM_CLASS",      "_GTK_APPLICATION_ID", "_NET_WM_NAME",
                         "WM_NAME",       "_NET_WM_PID",         "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_STATE", "WM_TRANSIENT_FOR",    "_NET_FRAME_EXTENTS"};
  std::vector<xcb_atom_t> atoms;
  for (const char* n : names) atoms.push_back(p.atom(n));
  for (auto _ : state) {
    for (const xcb_window_t w : p.clients()) {
      for (const xcb_atom_t a : atoms)
        std::free(xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
      std::free(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
      std::free(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, p.root(), 0, 0),
                                                nullptr));
    }
  }
}
BENCHMARK(BM_OneRoundTripPerRequest)->Unit(benchmark::kMillisecond);

void BM_WmctrlList(benchmark::State& state) {
  if (!bench().ready(state)) return;
  if (!onPath("wmctrl")) {
    state.SkipWithError("wmctrl is not installed");
    return;
  }
  for (auto _ : state) {
    if (!run({"wmctrl", "-lpGx"}, {"DISPLAY=" + bench().server_->display()})) {
      state.SkipWithError("wmctrl failed");
      return;
    }
  }
}
BENCHMARK(BM_WmctrlList)->Unit(benchmark::kMillisecond);

// The whole program: start, read settings, discover, print.
void BM_TessaloomList(benchmark::State& state) {
  if (!bench().ready(state)) return;
  const std::string program = (buildDirectory() / "tessaloom").string();
  for (auto _ : state) {
    if (!run({program, "--list"}, {"DISPLAY=" + bench().server_->display(),
                                   "TESSALOOM_DEFAULTS=" + bench().defaultsPath})) {
      state.SkipWithError("tessaloom --list failed");
      return;
    }
  }
}
BENCHMARK(BM_TessaloomList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaloom
