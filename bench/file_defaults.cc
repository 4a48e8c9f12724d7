// Costs of the defaults file: a read parses the whole file afresh (no cache that could go
// stale), so its cost is compared with that of the cheapest change check, one stat call.
#include "platform/posix/file_defaults.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/settings.h"

namespace {

using tessaloom::SavedFrame;
using tessaloom::Settings;
using tessaloom::platform::FileDefaults;

/// A defaults file in a fresh folder of the temporary directory.
class BenchFile {
 public:
  BenchFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessaloom-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) folder_ = pattern;
  }
  ~BenchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string path() const { return folder_ + "/defaults.json"; }

 private:
  std::string folder_;
};

/// What a user's file holds: the four settings, overrides and two arrangements.
void fillTypical(const std::string& path, int windows) {
  FileDefaults store(path);
  Settings settings(store);
  settings.setGap(12);
  settings.setAiRatio(0.35);
  settings.setDetectAITabs(false);
  settings.setDisplayMode(tessaloom::DisplayMode::mouseDisplay);
  std::map<std::string, tessaloom::Kind> overrides;
  for (int i = 0; i < 20; ++i)
    overrides["org.example.app" + std::to_string(i)] = tessaloom::Kind::ai;
  settings.setOverrides(overrides);
  std::vector<SavedFrame> frames;
  for (int i = 0; i < windows; ++i)
    frames.push_back({"org.mozilla.firefox", "Window title number " + std::to_string(i), 10.0 * i,
                      20.5, 800, 600});
  if (!settings.setSnapshot(frames, "savedLayout") || !settings.setSnapshot(frames, "undoLayout"))
    std::abort();
}

void BM_ReadOneKey(benchmark::State& state) {
  BenchFile file;
  fillTypical(file.path(), static_cast<int>(state.range(0)));
  FileDefaults store(file.path());
  for (auto _ : state) benchmark::DoNotOptimize(store.object("gap"));
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file.path()));
}
BENCHMARK(BM_ReadOneKey)->Arg(10)->Arg(40)->Arg(200);

void BM_StatOnly(benchmark::State& state) {
  BenchFile file;
  fillTypical(file.path(), 40);
  struct stat st {};
  for (auto _ : state) benchmark::DoNotOptimize(::stat(file.path().c_str(), &st));
}
BENCHMARK(BM_StatOnly);

void BM_SettingsKind(benchmark::State& state) {
  BenchFile file;
  fillTypical(file.path(), 40);
  FileDefaults store(file.path());
  Settings settings(store);
  for (auto _ : state) benchmark::DoNotOptimize(settings.kind("org.example.app7", "App"));
}
BENCHMARK(BM_SettingsKind);

void BM_WriteOneKey(benchmark::State& state) {
  BenchFile file;
  fillTypical(file.path(), 40);
  FileDefaults store(file.path());
  double gap = 0;
  for (auto _ : state) store.setObject("gap", gap += 1);
}
BENCHMARK(BM_WriteOneKey)->Unit(benchmark::kMicrosecond);

}  // namespace
