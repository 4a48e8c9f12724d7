// The shared text rules: replacement of invalid UTF-8, canonical equality, case-insensitive
// containment, code-point ordering and cutting to user-perceived characters.
#include "catalog/text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/well_formed_utf8.h"

namespace tessaloom {
namespace {

using namespace std::string_literals;
using tessaloom::testing::wellFormedUtf8;

const std::string kFFFD = "\uFFFD";

// Makes bytes visible in failure messages, NULs and invalid sequences included.
std::string hex(std::string_view s) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

struct Conversion {
  const char* what;
  std::string input;
  std::string expected;
};
void PrintTo(const Conversion& c, std::ostream* os) {
  *os << c.what;
}

class Sanitize : public ::testing::TestWithParam<Conversion> {};

TEST_P(Sanitize, ReplacesEachMaximalInvalidSubpart) {
  const Conversion& c = GetParam();
  const std::string out = text::sanitize(c.input);
  EXPECT_EQ(hex(out), hex(c.expected));
  EXPECT_EQ(text::sanitize(out), out) << "sanitising twice changes nothing";
}

const Conversion kSanitizeCases[] = {
    {"empty", "", ""},
    {"ASCII", "Google Chrome", "Google Chrome"},
    {"NUL kept", "a\0b"s, "a\0b"s},
    {"Japanese kept", "新しいチャット", "新しいチャット"},
    {"highest scalar kept", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {"noncharacter kept", "\xEF\xBF\xBE", "\xEF\xBF\xBE"},
    {"lone continuation", "a\x80z", "a" + kFFFD + "z"},
    {"byte FF", "\xFF", kFFFD},
    {"two bad bytes are two replacements", "\xFE\xFF", kFFFD + kFFFD},
    {"truncated at the end", "ok\xE3\x81", "ok" + kFFFD},
    {"truncated emoji", "\xF0\x9F\x98", kFFFD},
    {"truncated before ASCII",
     "\xE3\x81"
     "A",
     kFFFD + "A"},
    {"truncated after a narrowed second byte", "\xF0\x90\x80", kFFFD},
    {"truncated at the top of the range", "\xF4\x8F\xBF", kFFFD},
    {"truncated three-byte after E0", "\xE0\xA0", kFFFD},
    {"truncated before a lead byte", "\xE3\x81\xE3\x81\x82", kFFFD + "\u3042"},
    {"overlong two bytes", "\xC0\xAF", kFFFD + kFFFD},
    {"overlong three bytes", "\xE0\x80\x80", kFFFD + kFFFD + kFFFD},
    {"surrogate", "\xED\xA0\x80", kFFFD + kFFFD + kFFFD},
    {"above U+10FFFF", "\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},
    {"lead byte F5", "\xF5\x80", kFFFD + kFFFD},
    {"the usual mixed example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
     "a" + kFFFD + kFFFD + kFFFD + "b" + kFFFD + "c" + kFFFD + kFFFD + "d"},
};

INSTANTIATE_TEST_SUITE_P(Text, Sanitize, ::testing::ValuesIn(kSanitizeCases));

// Every one- and two-byte input comes out well-formed, and well-formed input unchanged.
TEST(TextSanitize, EveryShortInputComesOutWellFormed) {
  for (int first = 0; first < 256; ++first) {
    for (int second = -1; second < 256; ++second) {
      std::string in(1, static_cast<char>(first));
      if (second >= 0) in += static_cast<char>(second);
      const std::string out = text::sanitize(in);
      ASSERT_TRUE(wellFormedUtf8(out)) << hex(in);
      if (wellFormedUtf8(in)) {
        ASSERT_EQ(out, in) << hex(in);
      }
    }
  }
}

TEST(TextSanitize, KeepsEveryScalarValue) {
  for (utf8proc_int32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    utf8proc_uint8_t buffer[4];
    const auto n = utf8proc_encode_char(cp, buffer);
    const std::string in(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    ASSERT_EQ(text::sanitize("<" + in + ">"), "<" + in + ">") << cp;
  }
}

class Normalize : public ::testing::TestWithParam<Conversion> {};

TEST_P(Normalize, ComposesCanonically) {
  const Conversion& c = GetParam();
  EXPECT_EQ(hex(text::normalize(c.input)), hex(c.expected));
}

const Conversion kNormalizeCases[] = {
    {"empty", "", ""},
    {"ASCII", "Claude", "Claude"},
    {"e with combining acute",
     "Caf"
     "e\u0301",
     "Caf\u00E9"},
    {"precomposed stays", "Caf\u00E9", "Caf\u00E9"},
    {"marks reordered then composed", "a\u0302\u0323", "\u1EAD"},
    {"Hangul jamo compose", "\u1100\u1161\u11A8", "\uAC01"},
    {"Kelvin sign is K", "\u212A", "K"},
    {"compatibility forms stay", "\uFF23\uFB01", "\uFF23\uFB01"},
    {"lone combining mark stays", "\u0301", "\u0301"},
    {"NUL kept", "e\0e\u0301"s, "e\0\u00E9"s},
    {"invalid bytes replaced", "e\xFF\u0301", "e" + kFFFD + "\u0301"},
};

INSTANTIATE_TEST_SUITE_P(Text, Normalize, ::testing::ValuesIn(kNormalizeCases));

struct Pair {
  const char* what;
  std::string a;
  std::string b;
  int expected;  // for equal and contains: 1 true, 0 false; for compare: the sign
};
void PrintTo(const Pair& p, std::ostream* os) {
  *os << p.what;
}

class Equal : public ::testing::TestWithParam<Pair> {};

TEST_P(Equal, ComparesCanonically) {
  const Pair& p = GetParam();
  EXPECT_EQ(text::equal(p.a, p.b), p.expected == 1);
  EXPECT_EQ(text::equal(p.b, p.a), p.expected == 1) << "symmetric";
}

const Pair kEqualCases[] = {
    {"same ASCII", "Inbox", "Inbox", 1},
    {"empty", "", "", 1},
    {"letter case differs", "Inbox", "inbox", 0},
    {"precomposed and decomposed", "Caf\u00E9", "Cafe\u0301", 1},
    {"mark order differs canonically", "a\u0323\u0302", "a\u0302\u0323", 1},
    {"Kelvin sign and K", "\u212A", "K", 1},
    {"ohm sign and omega", "\u2126", "\u03A9", 1},
    {"full width is no canonical equivalent", "\uFF23hat", "Chat", 0},
    {"NUL counts", "a\0b"s, "a", 0},
    {"prefix is not equal", "Chat", "ChatGPT", 0},
    {"invalid byte equals its replacement", "a\xFF", "a" + kFFFD, 1},
    {"ignorable still counts", "", "\u200B", 0},
    {"Japanese", "チャット", "チャット", 1},
    {"voiced kana composes", "\u30AB\u3099", "\u30AC", 1},
};

INSTANTIATE_TEST_SUITE_P(Text, Equal, ::testing::ValuesIn(kEqualCases));

class Contains : public ::testing::TestWithParam<Pair> {};

TEST_P(Contains, FindsFoldedNeedle) {
  const Pair& p = GetParam();
  EXPECT_EQ(text::containsIgnoringCase(p.a, p.b), p.expected == 1);
}

const Pair kContainsCases[] = {
    {"ASCII any case", "My Claude App", "CLAUDE", 1},
    {"inside a word", "Supergrokker", "grok", 1},
    {"absent", "Safari", "Chrome", 0},
    {"needle longer than haystack", "Cla", "Claude", 0},
    {"empty haystack", "", "a", 0},
    {"empty needle", "abc", "", 0},
    {"both empty", "", "", 0},
    {"needle of ignorables only", "abc", "\u200B", 0},
    {"decomposed haystack, precomposed needle", "Cafe\u0301 Noir", "CAF\u00C9", 1},
    {"precomposed haystack, decomposed needle", "caf\u00E9", "E\u0301", 1},
    {"plain e is not e acute", "caf\u00E9", "cafe", 0},
    {"full width haystack", "\uFF23\uFF48\uFF41\uFF54\uFF27\uFF30\uFF34", "chatgpt", 1},
    {"full width needle", "chatgpt", "\uFF23\uFF28\uFF21\uFF34", 1},
    {"half-width katakana", "\uFF76\uFF80\uFF76\uFF85", "カタカナ", 1},
    {"ligature", "\uFB01le", "FI", 1},
    {"sharp s folds to ss", "Stra\u00DFe", "STRASSE", 1},
    {"final sigma", "\u03A3\u038A\u03A3\u03A5\u03A6\u039F\u03A3",
     "\u03C3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C2", 1},
    {"Kelvin sign", "\u212A", "k", 1},
    {"no-break space", "Le\u00A0Chat", "le chat", 1},
    {"soft hyphen ignored", "Gem\u00ADini", "gemini", 1},
    {"zero-width joiner ignored", "Chat\u200DGPT", "chatgpt", 1},
    {"Japanese", "ChatGPT — 新しいチャット", "新しい", 1},
    {"Japanese absent", "新しいチャット", "古い", 0},
    {"NUL in ASCII text", "a\0b"s, "\0B"s, 1},
    {"NUL in non-ASCII text", "\u00E9\0x"s, "\0X"s, 1},
    {"invalid byte breaks the word", "Gem\xFFini", "gemini", 0},
    {"invalid byte around the word", "\xFFGemini\xFE", "GEMINI", 1},
};

INSTANTIATE_TEST_SUITE_P(Text, Contains, ::testing::ValuesIn(kContainsCases));

// A run of calls over similar texts (one differing only after a NUL, or a part of the one
// before) must answer each from its own text.
TEST(TextContains, NeverAnswersFromAnotherText) {
  const std::string claude = "\uFF23\uFF4C\uFF41\uFF55\uFF44\uFF45";  // full width
  const struct {
    std::string haystack;
    std::string needle;
    bool expected;
  } steps[] = {
      {claude, "claude", true},
      {claude, "safari", false},
      {"\uFF33\uFF41\uFF46\uFF41\uFF52\uFF49", "claude", false},
      {claude, "claude", true},
      {claude.substr(0, 9), "claude", false},
      {"\u00E9\0claude"s, "\u00C9\0CLAUDE"s, true},
      {"\u00E9\0safari"s, "\u00C9\0CLAUDE"s, false},
      {std::string(5000, 'x') + claude, "claude", true},
      {std::string(5000, 'x') + "\u00E9", "claude", false},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(text::containsIgnoringCase(step.haystack, step.needle), step.expected)
        << hex(step.haystack.substr(0, 40)) << " / " << step.needle;
  }
}

// A keyword that names nothing (empty, or only ignorable characters) is skipped, never the end
// of the search; and the text is folded for non-ASCII keywords even after ASCII ones missed.
TEST(TextContainsAny, LooksAtEveryKeywordUntilOneIsFound) {
  const std::string_view keywords[] = {"", "\u200B", "safari", "\uFF43laude"};
  EXPECT_TRUE(text::containsAnyIgnoringCase("Claude", keywords));
  EXPECT_TRUE(text::containsAnyIgnoringCase("\uFF23laude", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("Cla ude", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("Claude", {}));
}

class Compare : public ::testing::TestWithParam<Pair> {};

TEST_P(Compare, OrdersByCodePoints) {
  const Pair& p = GetParam();
  EXPECT_EQ(text::compare(p.a, p.b), p.expected);
  EXPECT_EQ(text::compare(p.b, p.a), -p.expected) << "antisymmetric";
}

const Pair kCompareCases[] = {
    {"uppercase before lowercase", "B", "a", -1},
    {"same letter, case", "A", "a", -1},
    {"equal", "Chrome", "Chrome", 0},
    {"empty first", "", "a", -1},
    {"prefix first", "Chat", "ChatGPT", -1},
    {"ASCII before Latin-1", "z", "\u00E9", -1},
    {"canonical equivalents are equal", "caf\u00E9", "cafe\u0301", 0},
    {"decomposed sorts as composed", "e\u0301", "f", 1},
    {"code points, not UTF-16 units", "\uFF61", "\U0001F600", -1},
    {"NUL sorts first", "a\0"s, "a\x01", -1},
    {"NUL longer than nothing", "a\0"s, "a", 1},
    {"invalid byte as its replacement", "\x80", kFFFD, 0},
    {"Kelvin sign sorts as K", "\u212A", "K", 0},
    {"kana", "あ", "い", -1},
};

INSTANTIATE_TEST_SUITE_P(Text, Compare, ::testing::ValuesIn(kCompareCases));

struct Cut {
  const char* what;
  std::string input;
  std::size_t count;
  std::string expected;
};
void PrintTo(const Cut& c, std::ostream* os) {
  *os << c.what;
}

class PrefixCharacters : public ::testing::TestWithParam<Cut> {};

TEST_P(PrefixCharacters, CutsAtClusterBoundaries) {
  const Cut& c = GetParam();
  EXPECT_EQ(hex(text::prefixCharacters(c.input, c.count)), hex(c.expected));
}

const Cut kCutCases[] = {
    {"ASCII", "hello", 3, "hel"},
    {"shorter than the count", "hi", 5, "hi"},
    {"count zero", "abc", 0, ""},
    {"empty", "", 3, ""},
    {"CR LF is one", "a\r\nb", 2, "a\r\n"},
    {"lone CR", "a\rb", 2, "a\r"},
    {"combining mark stays with its base", "e\u0301x", 1, "e\u0301"},
    {"lone combining mark", "\u0301a", 1, "\u0301"},
    {"family ZWJ sequence", "\U0001F468\u200D\U0001F469\u200D\U0001F467x", 1,
     "\U0001F468\u200D\U0001F469\u200D\U0001F467"},
    {"flags pair up", "\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8", 1, "\U0001F1EF\U0001F1F5"},
    {"odd flag left over", "\U0001F1EF\U0001F1F5\U0001F1FA", 2, "\U0001F1EF\U0001F1F5\U0001F1FA"},
    {"skin tone", "\U0001F44D\U0001F3FD!", 1, "\U0001F44D\U0001F3FD"},
    {"variation selector", "\u2764\uFE0Fx", 1, "\u2764\uFE0F"},
    {"Japanese", "日本語のタイトル", 3, "日本語"},
    {"Hangul jamo syllable", "\u1100\u1161\u11A8z", 1, "\u1100\u1161\u11A8"},
    {"not normalised", "e\u0301", 1, "e\u0301"},
    {"NUL is a character", "a\0b"s, 2, "a\0"s},
    {"invalid bytes each count",
     "a\xFF\xFE"
     "b",
     3, "a" + kFFFD + kFFFD},
    {"replacement does not join a cluster", "e\u0301\xFF", 1, "e\u0301"},
    {"combining mark after invalid byte", "\xFF\u0301x", 1, kFFFD + "\u0301"},
};

INSTANTIATE_TEST_SUITE_P(Text, PrefixCharacters, ::testing::ValuesIn(kCutCases));

// A 45-character title of mixed clusters cut to 40 keeps exactly the first 40, whole.
TEST(TextPrefixCharacters, CutsLongTitleToFortyClusters) {
  // Letters, a dash, combining marks, emoji sequences, a flag, CJK and a Devanagari syllable.
  std::vector<std::string> clusters;
  std::stringstream list(
      "C|h|a|t|G|P|T| |\u2014| |e\u0301|t|u|d|e| |\U0001F468\u200D\U0001F4BB| |d|e| "
      "|\U0001F1EF\U0001F1F5| |日|本|語| |a\u0308\u0301|b|c|\u2764\uFE0F| "
      "|x|y|z|\U0001F44D\U0001F3FF|1|2|3|4|5|6|\u0915\u093F|7|8");
  for (std::string cluster; std::getline(list, cluster, '|');) clusters.push_back(cluster);
  ASSERT_EQ(clusters.size(), 45u);
  std::string title, first40;
  for (std::size_t i = 0; i < clusters.size(); ++i) {
    title += clusters[i];
    if (i < 40) first40 += clusters[i];
  }
  EXPECT_EQ(text::prefixCharacters(title, 40), first40);
  EXPECT_EQ(text::prefixCharacters(title, 45), title);
  EXPECT_EQ(text::prefixCharacters(title, 1000), title);
  for (std::size_t n = 0; n <= 45; ++n) {
    std::string expected;
    for (std::size_t i = 0; i < n; ++i) expected += clusters[i];
    EXPECT_EQ(text::prefixCharacters(title, n), expected) << n;
  }
}

// ASCII text takes shortcuts; a non-ASCII letter appended to both sides forces the full rules,
// which must give the same answers for every pair of ASCII characters.
TEST(TextAscii, ShortcutsAgreeWithFullRules) {
  const std::string tail = "\u00E9";
  for (int x = 0; x < 128; ++x) {
    for (int y = 0; y < 128; ++y) {
      const std::string a(1, static_cast<char>(x));
      const std::string b(1, static_cast<char>(y));
      ASSERT_EQ(text::containsIgnoringCase(a, b), text::containsIgnoringCase(a + tail, b + tail))
          << x << ' ' << y;
      ASSERT_EQ(text::compare(a, b), text::compare(a + tail, b + tail)) << x << ' ' << y;
      ASSERT_EQ(text::equal(a, b), text::equal(a + tail, b + tail)) << x << ' ' << y;
      ASSERT_EQ(text::prefixCharacters(a + b, 1), text::prefixCharacters(a + b + tail, 1))
          << x << ' ' << y;
    }
  }
}

}  // namespace
}  // namespace tessaloom
