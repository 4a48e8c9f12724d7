// Text of X properties as UTF-8: Latin-1 STRING, UTF8_STRING and COMPOUND_TEXT (best effort).
// Pure functions over bytes; no server access.
#pragma once

#include <string>
#include <string_view>

namespace tessaloom::platform::x11 {

enum class TextEncoding { latin1, utf8, compoundText };

/// `bytes` as UTF-8, cut at the first NUL. Invalid UTF-8 becomes U+FFFD; never fails.
std::string decodeText(std::string_view bytes, TextEncoding encoding);

/// Latin-1 bytes as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);
/// `bytes` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);
/// ISO 2022 compound text as UTF-8: ASCII, the ISO 8859 right halves, UTF-8 segments and the
/// GB 2312, JIS X 0208 and KS C 5601 double-byte sets; anything else becomes U+FFFD.
std::string compoundTextToUtf8(std::string_view bytes);

}  // namespace tessaloom::platform::x11
