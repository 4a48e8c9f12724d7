// Text rules shared by the whole program: canonical equality, case-insensitive containment,
// code-point ordering and cutting to user-perceived characters. Invalid UTF-8 is replaced
// (U+FFFD), never trusted.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tessaloom::text {

/// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string sanitize(std::string_view s);
/// Canonical composition (NFC) of the sanitised text.
std::string normalize(std::string_view s);
/// Whole-string, case-sensitive equality where canonically equivalent texts are equal.
bool equal(std::string_view a, std::string_view b);
/// Whether `needle` occurs in `haystack`, both normalised and case-folded.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);
/// Whether any of `needles` occurs in `haystack`, as above; the haystack is folded once.
bool containsAnyIgnoringCase(std::string_view haystack, std::span<const std::string_view> needles);
/// Orders by the code points of the normalised texts: negative, zero or positive.
int compare(std::string_view a, std::string_view b);
/// The first `count` extended grapheme clusters (the whole text when it is shorter).
std::string prefixCharacters(std::string_view s, std::size_t count);

}  // namespace tessaloom::text
