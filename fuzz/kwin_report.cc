// Arbitrary bytes as a report of our KWin script: never a crash, every frame read is made of
// finite numbers, every pid read is a process id, and a window on no particular desktop shows
// on the current one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "platform/kwin/kwin_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaloom::platform::kwin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)loadedScriptIds(text, text);  // never a crash on KWin's introspection either
  const auto report = parseReport(text);
  if (!report) return 0;
  for (const ReportedWindow& w : report->windows) {
    for (const double v : {w.frame.x, w.frame.y, w.frame.width, w.frame.height})
      if (!std::isfinite(v)) std::abort();
    if (w.pid > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) std::abort();
    if (w.desktops.empty() && !onDesktop(w, report->desktop)) std::abort();
  }
  for (const ReportedOutput& o : report->outputs)
    if (o.name.empty()) std::abort();  // every output gets a name
  return 0;
}
