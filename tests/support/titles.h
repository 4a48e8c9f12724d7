// The titles of windows and of a plan's entries, in order: what tests compare orders by.
#pragma once

#include <string>
#include <vector>

#include "base/records.h"

namespace tessaloom::testing {

inline std::vector<std::string> titles(const std::vector<ManagedWindow>& windows) {
  std::vector<std::string> out;
  for (const ManagedWindow& w : windows) out.push_back(w.title());
  return out;
}

inline std::vector<std::string> titles(const LayoutPlan& plan) {
  std::vector<std::string> out;
  for (const PlanEntry& e : plan) out.push_back(e.window.title());
  return out;
}

}  // namespace tessaloom::testing
