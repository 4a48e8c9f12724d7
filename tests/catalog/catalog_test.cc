// The text rules (invalid UTF-8, canonical equality, folded containment, code-point order,
// cutting to characters) and the catalogue's classification of applications and titles.
#include <gtest/gtest.h>

#include <string>

#include "catalog/catalog.h"
#include "catalog/text.h"
#include "support/well_formed_utf8.h"

namespace tessaloom {
namespace {

using namespace std::string_literals;

// '?' in an expected text stands for U+FFFD, the replacement character.
std::string r(std::string s) {
  for (auto i = s.find('?'); i != std::string::npos; i = s.find('?')) s.replace(i, 1, "\uFFFD");
  return s;
}

TEST(Text, SanitizeReplacesEachMaximalInvalidSubpart) {
  const struct {
    std::string in, out;
  } cases[] = {{"a\x80z", "a?z"},       {"\xFE\xFF", "??"},      {"ok\xE3\x81", "ok?"},
               {"\xE3\x81\x41", "?A"},  {"\xE3\xBF", "?"},       {"\xEF\xBF", "?"},
               {"\xF0\x9F\x98", "?"},   {"\xE0\xA0", "?"},       {"\xE0\x80\x80", "???"},
               {"\xED\x9F", "?"},       {"\xED\xA0\x80", "???"}, {"\xF0\x90\x80", "?"},
               {"\xF0\x8F\x80", "???"}, {"\xF4\x8F\xBF", "?"},   {"\xF4\x90\x80\x80", "????"},
               {"\xC0\xAF", "??"},      {"\xF5\x80", "??"}};
  for (const auto& c : cases) EXPECT_EQ(text::sanitize(c.in), r(c.out)) << c.in;
  EXPECT_EQ(text::sanitize("\xE3\x81\xE3\x81\x82"), r("?\u3042"));
  EXPECT_EQ(text::sanitize("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"),
            r("a???b?c??d"));
}

TEST(Text, EveryShortInputComesOutWellFormedAndValidInputUnchanged) {
  for (int first = 0; first < 256; ++first) {
    for (int second = -1; second < 256; ++second) {
      std::string in(1, static_cast<char>(first));
      if (second >= 0) in += static_cast<char>(second);
      const std::string out = text::sanitize(in);
      ASSERT_TRUE(testing::wellFormedUtf8(out)) << first << ' ' << second;
      ASSERT_TRUE(out == in || !testing::wellFormedUtf8(in)) << first << ' ' << second;
    }
  }
}

TEST(Text, NormalizeComposesCanonically) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Cafe\u0301", "Caf\u00E9"},      {"a\u0302\u0323", "\u1EAD"},   {"\u212A", "K"},
      {"\uFF23\uFB01", "\uFF23\uFB01"}, {"e\0e\u0301"s, "e\0\u00E9"s}, {"e\xFF\u0301", "e?\u0301"}};
  for (const auto& c : cases) EXPECT_EQ(text::normalize(c.in), r(c.out)) << c.in;
}

