// Rectangles, numbers as text, records, chords, the user's language and files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "base/chord.h"
#include "base/files.h"
#include "base/language.h"
#include "base/records.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(Rect, RoundsInsetsAndIntersectsTheStandardisedRect) {
  const Rect null = Rect::null(), square(0, 0, 100, 100);
  // A rectangle, an inset, then its integral, its inset and its common part with `square`.
  const std::tuple<Rect, double, Rect, Rect, Rect> rows[] = {
      {{1.5, 2.25, 3.5, 4.5}, 1, {1, 2, 4, 5}, {2.5, 3.25, 1.5, 2.5}, {1.5, 2.25, 3.5, 4.5}},
      {{60, 90, -20, -40}, 10, {40, 50, 20, 40}, {50, 60, 0, 20}, {40, 50, 20, 40}},
      {{-0.5, -0.5, 1, 1}, -2, {-1, -1, 2, 2}, {-2.5, -2.5, 5, 5}, {0, 0, 0.5, 0.5}},
      {{90, 95, 21, 20}, 10.25, {90, 95, 21, 20}, null, {90, 95, 10, 5}},
      {{100, 0, 10, 10}, 0, {100, 0, 10, 10}, {100, 0, 10, 10}, {100, 0, 0, 10}},
      {{101, 0, 10, 10}, kInf, {101, 0, 10, 10}, null, null},
      {{0, -20, 10, 19}, 0, {0, -20, 10, 19}, {0, -20, 10, 19}, null},
      {{0, 0, 10, 0.5}, 0, {0, 0, 10, 1}, {0, 0, 10, 0.5}, {0, 0, 10, 0.5}},
      {null, -10, null, null, null},
  };
  for (const auto& [in, inset, integral, insetBy, common] : rows) {
    SCOPED_TRACE(describe(in));
    EXPECT_EQ(in.integral(), integral);
    EXPECT_EQ(in.insetBy(inset, inset), insetBy);
    EXPECT_EQ(in.intersection(square), common);
    EXPECT_EQ(square.intersection(in), common);
  }
  const Rect r(0, 0, 10, 10), flipped(10, 10, -10, -10);
  const std::tuple<Rect, Point, bool> points[] = {
      {r, {0, 0}, true},     {r, {9.99, 9.99}, true}, {r, {10, 5}, false},
      {r, {5, 10}, false},   {r, {-0.01, 5}, false},  {r, {5, -0.01}, false},
      {r, {kNaN, 5}, false}, {flipped, {0, 0}, true}, {flipped, {10, 5}, false},
      {null, {0, 0}, false}};
  for (const auto& [rect, p, in] : points)
    EXPECT_EQ(rect.contains(p), in) << describe(rect) << " " << p.x << ", " << p.y;
}

TEST(Describe, NumbersAsTheShortestDecimalThatReadsBackRectanglesAndChords) {
  std::string texts;
  for (double v : {800.0, -0.0, 100000.0, 0.0001, 0x1p53, 1e21, 0.00001, kNaN, kInf, -kInf})
    texts += formatNumber(v) + " ";
  EXPECT_EQ(texts,
            "800.0 -0.0 100000.0 0.0001 9.007199254740992e+15 1.0e+21 1.0e-05 nan inf -inf ");
  EXPECT_EQ(describe(Rect(577.6, -33, 374.4, 0.5)), "(577.6, -33.0, 374.4, 0.5)");
  EXPECT_EQ(describe(Chord{'g', kControlAlt}), "Ctrl+Alt+G");
  EXPECT_EQ(describe(Chord{'a', kShift | kSuper | kAlt | kControl}), "Super+Ctrl+Alt+Shift+A");
}

TEST(Records, RawValuesReadBackExactlyAndNothingElseDoes) {
  for (LayoutKind kind : kAllLayoutKinds) EXPECT_EQ(layoutKindFromRaw(rawValue(kind)), kind);
  for (DisplayMode mode : {DisplayMode::perDisplay, DisplayMode::mouseDisplay})
    EXPECT_EQ(displayModeFromRaw(rawValue(mode)), mode);
  for (Kind kind : kAllKinds) {
    EXPECT_EQ(kindFromRaw(rawValue(kind)), kind);
    EXPECT_EQ(nlohmann::json(kind), std::string(rawValue(kind)));
    EXPECT_EQ(nlohmann::json(kind).get<Kind>(), kind);
  }
  for (const char* text : {"Grid", "grid ", "", "AI", "Browser", "mouse", "PerDisplay"})
    EXPECT_FALSE(layoutKindFromRaw(text) || kindFromRaw(text) || displayModeFromRaw(text)) << text;
  EXPECT_FALSE(layoutKindFromRaw(std::string_view("grid\0", 5)));
  for (const char* text : {R"("AI")", "1", "null", R"(["ai"])"})
    EXPECT_THROW(nlohmann::json::parse(text).get<Kind>(), nlohmann::json::exception) << text;
}

