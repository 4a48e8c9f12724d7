#include "platform/sim/sim_element.h"

namespace tessaloom::platform {

std::string describeElement(const ElementRef& element) {
  if (!element) return "null";
  const auto* sim = dynamic_cast<const SimElement*>(element.get());
  if (!sim) return "foreign";
  const std::string pid = std::to_string(sim->pid());
  return sim->window() ? "win:" + pid + "/" + std::to_string(*sim->window()) : "app:" + pid;
}

bool sameElement(const ElementRef& a, const ElementRef& b) {
  if (a == b) return true;
  const auto* x = dynamic_cast<const SimElement*>(a.get());
  const auto* y = dynamic_cast<const SimElement*>(b.get());
  return x && y && x->desktop() == y->desktop() && x->pid() == y->pid() &&
         x->window() == y->window();
}

}  // namespace tessaloom::platform
