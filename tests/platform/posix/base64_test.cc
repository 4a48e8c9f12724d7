// The base64 codec of data values in the defaults file.
#include "platform/posix/base64.h"

#include <gtest/gtest.h>

namespace tessaloom::platform {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) {
  return {s.begin(), s.end()};
}

TEST(Base64, KnownTexts) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"[]", "W10="},
      {"\xff\xfe\xfd", "//79"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(base64::encode(bytesOf(c.bytes)), c.text);
    EXPECT_EQ(base64::decode(c.text), bytesOf(c.bytes));
  }
}

TEST(Base64, EveryByteValueAndLengthRoundTrips) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(base64::decode(base64::encode(bytes)), bytes) << "length " << bytes.size();
    bytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  }
}

TEST(Base64, RejectsEverythingButCanonicalPaddedText) {
  for (const char* text : {
           "Zg",         // no padding
           "Zg=",        // short padding
           "Zg===",      // too much padding
           "====",       // padding only
           "Z===",       // one character cannot make a byte
           "Zm=v",       // padding inside
           "=Zm9",       // padding first
           "Zm9v\n",     // white space
           " Zm9v",      // white space
           "Zm9v Zm9v",  // white space
           "Zm9-",       // URL alphabet
           "Zm9_",       // URL alphabet
           "Zh==",       // unused bits set
           "Zm9=",       // unused bits set
           "Zm\x80v",    // not ASCII
       }) {
    SCOPED_TRACE(text);
    EXPECT_EQ(base64::decode(text), std::nullopt);
  }
}

}  // namespace
}  // namespace tessaloom::platform
