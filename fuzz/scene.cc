// Scene files from outside: any bytes are refused with one line or read; a scene that reads,
// after launches and window moves, writes back into a scene that reads again to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sim/scene.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"

using namespace tessaloom;
using namespace tessaloom::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  VirtualMainQueue clock;
  std::string error;
  const auto desktop = SimDesktop::fromJson(text, clock, error, "fuzz.json");
  if (!desktop) {
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  const std::optional<Scene> scene = readScene(text, "fuzz.json", error);
  if (!scene) std::abort();

  for (const SceneInstalled& entry : scene->installed) {
    if (const auto url = desktop->urlForApplication(*entry.app.bundleID)) {
      desktop->openApplication(*url);
    }
  }
  clock.sleep(1);
  for (const RunningApplication& app : desktop->runningApps()) {
    AttributeValue windows;
    desktop->copyAttributeValue(desktop->createApplication(app.pid), "AXWindows", windows);
    if (const auto* list = std::get_if<std::vector<ElementRef>>(&windows)) {
      for (const ElementRef& w : *list) {
        desktop->setAttributeValue(w, "AXSize", Size{640.5, 480});
        desktop->setAttributeValue(w, "AXPosition", Point{-10, 1e15});
        AttributeValue frame;
        desktop->copyAttributeValue(w, "AXPosition", frame);
      }
    }
  }
  clock.sleep(1);

  const std::string written = desktop->toJson();
  VirtualMainQueue clock2;
  const auto again = SimDesktop::fromJson(written, clock2, error, "written.json");
  if (!again || again->toJson() != written) std::abort();
  return 0;
}
