// The default kind of an application and the AI test of a window title.
#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "catalog/catalog_lists.h"

namespace tessaloom {
namespace {

struct KindCase {
  const char* what;
  std::string bundleID;
  std::string name;
  Kind expected;
};

void PrintTo(const KindCase& c, std::ostream* os) {
  *os << c.what;
}

class DefaultKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(DefaultKind, Classifies) {
  const KindCase& c = GetParam();
  EXPECT_EQ(Catalog::defaultKind(c.bundleID, c.name), c.expected) << c.what;
}

const KindCase kKindCases[] = {
    {"listed browser", "com.google.Chrome", "Google Chrome", Kind::browser},
    {"exclusion beats the browser list", "com.google.Chrome", "Google Chrome Helper", Kind::ignore},
    {"exclusion in small letters", "com.google.Chrome", "chrome helper (renderer)", Kind::ignore},
    {"exclusion in capitals", "com.google.Chrome", "CHROME HELPER", Kind::ignore},
    {"exclusion inside a word", "com.openai.chat", "AutoUpdater", Kind::ignore},
    {"exclusion by the first keyword", "org.mozilla.firefox", "Torvink", Kind::ignore},
    {"exclusion beats the AI list", "com.anthropic.claudefordesktop", "Claude Helper",
     Kind::ignore},
    {"exclusion beats the AI prefix", "ai.mainfunc.genspark", "Genspark Updater", Kind::ignore},
    {"comet is a browser", "ai.perplexity.comet", "Comet", Kind::browser},
    {"perplexity app is AI", "ai.perplexity.mac", "Perplexity", Kind::ai},
    {"browser stays browser despite an AI name", "company.thebrowser.dia", "Dia ChatGPT",
     Kind::browser},
    {"bundle id compared case-sensitively", "com.apple.safari", "Safari", Kind::ignore},
    {"bundle id case differs, AI name", "com.openai.CHAT", "ChatGPT", Kind::ai},
    {"bundle id with trailing space", "com.google.Chrome ", "Chrome", Kind::ignore},
    {"bundle id prefix of a listed one", "com.google.Chrom", "Chrome", Kind::ignore},
    {"listed AI app without a keyword", "com.felo.mac", "Search", Kind::ai},
    {"last AI id", "com.felo.mac", "", Kind::ai},
    {"last browser id", "com.duckduckgo.macos.browser", "", Kind::browser},
    {"unlisted id, name Claude", "com.example.x", "Claude", Kind::ai},
    {"unlisted id, claude among other words", "com.example.x", "my claude app", Kind::ai},
    {"keyword inside a word", "com.example.x", "Supergrokker", Kind::ai},
    {"two-word keyword", "com.example.x", "lm studio 0.3", Kind::ai},
    {"genspark prefix alone", "ai.mainfunc.genspark", "", Kind::ai},
    {"genspark prefix with suffix", "ai.mainfunc.genspark.desktop", "Browser", Kind::ai},
    {"genspark prefix is case-sensitive", "AI.mainfunc.genspark", "Browser", Kind::ignore},
    {"genspark prefix not at the start", "x.ai.mainfunc.genspark", "Browser", Kind::ignore},
    {"nothing matches", "com.example.editor", "Editor", Kind::ignore},
    {"empty name, unlisted id", "com.example.editor", "", Kind::ignore},
    {"both empty", "", "", Kind::ignore},
    {"title-only keyword is no app keyword", "com.example.x", "Mistral Le Chat", Kind::ignore},
    {"title-only Google AI Studio", "com.example.x", "Google AI Studio", Kind::ignore},
    {"full-width AI name", "com.example.x", "ＣｈａｔＧＰＴ", Kind::ai},
    {"Japanese name with keyword", "com.example.x", "Claude（日本語版）", Kind::ai},
    {"Linux browser id", "firefox", "Firefox Web Browser", Kind::browser},
    {"Linux Flatpak browser id", "org.gnome.Epiphany", "Web", Kind::browser},
    {"Linux Snap browser id", "chromium_chromium", "Chromium", Kind::browser},
    {"Linux browser id is case-sensitive", "Firefox", "Firefox", Kind::ignore},
    {"Linux browser id with an AI name stays browser", "google-chrome", "Gemini - Chrome",
     Kind::browser},
    {"exclusion beats a Linux browser id", "microsoft-edge", "Edge Updater", Kind::ignore},
    {"Linux AI id without a keyword", "com.jeffser.Alpaca", "Alpaca", Kind::ai},
    {"Linux AI id", "io.gpt4all.gpt4all", "GPT4All", Kind::ai},
};

INSTANTIATE_TEST_SUITE_P(Catalog, DefaultKind, ::testing::ValuesIn(kKindCases));

struct TitleCase {
  std::string title;
  bool expected;
};

void PrintTo(const TitleCase& c, std::ostream* os) {
  *os << '"' << c.title << '"';
}

class LooksLikeAI : public ::testing::TestWithParam<TitleCase> {};

TEST_P(LooksLikeAI, Recognises) {
  const TitleCase& c = GetParam();
  EXPECT_EQ(Catalog::looksLikeAI(c.title), c.expected) << c.title;
}

const TitleCase kTitleCases[] = {
    {"chatgpt - new chat", true},
    {"Google AI Studio - Google Chrome", true},
    {"le chat is about cats", true},
    {"LE CHAT", true},
    {"Le\u00A0Chat - Mistral AI", true},  // no-break space folds to a space
    {"Leche at home", false},
    {"", false},
    {"Inbox - Mail", false},
    {"LM Studio docs", false},
    {"Ollama", false},
    {"Codex Sinaiticus", false},
    {"Grokking algorithms", true},
    {"ChatGPT — 新しいチャット", true},
    {"ＣｈａｔＧＰＴ", true},
    {"Chat\u200BGPT", true},  // zero-width space is ignored
    {"Gem\xFFini", false},    // an invalid byte splits the word
};

INSTANTIATE_TEST_SUITE_P(Catalog, LooksLikeAI, ::testing::ValuesIn(kTitleCases));

// No list may hold an empty entry: an empty identifier would make every unnamed app listed, and
// an empty keyword would be found in every text.
TEST(CatalogLists, HoldNoEmptyEntry) {
  const auto noEmpty = [](const auto& list) {
    for (std::string_view entry : list) {
      if (entry.empty()) return false;
    }
    return true;
  };
  EXPECT_TRUE(noEmpty(Catalog::browserBundleIDs));
  EXPECT_TRUE(noEmpty(Catalog::aiBundleIDs));
  EXPECT_TRUE(noEmpty(Catalog::aiNameKeywords));
  EXPECT_TRUE(noEmpty(Catalog::excludedNameKeywords));
  EXPECT_TRUE(noEmpty(Catalog::aiTitleKeywords));
  EXPECT_TRUE(noEmpty(Catalog::linuxBrowserIDs));
  EXPECT_TRUE(noEmpty(Catalog::linuxAIIDs));
}

// Every listed identifier classifies by its list, whatever neutral name the app has.
TEST(CatalogLists, EveryIdentifierClassifies) {
  for (auto id : Catalog::browserBundleIDs) {
    EXPECT_EQ(Catalog::defaultKind(id, "App"), Kind::browser) << id;
  }
  for (auto id : Catalog::linuxBrowserIDs) {
    EXPECT_EQ(Catalog::defaultKind(id, "App"), Kind::browser) << id;
  }
  for (auto id : Catalog::aiBundleIDs) EXPECT_EQ(Catalog::defaultKind(id, "App"), Kind::ai) << id;
  for (auto id : Catalog::linuxAIIDs) EXPECT_EQ(Catalog::defaultKind(id, "App"), Kind::ai) << id;
  for (auto k : Catalog::aiNameKeywords) EXPECT_EQ(Catalog::defaultKind("x", k), Kind::ai) << k;
  for (auto k : Catalog::excludedNameKeywords) {
    EXPECT_EQ(Catalog::defaultKind("com.google.Chrome", k), Kind::ignore) << k;
  }
  for (auto k : Catalog::aiTitleKeywords) EXPECT_TRUE(Catalog::looksLikeAI(k)) << k;
}

}  // namespace
}  // namespace tessaloom
