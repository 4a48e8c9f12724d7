// Hostile property values without a server: titles, frame extents, struts and frames.
#include <gtest/gtest.h>

#include <limits>

#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_text.h"
#include "platform/x11/x11_window_facts.h"
#include "platform/x11/x11_window_moves.h"

namespace tessaloom::platform::x11 {
namespace {

TEST(X11Text, DecodesEachEncodingAndNeverFailsOnBrokenBytes) {
  struct Case {
    std::string bytes;
    TextEncoding encoding;
    std::string expected;
  };
  const Case cases[] = {
      {"Caf\xE9 \xFC", TextEncoding::latin1, "Café ü"},
      {"bad \xFF end", TextEncoding::utf8, "bad \xEF\xBF\xBD end"},
      {std::string("cut\0here", 8), TextEncoding::utf8, "cut"},
      {"Caf\xE9", TextEncoding::compoundText, "Café"},                  // Latin-1 is the right half
      {"\x1B-B\xB1", TextEncoding::compoundText, "ą"},                  // Latin-2 to the right half
      {"\x1B$)B\xC6\xFC\xCB\xDC", TextEncoding::compoundText, "日本"},  // JIS X 0208 right
      {"\x1B$(B\x46\x7C\x4B\x5C\x1B(B!", TextEncoding::compoundText, "日本!"},    // and left
      {"a\x1B%G\xCE\xA9\x1B%@b", TextEncoding::compoundText, "aΩb"},              // a UTF-8 segment
      {"\x1B$)B\xC6\xFC\xA9\xA1", TextEncoding::compoundText, "日\xEF\xBF\xBD"},  // unassigned
      {"\x1B$)Z\xA1\xA1", TextEncoding::compoundText, "\xEF\xBF\xBD"},            // unknown set
      {"\x1B-Z\xA1\xA1", TextEncoding::compoundText, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // one a byte
      {"x\x1B$", TextEncoding::compoundText, "x"},                                 // cut escape
      {"a\x80\x62\x9F", TextEncoding::compoundText, "ab"},       // C1 controls are dropped
      {"a\x9B\x31]b\x9B]c", TextEncoding::compoundText, "abc"},  // and direction changes
      {"\x1B%G\xFF", TextEncoding::compoundText, "\xEF\xBF\xBD"},
      // An extended segment of 130 bytes is skipped by the length it gives.
      {"a\x1B%/1\x81\x82" + std::string(130, 'x') + "b", TextEncoding::compoundText,
       "a\xEF\xBF\xBD"
       "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeText(c.bytes, c.encoding), c.expected) << c.bytes;
}

TEST(X11Properties, ImplausibleExtentsStrutsAndFramesAreRefused) {
  struct Extents {
    std::vector<std::uint32_t> values;
    Size screen;
    bool taken;
  };
  const Extents extents[] = {{{1, 1, 20, 5}, {1920, 1080}, true},
                             {{256, 0, 256, 0}, {1920, 1080}, true},
                             {{0, 0, 257, 0}, {1920, 1080}, false},
                             {{4096, 4096, 4096, 4096}, {1920, 1080}, false},
                             {{1, 1, 20}, {1920, 1080}, false},
                             {{0, 0, 0, 200}, {640, 480}, false},  // a quarter of the screen
                             {{1, 1, 20, 5}, {0, 0}, true}};       // the screen's size unknown
  for (const auto& e : extents)
    EXPECT_EQ(plausibleExtents(e.values, e.screen).has_value(), e.taken) << e.values.size();

  const Rect screen(0, 0, 1920, 1080);
  // Struts' values, a monitor, and the area they leave it; a band along part of an edge covers
  // both of its ends and nothing beyond them.
  const std::tuple<std::vector<std::uint32_t>, Rect, Rect> struts[] = {
      {{0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 1919, 960}, screen, screen},  // its span backwards
      {{10, 10, 10}, screen, screen},                                // neither 4 nor 12 values
      {{0, 0, 0, 1080}, screen, screen},                             // nothing would be left
      {{1, 0, 0, 0, 500, 500, 0, 0, 0, 0, 0, 0}, screen, {1, 0, 1919, 1080}},  // one pixel
      {{10, 0, 0, 0, 1, 100, 0, 0, 0, 0, 0, 0}, {0, 101, 960, 979}, {0, 101, 960, 979}},
      {{0, 0, 30, 0, 0, 0, 0, 0, 3, 300, 0, 0}, screen, {0, 30, 1920, 1050}},
      {{10, 0, 0, 0}, screen, {10, 0, 1910, 1080}}};
  for (const auto& [s, monitor, usable] : struts)
    EXPECT_EQ(usableArea(monitor, strutsFrom(s, 1920, 1080)), usable) << describe(monitor);

  const auto request = frameRequest({100, 50, 800, 601}, FrameExtents{1, 1, 20, 5});
  ASSERT_TRUE(request);
  EXPECT_EQ(request->clientWidth, 798);
  EXPECT_EQ(request->clientHeight, 576);
  EXPECT_TRUE(frameRequest({0, 0, 3, 26}, FrameExtents{1, 1, 20, 5}));  // a client of 1x1
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Rect refused[] = {{nan, 0, 100, 100},   {0, 0, 0, 100},        {0, 0, 100, -1},
                          {40000, 0, 100, 100}, {0, -33000, 100, 100}, {0, 0, 70000, 100}};
  for (const auto& r : refused)
    EXPECT_FALSE(frameRequest(r, FrameExtents{1, 1, 20, 5})) << describe(r);
}

}  // namespace
}  // namespace tessaloom::platform::x11
