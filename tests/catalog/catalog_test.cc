// The shared text rules and the catalogue's classification of applications and window titles.
#include <gtest/gtest.h>

#include <string>

#include "catalog/catalog.h"
#include "catalog/text.h"

namespace tessaloom {
namespace {

using namespace std::string_literals;
using Texts = std::pair<std::string, std::string>;

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
               {"\xC0\xAF", "??"},      {"\xF5\x80", "??"},      {"\x80", "?"}};
  for (const auto& c : cases) EXPECT_EQ(text::sanitize(c.in), r(c.out)) << c.in;
  EXPECT_EQ(text::sanitize("\xE3\x81\xE3\x81\x82"), r("?\u3042"));
  EXPECT_EQ(text::sanitize("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"),
            r("a???b?c??d"));
}

// Canonically equivalent texts are equal and contain each other; others order by code point.
TEST(Text, EqualityAndOrder) {
  const Texts equal[] = {
      {"Inbox", "Inbox"}, {"Caf\u00E9", "Cafe\u0301"}, {"a\u0323\u0302", "a\u0302\u0323"},
      {"\u212A", "K"},    {"\u30AB\u3099", "\u30AC"},  {"a\xFF", "a\uFFFD"}};
  const Texts ordered[] = {{"Inbox", "inbox"},    {"Chat", "ChatGPT"},     {"a", "a\0b"s},
                           {"a\0"s, "a\x01"},     {"", "\u200B"},          {"f", "e\u0301"},
                           {"Chat", "\uFF23hat"}, {"\uFF61", "\U0001F600"}};
  for (const auto& [a, b] : equal) {
    EXPECT_TRUE(text::equal(a, b) && text::equal(b, a)) << a;
    EXPECT_TRUE(text::compare(a, b) == 0 && text::compare(b, a) == 0) << a;
    EXPECT_TRUE(text::containsIgnoringCase(a, b)) << a;
  }
  for (const auto& [a, b] : ordered) {
    EXPECT_FALSE(text::equal(a, b) || text::equal(b, a)) << a;
    EXPECT_TRUE(text::compare(a, b) == -1 && text::compare(b, a) == 1) << a;
  }
}

// Titles from web pages and input methods write full-width letters, no-break spaces and
// invisible characters; a keyword is found through all of them, but not across a bad byte.
TEST(Text, ContainmentFoldsCaseAndCompatibilityForms) {
  const Texts found[] = {{"My Claude", "CLAUDE"},     {"Cafe\u0301 N", "CAF\u00C9"},
                         {"chat", "\uFF23\uFF28"},    {"Le\u00A0Chat", "le chat"},
                         {"Gem\u00ADini", "gemini"},  {"\u00E9\0x"s, "\0X"s},
                         {"\xFFGemini\xFE", "GEMINI"}};
  const Texts missed[] = {{"Cla", "Claude"},
                          {"abc", ""},
                          {"\u200B", "\u200B"},
                          {"caf\u00E9", "cafe"},
                          {"Gem\xFFini", "gemini"}};
  for (const auto& [haystack, needle] : found)
    EXPECT_TRUE(text::containsIgnoringCase(haystack, needle)) << haystack;
  for (const auto& [haystack, needle] : missed)
    EXPECT_FALSE(text::containsIgnoringCase(haystack, needle)) << haystack;
}

// A keyword naming nothing is skipped, not the end of the search.
TEST(Text, ContainsAnyLooksAtEveryKeywordUntilOneIsFound) {
  const std::string_view keywords[] = {"", "\u200B", "safari", "\uFF43laude"};
  EXPECT_TRUE(text::containsAnyIgnoringCase("\uFF23laude", keywords));
  EXPECT_FALSE(text::containsAnyIgnoringCase("Cla ude", keywords));
}

TEST(Text, PrefixCutsAtCharacterBoundaries) {
  const struct {
    std::string in;
    std::size_t count;
    std::string out;
  } cases[] = {{"hello", 3, "hel"},
               {"a\r\nb", 2, "a\r\n"},
               {"\r\nx", 1, "\r\n"},
               {"a\rb", 2, "a\r"},
               {"\U0001F44D\U0001F3FD!", 1, "\U0001F44D\U0001F3FD"},
               {"a\xFF\xFE\x62", 3, "a??"},
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

// Exclusions first, then the browser identifiers, the AI identifiers, the AI prefix and AI names.
TEST(Catalog, ClassifiesApplicationsByIdentifierThenName) {
  const Texts browsers[] = {{"com.google.Chrome", "Google Chrome"},
                            {"firefox", "Firefox"},
                            {"company.thebrowser.dia", "Dia ChatGPT"}};
  const Texts ai[] = {{"com.felo.mac", "Search"},
                      {"com.jeffser.Alpaca", "Alpaca"},
                      {"ai.mainfunc.genspark.x", "Browser"},
                      {"x", "my claude app"}};
  const Texts ignored[] = {{"com.google.Chrome", "chrome updater"},
                           {"com.anthropic.claudefordesktop", "Claude Updater"},
                           {"x.ai.mainfunc.genspark", "Browser"},
                           {"com.google.Chrom", "Chrome"},
                           {"", ""}};
  const auto kind = [](const Texts& app) { return Catalog::defaultKind(app.first, app.second); };
  for (const auto& app : browsers) EXPECT_EQ(kind(app), Kind::browser) << app.first;
  for (const auto& app : ai) EXPECT_EQ(kind(app), Kind::ai) << app.first;
  for (const auto& app : ignored) EXPECT_EQ(kind(app), Kind::ignore) << app.first;
}

// A browser page titled like an AI service counts as AI.
TEST(Catalog, RecognisesTitlesOfAIServices) {
  for (const char* title : {"chatgpt - new chat", "Le\u00A0Chat - Mistral AI", "\uFF27rokking"})
    EXPECT_TRUE(Catalog::looksLikeAI(title)) << title;
  for (const char* title : {"", "Leche at home", "Ollama", "Gem\xFFini"})
    EXPECT_FALSE(Catalog::looksLikeAI(title)) << title;
}

}  // namespace
}  // namespace tessaloom
