#include "base/chord.h"

#include <cctype>

namespace tessaloom {

std::string describe(const Chord& chord) {
  std::string text;
  if (chord.modifiers & kSuper) text += "Super+";
  if (chord.modifiers & kControl) text += "Ctrl+";
  if (chord.modifiers & kAlt) text += "Alt+";
  if (chord.modifiers & kShift) text += "Shift+";
  text += static_cast<char>(std::toupper(static_cast<unsigned char>(chord.letter)));
  return text;
}

}  // namespace tessaloom
