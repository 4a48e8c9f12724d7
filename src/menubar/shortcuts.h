// The keys of the tray application: one Control+Option letter per layout, and the undo key.
// The same table drives the hot-key registration and the key equivalents of the menu.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/records.h"

namespace tessaloom {

struct Shortcut {
  LayoutKind kind;
  /// What the menu shows as key equivalent.
  std::string_view letter;
  /// What is registered: the virtual key code on the ANSI layout.
  std::int32_t keyCode;
};

inline constexpr std::array<Shortcut, 5> kShortcuts = {{
    {LayoutKind::grid, "g", 5},
    {LayoutKind::columns, "h", 4},
    {LayoutKind::aiSplit, "a", 0},
    {LayoutKind::cascade, "k", 40},
    {LayoutKind::sameSize, "s", 1},
}};

inline constexpr std::string_view kUndoLetter = "z";
inline constexpr std::int32_t kUndoKeyCode = 6;

}  // namespace tessaloom