TEST(Text, EqualityOrderAndContainmentOfPairs) {
  const struct {
    std::string a, b;
    bool equal;
    int order;
    bool contains;  // b in a, ignoring case
  } cases[] = {{"Inbox", "Inbox", true, 0, true},
               {"Inbox", "inbox", false, -1, true},
               {"Caf\u00E9", "Cafe\u0301", true, 0, true},
               {"a\u0323\u0302", "a\u0302\u0323", true, 0, true},
               {"\u212A", "K", true, 0, true},
               {"\u30AB\u3099", "\u30AC", true, 0, true},
               {"a\xFF", "a\uFFFD", true, 0, true},
               {"\uFF23hat", "Chat", false, 1, true},
               {"Chat", "ChatGPT", false, -1, false},
               {"a\0b"s, "a", false, 1, true},
               {"a\0"s, "a\x01", false, -1, false},
               {"", "\u200B", false, -1, false},
               {"z", "\u00E9", false, -1, false},
               {"e\u0301", "f", false, 1, false},
               {"\uFF61", "\U0001F600", false, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(text::equal(c.a, c.b), c.equal);
    EXPECT_EQ(text::equal(c.b, c.a), c.equal);
    EXPECT_EQ(text::compare(c.a, c.b), c.order);
    EXPECT_EQ(text::compare(c.b, c.a), -c.order);
    EXPECT_EQ(text::containsIgnoringCase(c.a, c.b), c.contains);
  }
}

// Titles from web pages and input methods write full-width letters, no-break spaces and
// invisible characters; a keyword is found through all of them, but not across a bad byte.
TEST(Text, ContainmentFoldsCaseAndCompatibilityForms) {
  using Texts = std::pair<std::string, std::string>;  // haystack, needle
  const Texts found[] = {{"My Claude", "CLAUDE"},    {"Cafe\u0301 N", "CAF\u00C9"},
                         {"chat", "\uFF23\uFF28"},   {"Le\u00A0Chat", "le chat"},
                         {"Gem\u00ADini", "gemini"}, {"Stra\u00DFe", "STRASSE"},
                         {"\u00E9\0x"s, "\0X"s},     {"\xFFGemini\xFE", "GEMINI"}};
  const Texts missed[] = {{"Cla", "Claude"},
                          {"abc", ""},
                          {"abc", "\u200B"},
                          {"caf\u00E9", "cafe"},
                          {"Gem\xFFini", "gemini"}};
  for (const auto& [haystack, needle] : found)
    EXPECT_TRUE(text::containsIgnoringCase(haystack, needle)) << haystack;
  for (const auto& [haystack, needle] : missed)
    EXPECT_FALSE(text::containsIgnoringCase(haystack, needle)) << haystack;
}

// A keyword naming nothing is skipped, not the end of the search, and the text is folded for a
// non-ASCII keyword after ASCII ones missed.
TEST(Text, ContainsAnyLooksAtEveryKeywordUntilOneIsFound) {
  const std::string_view keywords[] = {"", "\u200B", "safari", "\uFF43laude"};
  EXPECT_TRUE(text::containsAnyIgnoringCase("Claude", keywords));
  EXPECT_TRUE(text::containsAnyIgnoringCase("\uFF23laude", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("Cla ude", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("", keywords));
}

TEST(Text, PrefixCutsAtCharacterBoundaries) {
  const struct {
    std::string in;
    std::size_t count;
    std::string out;
  } cases[] = {{"hello", 3, "hel"},
               {"hi", 5, "hi"},
               {"a\r\nb", 2, "a\r\n"},
               {"\r\nx", 1, "\r\n"},
               {"a\rb", 2, "a\r"},
               {"e\u0301x", 1, "e\u0301"},
               {"\U0001F468\u200D\U0001F469\u200D\U0001F467x", 1,
                "\U0001F468\u200D\U0001F469\u200D\U0001F467"},
               {"\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8", 1, "\U0001F1EF\U0001F1F5"},
               {"日本語のタイトル", 3, "日本語"},
               {"a\0b"s, 2, "a\0"s},
               {"a\xFF\xFE\x62", 3, "a??"},
               {"e\u0301\xFF", 1, "e\u0301"},
               {"\xFF\u0301x", 1, "?\u0301"}};
  for (const auto& c : cases) EXPECT_EQ(text::prefixCharacters(c.in, c.count), r(c.out)) << c.in;
}

// ASCII text takes shortcuts; a non-ASCII letter on both sides forces the full rules, which
// must agree for every pair of ASCII characters.
TEST(Text, AsciiShortcutsAgreeWithTheFullRules) {
  const std::string tail = "\u00E9";
  for (int x = 0; x < 128; ++x) {
    for (int y = 0; y < 128; ++y) {
      const std::string a(1, static_cast<char>(x)), b(1, static_cast<char>(y));
      SCOPED_TRACE(std::to_string(x) + " " + std::to_string(y));
      ASSERT_EQ(text::containsIgnoringCase(a, b), text::containsIgnoringCase(a + tail, b + tail));
      ASSERT_EQ(text::compare(a, b), text::compare(a + tail, b + tail));
      ASSERT_EQ(text::equal(a, b), text::equal(a + tail, b + tail));
      ASSERT_EQ(text::prefixCharacters(a + b, 1), text::prefixCharacters(a + b + tail, 1));
    }
  }
}

TEST(Catalog, ClassifiesApplicationsByIdentifierThenName) {
  const struct {
    std::string id, name;
    Kind expected;
  } cases[] = {{"com.google.Chrome", "Google Chrome", Kind::browser},
               {"firefox", "Firefox Web Browser", Kind::browser},
               {"com.google.Chrome", "chrome helper (renderer)", Kind::ignore},
               {"com.anthropic.claudefordesktop", "Claude Updater", Kind::ignore},
               {"ai.mainfunc.genspark", "Genspark Helper", Kind::ignore},
               {"company.thebrowser.dia", "Dia ChatGPT", Kind::browser},
               {"com.felo.mac", "Search", Kind::ai},
               {"com.jeffser.Alpaca", "Alpaca", Kind::ai},
               {"ai.mainfunc.genspark.desktop", "Browser", Kind::ai},
               {"x.ai.mainfunc.genspark", "Browser", Kind::ignore},
               {"com.apple.safari", "Safari", Kind::ignore},
               {"com.google.Chrom", "Chrome", Kind::ignore},
               {"com.example.x", "my claude app", Kind::ai},
               {"com.example.x", "\uFF23\uFF48\uFF41\uFF54\uFF27\uFF30\uFF34", Kind::ai},
               {"com.example.x", "Mistral Le Chat", Kind::ignore},
               {"", "", Kind::ignore}};
  for (const auto& c : cases)
    EXPECT_EQ(Catalog::defaultKind(c.id, c.name), c.expected) << c.id << " / " << c.name;
}

TEST(Catalog, RecognisesTitlesOfAIServices) {
  for (const char* title : {"chatgpt - new chat", "Le\u00A0Chat - Mistral AI", "Grokking",
                            "\uFF23\uFF48\uFF41\uFF54\uFF27\uFF30\uFF34"})
    EXPECT_TRUE(Catalog::looksLikeAI(title)) << title;
  for (const char* title : {"", "Leche at home", "Inbox - Mail", "Ollama", "Gem\xFFini"})
    EXPECT_FALSE(Catalog::looksLikeAI(title)) << title;
}

}  // namespace
}  // namespace tessaloom
