// What a command pays for the index of installed applications before it can name a window's
// application: reading the index of a machine with N desktop entries (one in ten naming a
// StartupWMClass, each with a typical entry's forty translations) and identifying the
// applications of a listing: 20 window classes, half found by their entry's id, two by their
// StartupWMClass.
#include "platform/xdg/desktop_entries.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using tessaloom::platform::xdg::DesktopEntryIndex;

/// A data folder with `count` application entries, removed with the object.
class EntryFolder {
 public:
  explicit EntryFolder(int count) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessaloom-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) return;
    root_ = pattern;
    fs::create_directories(root_ / "applications");
    for (int i = 0; i < count; ++i) {
      const std::string id = (i % 2 ? "app" : "org.example.App") + std::to_string(i);
      std::ofstream out(root_ / "applications" / (id + ".desktop"));
      out << "[Desktop Entry]\nType=Application\nName=App " << i << "\n";
      for (int l = 0; l < 40; ++l)
        out << "Name[l" << l << "]=App " << i << " in language " << l << "\nComment[l" << l
            << "]=Does the things application " << i << " does, in language " << l << "\n";
      out << "Exec=true %U\nIcon=app" << i << "\nCategories=Network;WebBrowser;\n";
      if (i % 10 == 0) out << "StartupWMClass=App" << i << "\n";
    }
  }
  ~EntryFolder() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

void BM_ReadTheIndexAndIdentifyAListing(benchmark::State& state) {
  const EntryFolder folder(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto index = DesktopEntryIndex::read({folder.root()});
    for (int i = 0; i < 20; ++i)
      benchmark::DoNotOptimize(tessaloom::platform::xdg::identifyApplication(
          index, {"", "app" + std::to_string(i), "App" + std::to_string(i)}));
  }
}
BENCHMARK(BM_ReadTheIndexAndIdentifyAListing)
    ->Arg(30)
    ->Arg(100)
    ->Arg(300)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
