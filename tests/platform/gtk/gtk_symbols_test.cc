// What the GTK backend shows for the core's names: every symbol the program uses has an icon
// that a stock desktop (or this program's own theme folder) really holds, and menu titles and
// key equivalents come out as GTK shows them.
#include "platform/gtk/gtk_symbols.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/records.h"

namespace tessaloom::platform::gtk {
namespace {

namespace fs = std::filesystem;

// Whether an icon file of that name is in the Adwaita theme or in this program's icon folder.
bool iconFileExists(std::string_view name) {
  const std::string file = std::string(name) + ".svg";
  const std::vector<fs::path> themes = {"/usr/share/icons/Adwaita/scalable",
                                        fs::path(TESSALOOM_SOURCE_DIR) / "data/icons/hicolor"};
  for (const auto& theme : themes) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(theme, ec), end; !ec && it != end; it.increment(ec))
      if (it->path().filename() == file) return true;
  }
  return false;
}

TEST(GtkSymbols, EverySymbolTheProgramShowsHasAnIconThatExists) {
  if (!fs::is_directory("/usr/share/icons/Adwaita/scalable"))
    GTEST_SKIP() << "the Adwaita icon theme is not installed";
  std::vector<std::string> symbols = {"rectangle.split.2x2",      "arrow.uturn.backward",
                                      "square.and.arrow.down",    "clock.arrow.circlepath",
                                      "app.badge.checkmark",      "gearshape",
                                      "exclamationmark.triangle", "checkmark.circle.fill"};
  for (const auto kind : kAllLayoutKinds) symbols.emplace_back(symbol(kind));
  for (const auto& s : symbols) {
    const auto icon = iconNameForSymbol(s);
    ASSERT_TRUE(icon) << s;
    EXPECT_TRUE(iconFileExists(*icon)) << s << " -> " << *icon;
  }
  EXPECT_TRUE(iconFileExists(kAppIconName));
  EXPECT_EQ(iconNameForSymbol("no.such.symbol"), std::nullopt);
  EXPECT_EQ(iconNameForSymbol(""), std::nullopt);
}

TEST(GtkSymbols, TitlesAreIndentedByLevel) {
  // Nonsense levels indent nothing, and huge ones are capped.
  const std::pair<int, std::size_t> cases[] = {{0, 0}, {1, 4}, {-3, 0}, {1000, 16 * 4}};
  for (const auto& [level, spaces] : cases) {
    MenuItem item;
    item.title = "ふつう";
    item.indentationLevel = level;
    EXPECT_EQ(displayTitle(item), std::string(spaces, ' ') + "ふつう") << level;
  }
}

TEST(GtkSymbols, ShortcutsBecomeAccelerators) {
  constexpr std::uint32_t kGdkShift = 1, kGdkControl = 4, kGdkAlt = 8, kGdkSuper = 1u << 26;
  const std::pair<std::optional<Chord>, std::optional<Accelerator>> cases[] = {
      {Chord{'g', kControlAlt}, Accelerator{'g', kGdkControl | kGdkAlt}},
      {Chord{'q', kControl}, Accelerator{'q', kGdkControl}},
      {Chord{'z', kControlAlt | kShift | kSuper},
       Accelerator{'z', kGdkControl | kGdkAlt | kGdkShift | kGdkSuper}},
      {std::nullopt, std::nullopt},
      {Chord{'G', kControl}, std::nullopt},  // chords name lower-case letters only
      {Chord{'1', kControl}, std::nullopt},
  };
  for (const auto& [chord, expected] : cases) {
    MenuItem item;
    item.shortcut = chord;
    EXPECT_EQ(accelerator(item), expected) << (chord ? describe(*chord) : "none");
  }
}

TEST(GtkSymbols, ChoicesAndSwitchesHaveCheckBoxesAndOnlyChoicesAreRadios) {
  const struct {
    MenuAction action;
    bool on, check, radio;
  } cases[] = {
      {MenuAction::setGap, false, true, true},
      {MenuAction::setKind, true, true, true},
      {MenuAction::setDisplayMode, false, true, true},
      {MenuAction::setAIRatio, false, true, true},
      {MenuAction::toggleDetectTabs, false, true, false},
      {MenuAction::toggleLogin, true, true, false},
      {MenuAction::layout, false, false, false},
      {MenuAction::none, true, true, false},  // a checked item of any other kind shows its mark
  };
  for (const auto& c : cases) {
    MenuItem item;
    item.action = c.action;
    item.on = c.on;
    EXPECT_EQ(isCheckItem(item), c.check) << static_cast<int>(c.action);
    EXPECT_EQ(isRadioItem(item), c.radio) << static_cast<int>(c.action);
  }
}

}  // namespace
}  // namespace tessaloom::platform::gtk
