// The base64 codec of data values in the defaults file.
#include "platform/posix/base64.h"

#include <gtest/gtest.h>

namespace tessaloom::platform {
namespace {

TEST(Base64, RoundTripsEveryLengthAndByteAndMatchesKnownTexts) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(base64::decode(base64::encode(bytes)), bytes) << "length " << bytes.size();
    bytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  }
  const std::pair<std::string, std::string> known[] = {{"Zm9vYmE=", "fooba"},
                                                       {"Zm9vYg==", "foob"},
                                                       {"Zm9vYmFy", "foobar"},
                                                       {"//79", "\xff\xfe\xfd"}};
  for (const auto& [text, plain] : known)
    EXPECT_EQ(base64::encode(std::vector<std::uint8_t>(plain.begin(), plain.end())), text);
}

TEST(Base64, RejectsEverythingButCanonicalPaddedText) {
  for (const char* text : {"Zg", "Zg=", "Zg===", "====", "Z===", "Zm=v", "=Zm9", "Zm9v\n", " Zm9v",
                           "Zm9-", "Zm9_", "Zh==", "Zm9=", "Zm\x80v"})
    EXPECT_EQ(base64::decode(text), std::nullopt) << text;
}

}  // namespace
}  // namespace tessaloom::platform
