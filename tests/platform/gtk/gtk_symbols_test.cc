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
  MenuItem item;
  item.title = "ふつう";
  EXPECT_EQ(displayTitle(item), "ふつう");
  item.indentationLevel = 1;
  EXPECT_EQ(displayTitle(item), "    ふつう");
  item.indentationLevel = -3;  // nonsense levels indent nothing
  EXPECT_EQ(displayTitle(item), "ふつう");
  item.indentationLevel = 1000;  // and huge ones are capped
  EXPECT_EQ(displayTitle(item).size(), 16 * 4 + std::string("ふつう").size());
}

TEST(GtkSymbols, KeyEquivalentsBecomeAccelerators) {
  constexpr std::uint32_t kShift = 1, kControl = 4, kAlt = 8;
  struct Case {
    std::string key;
    std::uint32_t modifiers;
    std::optional<Accelerator> expected;
  };
  const Case cases[] = {
      {"g", kMenuControl | kMenuOption, Accelerator{'g', kControl | kAlt}},
      {"q", kMenuCommand, Accelerator{'q', kControl}},
      {"z", kMenuControl | kMenuOption | kMenuShift, Accelerator{'z', kControl | kAlt | kShift}},
      {"", kMenuCommand, std::nullopt},
      {"G", kMenuCommand, std::nullopt},  // the model uses lower-case letters only
      {"gg", kMenuCommand, std::nullopt},
  };
  for (const auto& c : cases) {
    MenuItem item;
    item.keyEquivalent = c.key;
    item.keyEquivalentModifiers = c.modifiers;
    EXPECT_EQ(accelerator(item), c.expected) << c.key;
  }
}

TEST(GtkSymbols, ChoicesAndSwitchesHaveCheckBoxesAndOnlyChoicesAreRadios) {
  struct Case {
    MenuAction action;
    bool on, check, radio;
  };
  const Case cases[] = {
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
    EXPECT_EQ(isCheckItem(item), c.check) << selector(c.action);
    EXPECT_EQ(isRadioItem(item), c.radio) << selector(c.action);
  }
}

}  // namespace
}  // namespace tessaloom::platform::gtk
