// Arbitrary bytes as the text of a window property, in each encoding X titles come in: never a
// crash, and the result is always valid UTF-8 without NUL.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/x11/x11_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tessaloom::platform::x11::TextEncoding;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto encoding : {TextEncoding::latin1, TextEncoding::utf8, TextEncoding::compoundText}) {
    const std::string text = tessaloom::platform::x11::decodeText(bytes, encoding);
    if (text.find('\0') != std::string::npos) std::abort();
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) std::abort();
  }
  return 0;
}
