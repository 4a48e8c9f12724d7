#include "catalog/text.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tessaloom::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

const utf8proc_uint8_t* bytes(std::string_view s) {
  return reinterpret_cast<const utf8proc_uint8_t*>(s.data());
}

// Branch-free over the whole text so the compiler can vectorise it; most titles and identifiers
// are ASCII, and ASCII text is already valid, composed, and (but for CR LF) one character a
// cluster.
bool isASCII(std::string_view s) {
  unsigned char bits = 0;
  for (char c : s) bits |= static_cast<unsigned char>(c);
  return bits < 0x80;
}

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The length of the maximal subpart of an ill-formed sequence at the start of `s` (at least one
// byte): the longest start of a well-formed sequence. Each such subpart becomes one U+FFFD, the
// replacement practice that decoders widely share.
std::size_t invalidLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t need = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  std::size_t length = 1;
  while (length <= need && length < s.size()) {
    const auto b = static_cast<unsigned char>(s[length]);
    if (b < low || b > high) break;
    low = 0x80;
    high = 0xBF;
    ++length;
  }
  return length;
}

// One step through the text as sanitised: the code point at the front and the bytes it takes;
// an ill-formed sequence reads as U+FFFD.
struct Step {
  utf8proc_int32_t codePoint;
  std::size_t length;
  bool valid;
};

Step next(std::string_view s) {
  utf8proc_int32_t cp = 0;
  const auto n = utf8proc_iterate(bytes(s), static_cast<utf8proc_ssize_t>(s.size()), &cp);
  if (n > 0) return {cp, static_cast<std::size_t>(n), true};
  return {0xFFFD, invalidLength(s), false};
}

// Whether the text is well-formed UTF-8; the common case lets sanitize return a plain copy.
bool isValid(std::string_view s) {
  while (!s.empty()) {
    const Step step = next(s);
    if (!step.valid) return false;
    s.remove_prefix(step.length);
  }
  return true;
}

// utf8proc_map on sanitised text; when it fails anyway (no memory, absurd length) the text stays
// as it is rather than being lost.
std::string mapped(std::string valid, utf8proc_option_t options) {
  utf8proc_uint8_t* out = nullptr;
  const auto n =
      utf8proc_map(bytes(valid), static_cast<utf8proc_ssize_t>(valid.size()), &out, options);
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(out, &std::free);
  if (n < 0 || out == nullptr) return valid;
  return std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
}

// Keyword matching folds compatibility forms as well as case (NFKC_Casefold, less the NUL
// terminator): window titles come from web pages and Japanese input methods, which write
// full-width letters (ＣｈａｔＧＰＴ), no-break spaces, ligatures, soft hyphens and zero-width
// characters; a keyword should be found through all of them. The folding is the locale-free
// default, so a Turkish locale cannot make GEMINI miss gemini.
std::string folded(std::string_view s) {
  if (isASCII(s)) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
  }
  return mapped(sanitize(s), static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE |
                                                            UTF8PROC_COMPAT | UTF8PROC_CASEFOLD |
                                                            UTF8PROC_IGNORE));
}

int sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

std::string sanitize(std::string_view s) {
  if (isASCII(s) || isValid(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  while (!s.empty()) {
    const Step step = next(s);
    if (step.valid) {
      out.append(s.substr(0, step.length));
    } else {
      out.append(kReplacement);
    }
    s.remove_prefix(step.length);
  }
  return out;
}

std::string normalize(std::string_view s) {
  if (isASCII(s)) return std::string(s);
  return mapped(sanitize(s), static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
}

bool equal(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (isASCII(a) && isASCII(b)) return false;
  return normalize(a) == normalize(b);
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  return containsAnyIgnoringCase(haystack, {&needle, 1});
}

bool containsAnyIgnoringCase(std::string_view haystack, std::span<const std::string_view> needles) {
  if (haystack.empty()) return false;
  const bool asciiHaystack = isASCII(haystack);
  std::optional<std::string> foldedHaystack;  // folded at the first keyword that needs it
  for (const std::string_view needle : needles) {
    if (needle.empty()) continue;
    if (asciiHaystack && isASCII(needle)) {
      const auto same = [](char x, char y) { return asciiLower(x) == asciiLower(y); };
      if (std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), same) !=
          haystack.end())
        return true;
      continue;
    }
    const std::string key = folded(needle);
    // A needle that folds away entirely (only ignorable characters) names nothing to look for.
    if (key.empty()) continue;
    if (!foldedHaystack) foldedHaystack = folded(haystack);
    if (foldedHaystack->find(key) != std::string::npos) return true;
  }
  return false;
}

int compare(std::string_view a, std::string_view b) {
  // UTF-8 byte order is code-point order, and std::string compares bytes as unsigned.
  if (isASCII(a) && isASCII(b)) return sign(a.compare(b));
  return sign(normalize(a).compare(normalize(b)));
}

std::string prefixCharacters(std::string_view s, std::size_t count) {
  if (count == 0 || s.empty()) return {};
  if (isASCII(s)) {
    // Every ASCII character is a cluster of its own, except CR LF which is one.
    std::size_t end = 0;
    for (std::size_t clusters = 0; clusters < count && end < s.size(); ++clusters) {
      end += (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n') ? 2 : 1;
    }
    return std::string(s.substr(0, end));
  }
  std::string out;
  utf8proc_int32_t state = 0;
  utf8proc_int32_t previous = -1;
  std::size_t clusters = 0;
  while (!s.empty()) {
    const Step step = next(s);
    if (previous < 0 || utf8proc_grapheme_break_stateful(previous, step.codePoint, &state)) {
      if (clusters == count) break;
      ++clusters;
    }
    if (step.valid) {
      out.append(s.substr(0, step.length));
    } else {
      out.append(kReplacement);
    }
    previous = step.codePoint;
    s.remove_prefix(step.length);
  }
  return out;
}

}  // namespace tessaloom::text
