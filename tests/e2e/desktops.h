// The desktops the scenarios run on: each adds one line here and a header of its own.
#pragma once

#include <functional>
#include <memory>
#include <ostream>

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
  friend void PrintTo(const DesktopKind& kind, std::ostream* out) { *out << kind.name; }
};

inline const std::vector<DesktopKind> kDesktops = {
    {"sim", [] { return std::make_unique<SimDesktop>(); }},
    {"openbox", [] { return std::make_unique<X11Desktop>("openbox"); }},
    {"fluxbox", [] { return std::make_unique<X11Desktop>("fluxbox"); }},
    {"sway", [] { return std::make_unique<TilingDesktop>("sway"); }},
    {"i3", [] { return std::make_unique<TilingDesktop>("i3"); }},
    {"gnome", [] { return std::make_unique<GnomeDesktop>(); }},
    {"kde", [] { return std::make_unique<KWinDesktop>(); }},
};

}  // namespace tessaloom::e2e
