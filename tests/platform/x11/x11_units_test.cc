// The X11 backend's pure parts, without a server: text decoding, which desktop entry a window
// belongs to, grouping into applications, standard windows, struts, frame extents and frame
// requests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/x11/desktop_entries.h"
#include "platform/x11/x11_applications.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_text.h"
#include "platform/x11/x11_window_facts.h"
#include "platform/x11/x11_window_moves.h"

namespace tessaloom::platform::x11 {
namespace {

using ::testing::ElementsAre;

// --- text -----------------------------------------------------------------------------------

TEST(X11Text, DecodesEachPropertyEncoding) {
  struct Case {
    std::string bytes;
    TextEncoding encoding;
    std::string expected;
  };
  const Case cases[] = {
      {"Caf\xE9 \xFC", TextEncoding::latin1, "Café ü"},
      {"Grüße", TextEncoding::utf8, "Grüße"},
      {"bad \xFF end", TextEncoding::utf8, "bad \xEF\xBF\xBD end"},
      {std::string("cut\0here", 8), TextEncoding::utf8, "cut"},
      {"plain", TextEncoding::compoundText, "plain"},
      // Latin-1 right half is the default of compound text.
      {"Caf\xE9", TextEncoding::compoundText, "Café"},
      // Latin-2 designated to the right half.
      {"\x1B-B\xB1", TextEncoding::compoundText, "ą"},
      // JIS X 0208 in the right half, then in the left half, then back to ASCII.
      {"\x1B$)B\xC6\xFC\xCB\xDC", TextEncoding::compoundText, "日本"},
      {"\x1B$(B\x46\x7C\x4B\x5C\x1B(B!", TextEncoding::compoundText, "日本!"},
      // A UTF-8 segment.
      {"a\x1B%G\xCE\xA9\x1B%@b", TextEncoding::compoundText, "aΩb"},
      // An unknown double-byte set and a truncated escape give replacements, never a crash.
      {"\x1B$)Z\xA1\xA1", TextEncoding::compoundText, "\xEF\xBF\xBD"},
      {"x\x1B$", TextEncoding::compoundText, "x"},
      {"\x1B%G\xFF", TextEncoding::compoundText, "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeText(c.bytes, c.encoding), c.expected) << c.bytes;
}

// --- identity -------------------------------------------------------------------------------

DesktopEntryIndex sampleIndex() {
  return DesktopEntryIndex({
      {"org.example.Editor", "Editor", ""},
      {"org.example.ByInstance", "By Instance", "browser-app"},
      {"org.example.ByClass", "By Class", "BrowserClass"},
      {"lower-case", "Lower Case", ""},
      {"Exact.Case", "Exact Case", ""},
      {"org.example.Shadowed", "First", ""},
      {"org.example.Shadowed", "Second", ""},
  });
}

TEST(X11Identity, FindsTheDesktopEntryInOrder) {
  const auto index = sampleIndex();
  struct Case {
    WindowClassHints hints;
    std::optional<std::string> identifier;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {{"org.example.Editor", "x", "X"}, "org.example.Editor", "Editor"},
      // An unknown GTK id falls through to the class.
      {{"org.example.Unknown", "", "BrowserClass"}, "org.example.ByClass", "By Class"},
      // StartupWMClass: the instance before the class.
      {{"", "browser-app", "BrowserClass"}, "org.example.ByInstance", "By Instance"},
      {{"", "Exact.Case", "Other"}, "Exact.Case", "Exact Case"},
      {{"", "prog", "Lower Case"}, "lower-case", "Lower Case"},
      // No entry: the class in id form, named by the class.
      {{"", "term", "My Term"}, "my-term", "My Term"},
      {{"", "onlyinstance", ""}, "onlyinstance", "onlyinstance"},
      {{"", "", ""}, std::nullopt, std::nullopt},
      {{"", "", "org.example.Shadowed"}, "org.example.Shadowed", "First"},
  };
  for (const auto& c : cases) {
    const auto identity = identifyApplication(index, c.hints);
    EXPECT_EQ(identity.identifier, c.identifier) << c.hints.wmClass;
    EXPECT_EQ(identity.name, c.name) << c.hints.wmClass;
  }
}

// --- grouping -------------------------------------------------------------------------------

WindowFacts window(xcb_window_t id, std::string wmClass, std::uint32_t pid,
                   WindowType type = WindowType::normal) {
  WindowFacts w;
  w.id = id;
  w.status = WindowFacts::Status::ok;
  w.instance = wmClass;
  w.wmClass = wmClass;
  w.pid = pid;
  w.type = type;
  return w;
}

TEST(X11Applications, GroupsByIdentifierAndProcess) {
  PidAssigner pids;
  auto unreadable = window(9, "Gone", 300);
  unreadable.status = WindowFacts::Status::unreadable;
  const std::vector<WindowFacts> windows = {
      window(1, "Term", 100),
      window(2, "Other", 200),
      window(3, "Term", 100, WindowType::dialog),
      window(4, "Term", 101),
      window(5, "Panel", 102, WindowType::dock),
      window(6, "Term", 100),
      window(7, "Tools", 103, WindowType::utility),
      unreadable,
  };
  const auto apps = groupApplications(windows, DesktopEntryIndex(), pids);
  ASSERT_EQ(apps.size(), 4u);
  EXPECT_EQ(apps[0].pid, 100);
  EXPECT_EQ(apps[0].identifier, "term");
  EXPECT_THAT(apps[0].windows, ElementsAre(1u, 3u, 6u));
  EXPECT_EQ(apps[1].pid, 200);
  EXPECT_EQ(apps[2].pid, 101);
  EXPECT_THAT(apps[2].windows, ElementsAre(4u));
  EXPECT_EQ(apps[3].identifier, "tools");
}

TEST(X11Applications, StandInPidsAreUniqueAndStable) {
  PidAssigner pids;
  const std::vector<WindowFacts> first = {
      window(1, "NoPid", 0),       window(2, "AlsoNoPid", 0), window(3, "Main", 500),
      window(4, "Companion", 500),  // the same process under another identifier
      window(5, "NoPid", 0),
  };
  const auto apps = groupApplications(first, DesktopEntryIndex(), pids);
  ASSERT_EQ(apps.size(), 4u);
  EXPECT_LT(apps[0].pid, 0);
  EXPECT_LT(apps[1].pid, 0);
  EXPECT_NE(apps[0].pid, apps[1].pid);
  EXPECT_THAT(apps[0].windows, ElementsAre(1u, 5u));
  EXPECT_EQ(apps[2].pid, 500);
  EXPECT_LT(apps[3].pid, 0);
  EXPECT_EQ(apps[3].processId, 500u);

  // Next discovery, other order: everyone keeps their pid.
  const std::vector<WindowFacts> second = {window(4, "Companion", 500), window(5, "NoPid", 0),
                                           window(3, "Main", 500)};
  const auto again = groupApplications(second, DesktopEntryIndex(), pids);
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[0].pid, apps[3].pid);
  EXPECT_EQ(again[1].pid, apps[0].pid);
  EXPECT_EQ(again[2].pid, 500);
}

TEST(X11Applications, StandardWindowsAreNormalOrUntypedAndNotTransient) {
  auto transient = window(1, "x", 1, WindowType::none);
  transient.transient = true;
  EXPECT_TRUE(isStandard(window(1, "x", 1, WindowType::normal)));
  EXPECT_TRUE(isStandard(window(1, "x", 1, WindowType::none)));
  EXPECT_FALSE(isStandard(transient));
  for (auto type :
       {WindowType::dialog, WindowType::utility, WindowType::toolbar, WindowType::other})
    EXPECT_FALSE(isStandard(window(1, "x", 1, type)));
}

// --- screens --------------------------------------------------------------------------------

TEST(X11Struts, ShrinkOnlyTheMonitorsTheyCover) {
  const double w = 1920, h = 1080;
  const Rect left(0, 0, 960, 1080), right(960, 0, 960, 1080);
  // A bottom panel over the right half only.
  const std::uint32_t partial[] = {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 960, 1919};
  const auto bottom = strutsFrom(partial, w, h);
  EXPECT_EQ(usableArea(left, bottom), left);
  EXPECT_EQ(usableArea(right, bottom), Rect(960, 0, 960, 1040));
  // A whole-edge strut on the left and one on top reach every monitor they touch.
  const std::uint32_t whole[] = {30, 0, 25, 0};
  const auto edges = strutsFrom(whole, w, h);
  EXPECT_EQ(usableArea(left, edges), Rect(30, 25, 930, 1055));
  EXPECT_EQ(usableArea(right, edges), Rect(960, 25, 960, 1055));
  // A right strut over the full height.
  const std::uint32_t rightBar[] = {0, 50, 0, 0, 0, 0, 0, 1079, 0, 0, 0, 0};
  EXPECT_EQ(usableArea(right, strutsFrom(rightBar, w, h)), Rect(960, 0, 910, 1080));
}

TEST(X11Struts, MalformedValuesChangeNothing) {
  const Rect screen(0, 0, 1920, 1080);
  const std::uint32_t backwards[] = {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 1919, 960};
  EXPECT_EQ(usableArea(screen, strutsFrom(backwards, 1920, 1080)), screen);
  const std::uint32_t wrongCount[] = {10, 10, 10};
  EXPECT_TRUE(strutsFrom(wrongCount, 1920, 1080).empty());
  // A strut that would leave nothing is ignored rather than leave an empty screen.
  const std::uint32_t everything[] = {0, 0, 0, 1080};
  EXPECT_EQ(usableArea(screen, strutsFrom(everything, 1920, 1080)), screen);
}

// --- frame requests -------------------------------------------------------------------------

TEST(X11FrameRequests, SubtractTheDecorationAndRefuseWhatXCannotCarry) {
  const FrameExtents extents{1, 1, 20, 5};
  const auto request = frameRequest({100, 50, 800, 601}, extents);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->x, 100);
  EXPECT_EQ(request->y, 50);
  EXPECT_EQ(request->clientWidth, 798);
  EXPECT_EQ(request->clientHeight, 576);
  EXPECT_EQ(frameRequest({-5, -30, 100, 100}, {})->y, -30);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Rect refused[] = {
      {nan, 0, 100, 100},   {0, inf, 100, 100},    {0, 0, 0, 100},     {0, 0, 100, -1},
      {40000, 0, 100, 100}, {0, -33000, 100, 100}, {0, 0, 70000, 100}, {0, 0, 2, 100},
  };
  for (const auto& r : refused) EXPECT_FALSE(frameRequest(r, extents)) << describe(r);
}

TEST(X11FrameExtents, OnlyBelievableExtentsAreTaken) {
  const Size screen{1920, 1080};
  struct Case {
    std::vector<std::uint32_t> values;
    std::optional<FrameExtents> expected;
  };
  const Case cases[] = {
      {{1, 1, 20, 5}, FrameExtents{1, 1, 20, 5}},
      {{256, 0, 256, 0}, FrameExtents{256, 0, 256, 0}},
      {{4096, 4096, 4096, 4096}, std::nullopt},
      {{0, 0, 257, 0}, std::nullopt},
      {{1, 1, 20}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(plausibleExtents(c.values, screen), c.expected);
  // A quarter of a small screen is the bound there.
  EXPECT_FALSE(plausibleExtents(std::vector<std::uint32_t>{0, 0, 0, 200}, Size{640, 480}));
}

}  // namespace
}  // namespace tessaloom::platform::x11