// gettext's order: LANGUAGE's list unless the locale (LC_ALL, else LC_MESSAGES, else LANG) is
// unset, C or POSIX; C.UTF-8 is not C.
TEST(Language, PreferencesFollowGettextsVariablesAndIgnoreLanguageUnderC) {
  using Env = std::map<std::string, std::string>;
  const std::pair<Env, std::vector<std::string>> rows[] = {
      {{}, {}},
      {{{"LANG", "C"}, {"LANGUAGE", "en"}}, {}},
      {{{"LANG", "POSIX"}, {"LANGUAGE", "en"}}, {}},
      {{{"LC_ALL", "C"}, {"LANG", "en_US"}, {"LANGUAGE", "en"}}, {}},
      {{{"LANG", "C.UTF-8"}}, {"C.UTF-8"}},
      {{{"LANG", "C.UTF-8"}, {"LANGUAGE", ":en::fr"}}, {"en", "fr"}},
      {{{"LC_ALL", "de_DE.UTF-8"}, {"LC_MESSAGES", "C"}, {"LANG", "ja_JP"}}, {"de_DE.UTF-8"}},
      {{{"LC_ALL", ""}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "C"}, {"LANGUAGE", ""}}, {"fr_FR"}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(language::preferences([&env = row.first](const char* name) {
                const auto found = env.find(name);
                return found == env.end() ? nullptr : found->second.c_str();
              }),
              row.second);
}

// The rules of catalogues' headers: C's operators with their precedence, and no form for a rule
// that does not parse.
TEST(Language, PluralFormsFollowTheCataloguesRule) {
  const std::string polish = "(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2)";
  const std::tuple<std::string, std::vector<unsigned long>, std::vector<unsigned long>> rows[] = {
      {"(n != 1)", {0, 1, 2}, {1, 0, 1}},
      {"n>1", {0, 1, 2}, {0, 0, 1}},
      {polish, {1, 2, 5, 12, 22, 104, 111}, {0, 1, 2, 2, 1, 1, 2}},
      {"n%10==1 && n%100!=11 ? 0 : n != 0 ? 1 : 2", {0, 1, 11, 21, 3}, {2, 0, 1, 0, 1}},
      {"!(n<=2) + n*2/4 - (n>=3)", {0, 3, 8}, {0, 1, 4}},
      {"n/0 + n%0", {5}, {0}},
      {"0", {7}, {0}},
      {"(n != 1", {2}, {0}},
      {"n ? 1", {2}, {0}},
      {"n !=", {2}, {0}},
      {"n 1", {2}, {0}},
  };
  for (const auto& [rule, counts, forms] : rows)
    for (std::size_t i = 0; i < counts.size(); ++i)
      EXPECT_EQ(language::pluralForm(rule, counts[i]), forms[i]) << rule << " " << counts[i];
}

TEST(Files, HomeAndConfigFoldersComeFromTheEnvironmentWhenAbsolute) {
  testing::ScopedEnvironment home("HOME", "/home/someone"), xdg("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(files::homeFolder(), "/home/someone");
  EXPECT_EQ(files::configFolder(), "/xdg");
  testing::ScopedEnvironment relativeConfig("XDG_CONFIG_HOME", "xdg");
  EXPECT_EQ(files::configFolder(), "/home/someone/.config");
  testing::ScopedEnvironment noConfig("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(files::configFolder(), "/home/someone/.config");
  testing::ScopedEnvironment relativeHome("HOME", "someone");
  EXPECT_NE(files::homeFolder(), "someone") << "the password database's entry instead";
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(Files, ReplaceFileWritesWholeFilesThroughLinksAndLeavesNoTemporary) {
  testing::TempDir dir;
  ASSERT_TRUE(files::replaceFile(dir.file("new"), "one", 0600));
  EXPECT_EQ(modeOf(dir.file("new")) & 07777, 0600u);
  dir.write("old", "a much longer old text");
  ::chmod(dir.file("old").c_str(), 0640);
  ASSERT_TRUE(files::replaceFile(dir.file("old"), "two", 0600));
  EXPECT_EQ(dir.read("old"), "two");
  EXPECT_EQ(modeOf(dir.file("old")) & 07777, 0640u) << "an existing file keeps its mode";
  std::filesystem::create_symlink("old", dir.file("link"));
  std::filesystem::create_directory(dir.file("sub"));
  ASSERT_TRUE(files::replaceFile(dir.file("link"), "three"));
  EXPECT_EQ(dir.read("old"), "three");
  std::filesystem::create_symlink("loop", dir.file("loop"));
  for (const char* bad : {"sub", "loop", "absent/file"}) {
    const Outcome outcome = files::replaceFile(dir.file(bad), "five");
    EXPECT_FALSE(outcome) << bad;
    EXPECT_NE(outcome.error().find(*std::filesystem::path(bad).begin()), std::string::npos)
        << outcome.error();
  }
  const auto all = std::filesystem::recursive_directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(all), end(all)), 5) << "no temporary is left";
  // A chain of links is followed as far as the kernel follows one: 40 links, not 41.
  std::filesystem::create_symlink("../old", dir.file("sub/0"));
  for (int i = 1; i <= 40; ++i)
    std::filesystem::create_symlink(std::to_string(i - 1), dir.file("sub/" + std::to_string(i)));
  EXPECT_TRUE(files::replaceFile(dir.file("sub/39"), "six"));
  EXPECT_EQ(dir.read("old"), "six");
  EXPECT_FALSE(files::replaceFile(dir.file("sub/40"), "seven"));
}

}  // namespace
}  // namespace tessaloom
