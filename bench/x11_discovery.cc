// Cost of discovering windows on a real X server: a private Xvfb with openbox and 100 windows
// of 20 applications. Compares a discovery through the X11 backend (applications, then the
// windows of each) with wmctrl -lpGx on the same desktop, with one round trip per request (what
// a backend without the batched fetch would pay), and with the whole program's --list.
//
//   cmake --build build/gcc --target bench_x11_discovery tessaloom tessaloom-testclient
//   ./build/gcc/bench_x11_discovery
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/x11_desktop.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_desktop.h"

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
  std::unique_ptr<platform::X11Desktop> desktop;
  std::string defaultsPath;
  std::string error;

  BenchDesktop() {
    error = startDesktop("openbox");
    if (!error.empty()) return;
    const std::string client = (buildDirectory() / "tessaloom-testclient").string();
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
    }
    if (!waitUntil(
            [&] { return probe_->clients().size() >= kApplications * kWindowsPerApplication; },
            30)) {
      error = "the manager did not take every window";
      return;
    }
    auto connected = platform::X11Desktop::connect(server_->display());
    if (!connected) {
      error = connected.error();
      return;
    }
    desktop = std::move(*connected);
    defaultsPath = (dir_.path() / "defaults.json").string();
  }

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

// One look through the seam: every window, and the screens.
void BM_Discovery(benchmark::State& state) {
  if (!bench().ready(state)) return;
  auto& desktop = *bench().desktop;
  const std::size_t roundTripsBefore = desktop.connection().roundTrips();
  std::size_t listed = 0;
  for (auto _ : state) {
    listed = desktop.snapshot().windows.size();
  }
  if (listed != kApplications * kWindowsPerApplication)
    state.SkipWithError("not every window was listed");
  state.counters["windows"] = static_cast<double>(listed);
  state.counters["round trips/discovery"] =
      static_cast<double>(desktop.connection().roundTrips() - roundTripsBefore) /
      static_cast<double>(state.iterations());
}
BENCHMARK(BM_Discovery)->Unit(benchmark::kMillisecond);

// The frames of every window again, as a check after a placement reads them.
void BM_Frames(benchmark::State& state) {
  if (!bench().ready(state)) return;
  auto& desktop = *bench().desktop;
  std::vector<WindowHandle> handles;
  for (const xcb_window_t w : bench().probe_->clients()) handles.push_back(w);
  for (auto _ : state) benchmark::DoNotOptimize(desktop.frames(handles));
}
BENCHMARK(BM_Frames)->Unit(benchmark::kMillisecond);

void BM_Screens(benchmark::State& state) {
  if (!bench().ready(state)) return;
  for (auto _ : state) benchmark::DoNotOptimize(bench().desktop->screens());
}
BENCHMARK(BM_Screens)->Unit(benchmark::kMillisecond);

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
