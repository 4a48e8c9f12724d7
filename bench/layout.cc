// Cost of the layout functions for 1 to 1,000 windows; the goal is under 50 µs at 1,000 windows
// with the cost growing linearly.
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "layout/layout_engine.h"

namespace tessaloom {
namespace {

constexpr Rect kArea(8, 33, 2544, 1383);  // a 2560 x 1440 screen's usable area inset by 8

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {1, 10, 100, 1000}) b->Arg(n);
  b->Complexity();
}

// Windows scattered over the screen in near columns, every third one an AI window.
std::vector<ManagedWindow> scatteredWindows(int n) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> x(0, 2400), y(0, 1300);
  std::vector<ManagedWindow> out;
  out.reserve(n);
  for (int i = 0; i < n; ++i) {
    std::string title = std::to_string(i);  // not "w" + ...: gcc 12 -O3 warns falsely on it
    title += " - Example";
    out.emplace_back(i + 1, 100 + i, "org.example.app", "App", std::move(title),
                     Rect(x(rng), y(rng), 900, 700), i % 3 == 2 ? Kind::ai : Kind::browser);
  }
  return out;
}

void BM_Grid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(LayoutEngine::grid(n, kArea, 8, 1.3));
  state.SetComplexityN(n);
}
BENCHMARK(BM_Grid)->Apply(sizes);

void BM_Columns(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(LayoutEngine::columns(n, kArea, 8));
  state.SetComplexityN(n);
}
BENCHMARK(BM_Columns)->Apply(sizes);

void BM_Cascade(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(LayoutEngine::cascade(n, kArea, 8));
  state.SetComplexityN(n);
}
BENCHMARK(BM_Cascade)->Apply(sizes);

// Includes copying each window into the plan, as the planner's callers get it.
void BM_AISplit(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<ManagedWindow> windows = scatteredWindows(n);
  for (auto _ : state) benchmark::DoNotOptimize(LayoutEngine::aiSplit(windows, kArea, 8, 0.4));
  state.SetComplexityN(n);
}
BENCHMARK(BM_AISplit)->Apply(sizes);

// Includes copying the input list, which sortForLayout takes by value; BM_CopyWindows shows
// that share.
void BM_SortForLayout(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<ManagedWindow> windows = scatteredWindows(n);
  for (auto _ : state) benchmark::DoNotOptimize(LayoutEngine::sortForLayout(windows));
  state.SetComplexityN(n);
}
BENCHMARK(BM_SortForLayout)->Apply(sizes);

void BM_CopyWindows(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<ManagedWindow> windows = scatteredWindows(n);
  for (auto _ : state) {
    std::vector<ManagedWindow> copy = windows;
    benchmark::DoNotOptimize(copy);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_CopyWindows)->Apply(sizes);

}  // namespace
}  // namespace tessaloom
