// Arbitrary bytes as a stored arrangement: never a crash, and records that decode are encoded
// and decoded again to the same records, bit for bit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "settings/saved_frame.h"

namespace {
bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaloom;
  const auto frames = decodeSavedFrames({reinterpret_cast<const char*>(data), size});
  if (frames.empty()) return 0;
  const auto json = encodeSavedFrames(frames);
  if (!json) std::abort();  // decoded numbers are finite
  const auto again = decodeSavedFrames(*json);
  if (again != frames) std::abort();
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto& a = frames[i];
    const auto& b = again[i];
    if (!sameBits(a.x, b.x) || !sameBits(a.y, b.y) || !sameBits(a.w, b.w) || !sameBits(a.h, b.h))
      std::abort();
  }
  return 0;
}
