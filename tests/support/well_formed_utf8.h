// Whether bytes are well-formed UTF-8, judged by utf8proc rather than by the code under test.
#pragma once

#include <utf8proc.h>

#include <cstddef>
#include <string_view>

namespace tessaloom::testing {

inline bool wellFormedUtf8(std::string_view s) {
  while (!s.empty()) {
    utf8proc_int32_t cp = 0;
    const auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                                    static_cast<utf8proc_ssize_t>(s.size()), &cp);
    if (n <= 0) return false;
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace tessaloom::testing
