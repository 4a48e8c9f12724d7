// The base helpers: rectangles, numbers as text, records, chords and the user's files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "base/chord.h"
#include "base/files.h"
#include "base/records.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace tessaloom {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << describe(r);
}

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(Rect, RoundsInsetsAndIntersectsTheStandardisedRect) {
  const Rect null = Rect::null(), square(0, 0, 100, 100);
  const struct {
    Rect in;
    double inset;
    Rect integral, insetBy, common;  // common: with `square`
  } rows[] = {
      {{10.5, 20.25, 30.5, 40.5},
       5,
       {10, 20, 31, 41},
       {15.5, 25.25, 20.5, 30.5},
       {10.5, 20.25, 30.5, 40.5}},
      {{60, 90, -20, -40}, 10, {40, 50, 20, 40}, {50, 60, 0, 20}, {40, 50, 20, 40}},
      {{-0.5, -0.5, 1, 1}, -2, {-1, -1, 2, 2}, {-2.5, -2.5, 5, 5}, {0, 0, 0.5, 0.5}},
      {{90, 95, 20, 20}, 10.5, {90, 95, 20, 20}, null, {90, 95, 10, 5}},
      {{100, 0, 10, 10}, 0, {100, 0, 10, 10}, {100, 0, 10, 10}, {100, 0, 0, 10}},
      {{-5, 50, 15, 4}, 0, {-5, 50, 15, 4}, {-5, 50, 15, 4}, {0, 50, 10, 4}},
      {{101, 0, 10, 10}, kInf, {101, 0, 10, 10}, null, null},
      {{0, -20, 10, 19}, 0, {0, -20, 10, 19}, {0, -20, 10, 19}, null},
      {null, -10, null, null, null},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(describe(r.in));
    EXPECT_EQ(r.in.integral(), r.integral);
    EXPECT_EQ(r.in.insetBy(r.inset, r.inset), r.insetBy);
    EXPECT_EQ(r.in.intersection(square), r.common);
    EXPECT_EQ(square.intersection(r.in), r.common);
  }
  EXPECT_EQ(Rect(0, 0, 10, 50).insetBy(5, 25), Rect(5, 25, 0, 0)) << "nothing left is a rect";
  EXPECT_TRUE(Rect(0, 0, 10, 50).insetBy(0, 25.5).isNull());
  const Rect r(100, 50, -40, -20);
  EXPECT_EQ((std::array{r.minX(), r.maxX(), r.midX(), r.minY(), r.maxY(), r.midY()}),
            (std::array{60.0, 100.0, 80.0, 30.0, 50.0, 40.0}));
}

TEST(Rect, ContainsItsMinimumEdgesButNotItsMaximumEdges) {
  const struct {
    Rect r;
    Point p;
    bool in;
  } rows[] = {{{0, 0, 10, 10}, {0, 0}, true},       {{0, 0, 10, 10}, {9.99, 9.99}, true},
              {{0, 0, 10, 10}, {10, 5}, false},     {{0, 0, 10, 10}, {5, 10}, false},
              {{0, 0, 10, 10}, {-0.01, 5}, false},  {{0, 0, 10, 10}, {5, -0.01}, false},
              {{0, 0, 10, 10}, {kNaN, 5}, false},   {{10, 10, -10, -10}, {0, 0}, true},
              {{10, 10, -10, -10}, {10, 5}, false}, {Rect::null(), {0, 0}, false}};
  for (const auto& row : rows)
    EXPECT_EQ(row.r.contains(row.p), row.in) << describe(row.r) << row.p.x << "," << row.p.y;
}

TEST(FormatNumber, ShortestDecimalThatReadsBackWithAFractionalPart) {
  const struct {
    double value;
    const char* text;
  } rows[] = {{800, "800.0"},       {314.6666666666667, "314.6666666666667"},
              {-0.0, "-0.0"},       {-12.5, "-12.5"},
              {100000, "100000.0"}, {1e15, "1000000000000000.0"},
              {0.0001, "0.0001"},   {0x1p53, "9.007199254740992e+15"},
              {1e21, "1.0e+21"},    {0.00001, "1.0e-05"},
              {1.5e-7, "1.5e-07"},  {kNaN, "nan"},
              {kInf, "inf"},        {-kInf, "-inf"}};
  for (const auto& row : rows) EXPECT_EQ(formatNumber(row.value), row.text);
  for (double v : {1.0 / 3, 0.1 + 0.2, -1e-4, 4503599627370495.5, 1e300, 5e-324})
    EXPECT_EQ(std::strtod(formatNumber(v).c_str(), nullptr), v) << formatNumber(v);
  EXPECT_EQ(describe(Rect(577.6, -33, 374.4, 0.5)), "(577.6, -33.0, 374.4, 0.5)");
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
  for (const char* text : {"Grid", "grid ", "", "AI", "Browser", "mouse", "PerDisplay"}) {
    EXPECT_FALSE(layoutKindFromRaw(text) || kindFromRaw(text) || displayModeFromRaw(text)) << text;
  }
  EXPECT_FALSE(layoutKindFromRaw(std::string_view("grid\0", 5)));
  for (const char* text : {R"("AI")", "1", "null", R"(["ai"])"})
    EXPECT_THROW(nlohmann::json::parse(text).get<Kind>(), nlohmann::json::exception) << text;
}

TEST(Chord, NamesModifiersInAFixedOrderThenTheLetter) {
  EXPECT_EQ(describe(Chord{'g', kControlAlt}), "Ctrl+Alt+G");
  EXPECT_EQ(describe(Chord{'a', kShift | kSuper | kAlt | kControl}), "Super+Ctrl+Alt+Shift+A");
  EXPECT_EQ(describe(Chord{'z', kShift}), "Shift+Z");
  EXPECT_EQ(describe(Chord{'q', 0}), "Q");
}

TEST(Files, HomeAndConfigFoldersComeFromTheEnvironmentWhenAbsolute) {
  testing::ScopedEnvironment home("HOME", "/home/someone"), xdg("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(files::homeFolder(), "/home/someone");
  EXPECT_EQ(files::configFolder(), "/xdg");
  {
    testing::ScopedEnvironment relative("XDG_CONFIG_HOME", "xdg");
    EXPECT_EQ(files::configFolder(), "/home/someone/.config");
  }
  testing::ScopedEnvironment none("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(files::configFolder(), "/home/someone/.config");
  testing::ScopedEnvironment relative("HOME", "someone");
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
  std::filesystem::create_symlink("sub/missing", dir.file("dangling"));
  std::filesystem::create_directory(dir.file("sub"));
  ASSERT_TRUE(files::replaceFile(dir.file("link"), "three"));
  ASSERT_TRUE(files::replaceFile(dir.file("dangling"), "four"));
  EXPECT_TRUE(S_ISLNK(modeOf(dir.file("link"))));
  EXPECT_EQ(dir.read("old") + dir.read("sub/missing"), "threefour");
  std::filesystem::create_symlink("loop", dir.file("loop"));
  for (const char* bad : {"sub", "loop", "absent/file"}) {
    const Outcome outcome = files::replaceFile(dir.file(bad), "five");
    EXPECT_FALSE(outcome) << bad;
    EXPECT_NE(outcome.error().find(*std::filesystem::path(bad).begin()), std::string::npos)
        << outcome.error();
  }
  const auto all = std::filesystem::recursive_directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(all), end(all)), 7) << "no temporary is left";
}

}  // namespace
}  // namespace tessaloom
