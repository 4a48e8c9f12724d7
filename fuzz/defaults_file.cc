// Arbitrary bytes as the text of the defaults file: never a crash, and whatever reads as a
// defaults file is written back to text that reads as the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/file_defaults.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tessaloom::platform::FileDefaults;
  const auto values = FileDefaults::parse({reinterpret_cast<const char*>(data), size});
  if (!values) return 0;
  const auto text = FileDefaults::serialize(*values);
  if (!text) std::abort();  // everything that was read can be written
  const auto again = FileDefaults::parse(*text);
  if (!again || *again != *values) std::abort();
  return 0;
}
