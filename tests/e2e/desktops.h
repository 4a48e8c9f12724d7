// The desktops the scenarios run on, by the name a test's parameter carries. A desktop adds one
// line to the table below (behind #if when its backend is optional) and a header of its own.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e/desktop.h"
#include "e2e/gnome_desktop.h"
#include "e2e/kwin_desktop.h"
#include "e2e/sim_desktop.h"
#include "e2e/tiling_desktops.h"
#include "e2e/x11_desktops.h"

namespace tessaloom::e2e {

struct DesktopKind {
  std::string name;
  std::function<std::unique_ptr<Desktop>()> make;
};

inline const std::vector<DesktopKind>& desktopKinds() {
  static const std::vector<DesktopKind> kinds = {
      {"sim", [] { return std::make_unique<SimDesktop>(); }},
      {"openbox", [] { return std::make_unique<X11Desktop>("openbox"); }},
      {"fluxbox", [] { return std::make_unique<X11Desktop>("fluxbox"); }},
      {"sway", [] { return std::make_unique<TilingDesktop>("sway"); }},
      {"i3", [] { return std::make_unique<TilingDesktop>("i3"); }},
      {"gnome", [] { return std::make_unique<GnomeDesktop>(); }},
      {"kde", [] { return std::make_unique<KWinDesktop>(); }},
  };
  return kinds;
}

inline std::vector<std::string> desktopNames() {
  std::vector<std::string> names;
  for (const auto& kind : desktopKinds()) names.push_back(kind.name);
  return names;
}

/// The desktop called `name`; nothing for a name the table lacks.
inline std::unique_ptr<Desktop> makeDesktop(const std::string& name) {
  for (const auto& kind : desktopKinds())
    if (kind.name == name) return kind.make();
  return nullptr;
}

}  // namespace tessaloom::e2e
