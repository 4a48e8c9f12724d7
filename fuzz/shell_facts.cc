// Arbitrary bytes as the GNOME Shell extension's facts: never a crash, every window read has a
// handle and a frame of finite numbers, and the screens and moves made from them stay finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/gnome/shell_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaloom::platform;
  const auto facts = gnome::parseFacts({reinterpret_cast<const char*>(data), size});
  if (!facts) return 0;
  std::vector<Placement> placements;
  for (const gnome::ShellWindow& w : facts->windows) {
    if (w.id == 0) std::abort();
    for (const double v : {w.frame.x, w.frame.y, w.frame.width, w.frame.height})
      if (!std::isfinite(v)) std::abort();
    placements.push_back({w.id, {1, 2, 300, 200}});
  }
  for (const Screen& s : gnome::screensOf(*facts))
    if (!std::isfinite(s.frame.x) || !std::isfinite(s.usable.width)) std::abort();
  (void)gnome::movesFor(*facts, placements);
  return 0;
}
