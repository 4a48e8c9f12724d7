// Cost of planning 1,000 windows over four displays (goal: under 1 ms per layout) and of
// discovering 200 windows of 40 applications on the simulated desktop.
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "layout/layout_engine.h"
#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom {
namespace {

using nlohmann::json;

// Four 2560 x 1440 screens in a row; `apps` applications with `perApp` windows each, spread
// over all of them, every fifth application an AI one.
struct Desktop {
  platform::VirtualMainQueue queue;
  platform::MemoryDefaults defaults;
  Settings settings{defaults};
  std::unique_ptr<platform::SimDesktop> sim;

  Desktop(int apps, int perApp) {
    json scene = {{"screens", json::array()}, {"apps", json::array()}};
    for (int s = 0; s < 4; ++s)
      scene["screens"].push_back({{"name", "Screen " + std::to_string(s)},
                                  {"frame", {2560 * s, 0, 2560, 1440}},
                                  {"visible", {2560 * s, 0, 2560, 1415}}});
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> x(0, 4 * 2560 - 900), y(0, 1440 - 700);
    for (int a = 0; a < apps; ++a) {
      json windows = json::array();
      for (int w = 0; w < perApp; ++w)
        windows.push_back(
            {{"title", "Window " + std::to_string(w)}, {"frame", {x(rng), y(rng), 900, 700}}});
      scene["apps"].push_back({{"pid", 100 + a},
                               {"bundleID", a % 5 == 4 ? "com.openai.chat" : "com.google.Chrome"},
                               {"name", "App " + std::to_string(a)},
                               {"windows", windows}});
    }
    sim = std::move(*platform::SimDesktop::fromJson(scene.dump(), queue));
  }
  Context context() { return {*sim, settings, queue}; }
};

void BM_Plan(benchmark::State& state) {
  Desktop desktop(100, 10);
  Context ctx = desktop.context();
  const auto windows = WindowManager::targetWindows(ctx);
  const auto displays = WindowManager::displays(desktop.sim->screens());
  const auto kind = static_cast<LayoutKind>(state.range(0));
  const LayoutEngine::PlanParameters parameters;
  for (auto _ : state)
    benchmark::DoNotOptimize(LayoutEngine::plan(kind, windows, displays, parameters));
  state.SetLabel(std::string(rawValue(kind)) + ", " + std::to_string(windows.size()) + " windows");
}
BENCHMARK(BM_Plan)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_TargetWindows(benchmark::State& state) {
  Desktop desktop(40, 5);
  for (auto _ : state) {
    Context ctx = desktop.context();
    auto windows = WindowManager::targetWindows(ctx);
    benchmark::DoNotOptimize(windows);
    desktop.sim->log().clear();
  }
}
BENCHMARK(BM_TargetWindows)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessaloom
