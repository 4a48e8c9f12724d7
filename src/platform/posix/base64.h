// Base64 text of data values in the defaults file (standard alphabet, padded). Pure code: no
// file access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::platform::base64 {

/// The padded base64 text of `bytes`.
std::string encode(const std::vector<std::uint8_t>& bytes);
/// The bytes of canonical padded base64 text; nothing for anything else (white space, a wrong
/// length or padding, a character outside the alphabet, non-zero unused bits).
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace tessaloom::platform::base64
