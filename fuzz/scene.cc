// Scene files from outside: any bytes are refused with one line or read; a scene that reads,
// after launches and window moves, writes back into a scene that reads again to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/scene.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"

using namespace tessaloom;
using namespace tessaloom::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  VirtualMainQueue clock;
  auto desktop = SimDesktop::fromJson(text, clock, "fuzz.json");
  if (!desktop) {
    const std::string& error = desktop.error();
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  auto scene = readScene(text, "fuzz.json");
  if (!scene) std::abort();
  SimDesktop& sim = **desktop;

  for (const SceneInstalled& entry : scene->installed) sim.launch(*entry.app.bundleID);
  clock.sleep(1);
  for (const AppFacts& app : sim.applications()) {
    const auto windows = sim.windows(app.pid);
    if (!windows) continue;
    std::vector<Placement> placements;
    std::vector<WindowHandle> handles;
    for (const WindowFacts& w : *windows) {
      placements.push_back({w.handle, Rect(-10, 1e15, 640.5, 480)});
      handles.push_back(w.handle);
    }
    sim.place(placements);
    (void)sim.frames(handles);
  }
  clock.sleep(1);

  const std::string written = sim.toJson();
  VirtualMainQueue clock2;
  auto again = SimDesktop::fromJson(written, clock2, "written.json");
  if (!again || (*again)->toJson() != written) std::abort();
  return 0;
}
