// Runs every text rule on arbitrary bytes and checks the properties that must hold for any input:
// sanitised text is well-formed and stable, equality and ordering agree and are symmetric, and a
// cut is a leading part of the sanitised text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/text.h"

#include "../tests/support/well_formed_utf8.h"

namespace {

using tessaloom::testing::wellFormedUtf8;

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace text = tessaloom::text;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  // The first byte chooses where the input splits into two texts and how many characters to cut.
  const std::size_t split = size == 0 ? 0 : data[0] % size;
  const std::string_view a = all.substr(0, split);
  const std::string_view b = all.substr(split);
  const std::size_t count = size == 0 ? 0 : data[size - 1] % 64;

  const std::string clean = text::sanitize(all);
  check(wellFormedUtf8(clean));
  check(text::sanitize(clean) == clean);

  const std::string normal = text::normalize(all);
  check(wellFormedUtf8(normal));
  check(text::equal(all, normal));
  check(text::equal(all, clean));

  check(text::equal(a, a));
  check(text::compare(a, a) == 0);
  const int ab = text::compare(a, b);
  check(ab == -text::compare(b, a));
  check(text::equal(a, b) == (ab == 0));
  check(text::equal(a, b) == text::equal(b, a));

  const bool found = text::containsIgnoringCase(a, b);
  check(!found || !a.empty());

  const std::string cut = text::prefixCharacters(all, count);
  check(std::string_view(clean).starts_with(cut));
  check(text::prefixCharacters(all, count + 1).starts_with(cut));
  check(count > 0 || cut.empty());
  check(text::prefixCharacters(all, size + 1) == clean);

  tessaloom::Catalog::defaultKind(a, b);
  tessaloom::Catalog::looksLikeAI(all);
  return 0;
}
