// The keys of the tray application: one Control+Alt letter per layout, and the undo key. The
// same table drives the hot-key registration and the chords shown in the menu.
#pragma once

#include <array>

#include "base/chord.h"
#include "base/records.h"

namespace tessaloom {

struct Shortcut {
  LayoutKind kind;
  Chord chord;
};

inline constexpr std::array<Shortcut, 5> kShortcuts = {{
    {LayoutKind::grid, {'g', kControlAlt}},
    {LayoutKind::columns, {'h', kControlAlt}},
    {LayoutKind::aiSplit, {'a', kControlAlt}},
    {LayoutKind::cascade, {'k', kControlAlt}},
    {LayoutKind::sameSize, {'s', kControlAlt}},
}};

inline constexpr Chord kUndoChord{'z', kControlAlt};

}  // namespace tessaloom
