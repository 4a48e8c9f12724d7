#include <algorithm>
#include <cmath>

#include "platform/accessibility.h"
#include "platform/main_queue.h"
#include "platform/services.h"
#include "windows/ax.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {
namespace {

bool offTarget(const Rect& current, const Rect& target) {
  // Negated so that a NaN difference counts as a miss.
  auto near = [](double a, double b) { return std::fabs(a - b) <= kTolerance; };
  return !(near(current.minX(), target.minX()) && near(current.minY(), target.minY()) &&
           near(current.width, target.width) && near(current.height, target.height));
}

}  // namespace

void apply(const LayoutPlan& plan) {
  auto& ax = *platform::services().accessibility;

  // Assistive interfaces slow down or fight moves; switch them off for the batch.
  std::vector<std::int32_t> pids;
  for (const auto& entry : plan) {
    const auto pid = entry.window.pid();
    if (std::find(pids.begin(), pids.end(), pid) == pids.end()) pids.push_back(pid);
  }
  std::vector<platform::ElementRef> switched;
  for (const auto pid : pids) {
    auto app = ax.createApplication(pid);
    if (AX::boolValue(app, "AXEnhancedUserInterface") == true) {
      ax.setAttributeValue(app, "AXEnhancedUserInterface", false);
      switched.push_back(std::move(app));
    }
  }

  for (const auto& entry : plan) AX::setFrame(entry.window.element(), entry.target.integral());

  platform::services().mainQueue->sleep(kSettleMicroseconds / 1e6);

  for (const auto& entry : plan) {
    auto current = AX::frame(entry.window.element());
    if (!current) continue;
    const Rect target = entry.target.integral();
    if (offTarget(*current, target)) AX::setFrame(entry.window.element(), target);
  }

  for (const auto& app : switched) ax.setAttributeValue(app, "AXEnhancedUserInterface", true);
}

}  // namespace tessaloom::WindowManager
