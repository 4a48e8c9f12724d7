#include "platform/hot_keys.h"

#include <array>
#include <utility>

namespace tessaloom::platform {

std::optional<char> hotKeyLetter(std::int32_t virtualKeyCode) {
  // The letter keys of the ANSI layout; the codes follow the physical key positions.
  static constexpr std::array<std::pair<std::int32_t, char>, 26> kLetters = {{
      {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},
      {7, 'x'},  {8, 'c'},  {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'},
      {15, 'r'}, {16, 'y'}, {17, 't'}, {31, 'o'}, {32, 'u'}, {34, 'i'}, {35, 'p'},
      {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'},
  }};
  for (const auto& [code, letter] : kLetters)
    if (code == virtualKeyCode) return letter;
  return std::nullopt;
}

}  // namespace tessaloom::platform
