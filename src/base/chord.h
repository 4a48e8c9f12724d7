// Key chords: a letter with modifiers, as hot keys and menu shortcuts name them. Each backend
// maps them to its own key codes and modifier bits.
#pragma once

#include <cstdint>
#include <string>

namespace tessaloom {

enum Modifier : std::uint32_t {
  kControl = 1,
  kAlt = 2,
  kShift = 4,
  kSuper = 8,
};

struct Chord {
  /// A lower-case letter from 'a' to 'z'.
  char letter = 0;
  /// Modifier bits.
  std::uint32_t modifiers = 0;
  friend bool operator==(const Chord&, const Chord&) = default;
};

/// Control+Alt, the modifiers of every hot key of the program.
inline constexpr std::uint32_t kControlAlt = kControl | kAlt;

/// "Ctrl+Alt+G": the modifiers in a fixed order, then the letter in upper case.
std::string describe(const Chord& chord);

}  // namespace tessaloom
