// The layouts: worked examples, and random desktops planned by the engine and by the model.
#include <gtest/gtest.h>

#include <random>

#include "layout/layout_engine.h"
#include "support/layout_model.h"

namespace tessaloom {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << describe(r);
}

namespace {

using model::Screen;
using model::Window;

const std::vector<std::string_view> kLayouts = {"grid", "columns", "aiSplit", "cascade",
                                                "sameSize"};
// Two screens side by side, each with a 25-point bar on top.
const std::vector<Screen> kTwo = {{{0, 0, 976, 641}, {0, 25, 976, 616}},
                                  {{976, 0, 976, 641}, {976, 25, 976, 616}}};

struct Desktop {
  std::string_view layout = {};
  std::vector<Window> windows = {};
  std::vector<Screen> screens = kTwo;
  bool mouse = false;
  Point pointer{1400, 300};
  double gap = 8, ratio = 0.4;
  std::size_t reference = 0;
};

Window at(double x, double y, bool ai = false, double w = 400, double h = 300) {
  return {{x, y, w, h}, ai};
}

// The engine's plan as frames in input order; the windows it moves, in order, go to `moved`.
std::vector<Rect> planned(const Desktop& d, std::vector<std::size_t>* moved = nullptr) {
  std::vector<ManagedWindow> windows;
  std::vector<Rect> frames;
  for (std::size_t i = 0; i < d.windows.size(); ++i) {
    const Window& w = d.windows[i];
    windows.emplace_back(i, 1000 + i, "app", "App", "", w.frame, w.ai ? Kind::ai : Kind::browser);
    frames.push_back(w.frame);
  }
  std::vector<Display> displays;
  for (const Screen& s : d.screens) displays.emplace_back(s.frame, s.usable, "");
  const LayoutEngine::PlanParameters p{
      d.gap, d.ratio, d.mouse ? DisplayMode::mouseDisplay : DisplayMode::perDisplay, d.pointer,
      static_cast<std::int32_t>(1000 + d.reference)};
  for (const PlanEntry& e :
       LayoutEngine::plan(*layoutKindFromRaw(d.layout), windows, displays, p)) {
    frames[e.window.handle()] = e.target;
    if (moved) moved->push_back(e.window.handle());
  }
  return frames;
}

std::vector<Rect> modelled(const Desktop& d) {
  return model::arrange(d.layout, d.windows, d.screens, d.mouse, d.pointer, d.gap, d.ratio,
                        d.reference);
}

TEST(Layouts, WorkedExamples) {
  const struct {
    const char* what;
    Desktop desktop;
    std::vector<Rect> expected;
  } examples[] = {
      {"no windows", {.layout = "grid"}, {}},
      {"one window fills the area inside the gap",
       {.layout = "grid", .windows = {at(90, 90)}},
       {{8, 33, 960, 600}}},
      {"grid: two on top, one below",
       {.layout = "grid", .windows = {at(100, 90), at(200, 90), at(300, 90)}},
       {{8, 33, 476, 296}, {492, 33, 476, 296}, {8, 337, 960, 296}}},
      {"browsers first, then columns 20 points wide read from the top",
       {.layout = "grid", .windows = {at(0, 100, true), at(120, 300), at(100, 200), at(141, 50)}},
       {{492, 337, 476, 296}, {492, 33, 476, 296}, {8, 33, 476, 296}, {8, 337, 476, 296}}},
      {"each screen takes the windows mostly on it; a lost one goes to the pointer's",
       {.layout = "grid", .windows = {at(800, 100), at(10, 100), at(5000, 5000)}},
       {{984, 33, 476, 600}, {8, 33, 960, 600}, {1468, 33, 476, 600}}},
      {"the mouse gathers every window on the screen under the pointer",
       {.layout = "columns", .windows = {at(10, 100), at(500, 100)}, .mouse = true},
       {{984, 33, 476, 600}, {1468, 33, 476, 600}}},
      {"columns: the upper half of five splits again",
       {.layout = "columns", .windows = {at(0, 0), at(50, 0), at(100, 0), at(150, 0), at(200, 0)}},
       {{8, 33, 476, 144},
        {492, 33, 476, 144},
        {8, 185, 960, 144},
        {8, 337, 476, 296},
        {492, 337, 476, 296}}},
      {"columns 400 wide stay side by side, narrower ones stack",
       {.layout = "columns",
        .windows = {at(0, 0), at(50, 0), at(830, 0), at(880, 0)},
        .screens = {{{0, 0, 824, 641}, {0, 25, 824, 616}},
                    {{824, 0, 823, 641}, {824, 25, 823, 616}}}},
       {{8, 33, 400, 600}, {416, 33, 400, 600}, {832, 33, 807, 296}, {832, 337, 807, 296}}},
      {"aiSplit: browsers left of the AI windows, after one gap",
       {.layout = "aiSplit", .windows = {at(0, 0, true), at(100, 0), at(200, 0)}, .ratio = 0.25},
       {{730, 33, 238, 600}, {8, 33, 714, 296}, {8, 337, 714, 296}}},
      {"aiSplit with no browser is the grid",
       {.layout = "aiSplit", .windows = {at(0, 0, true), at(100, 0, true), at(200, 0, true)}},
       {{8, 33, 476, 296}, {492, 33, 476, 296}, {8, 337, 960, 296}}},
      {"cascade: centred, 32 apart",
       {.layout = "cascade", .windows = {at(0, 0), at(100, 0), at(200, 0)}},
       {{8, 37, 896, 528}, {40, 69, 896, 528}, {72, 101, 896, 528}}},
      {"cascade out of room steps closer and keeps 150 points of height",
       {.layout = "cascade",
        .windows = {at(0, 30), at(30, 30), at(60, 30), at(90, 30), at(120, 30)},
        .screens = {{{0, 0, 276, 241}, {0, 25, 276, 216}}}},
       {{8, 33, 210, 150},
        {20.5, 45.5, 210, 150},
        {33, 58, 210, 150},
        {45.5, 70.5, 210, 150},
        {58, 83, 210, 150}}},
      {"sameSize keeps each window inside its screen's usable area",
       {.layout = "sameSize",
        .windows = {at(400, 300), at(100, 60, false, 700, 500), at(-50, 10, true, 800, 900),
                    at(1500, 400)},
        .reference = 1},
       {{276, 141, 700, 500}, {100, 60, 700, 500}, {0, 25, 700, 500}, {1252, 141, 700, 500}}},
      {"sameSize shrinks a size larger than the screen",
       {.layout = "sameSize", .windows = {at(0, 0, false, 1000, 700), at(50, 50)}},
       {{0, 25, 976, 616}, {0, 25, 976, 616}}},
      {"a gap larger than the screen arranges nothing",
       {.layout = "grid", .windows = {at(10, 100)}, .gap = 400},
       {{10, 100, 400, 300}}},
  };
  for (const auto& e : examples) {
    SCOPED_TRACE(e.what);
    EXPECT_EQ(planned(e.desktop), e.expected);
    EXPECT_EQ(modelled(e.desktop), e.expected);
  }
}

// Screens side by side (some apart), windows anywhere near them, edges often near each other.
Desktop randomDesktop(std::mt19937& rng, bool crowded) {
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution(lo, hi)(rng); };
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  Desktop d{.layout = kLayouts[pick(5)], .screens = {}};
  double x = uniform(-2000, 0);
  for (int s = pick(3); s >= 0; --s) {
    const Rect frame(x, uniform(-100, 100), crowded ? uniform(200, 900) : uniform(800, 2600),
                     crowded ? uniform(150, 700) : uniform(600, 1600));
    d.screens.push_back(
        {frame, {frame.x, frame.y + 25, frame.width, frame.height - 25 - pick(60)}});
    x += frame.width + (pick(3) ? 0 : 300);
  }
  const int count = crowded ? pick(60) : pick(13);
  for (int i = 0; i < count; ++i)
    d.windows.push_back({{std::floor(uniform(-2200, x + 200) / 7) * 7, 50.0 * pick(30) - 150,
                          uniform(100, 1500), uniform(100, 1200)},
                         pick(3) == 0});
  d.mouse = pick(2);
  d.pointer = {uniform(-2100, x + 100), uniform(-200, 1700)};
  d.gap = pick(4) ? pick(24) : uniform(0, 24);
  d.ratio = uniform(0.1, 0.9);
  d.reference = count ? pick(count) : 0;
  return d;
}

// Sharing area beyond rounding in the last digits.
bool overlap(const Rect& a, const Rect& b) {
  const Rect common = a.intersection(b);
  return !common.isNull() && common.width > 1e-6 && common.height > 1e-6;
}

// Also: screens in their order, each in placement order (sameSize: input order); tilings
// inside the area and apart, when the screens are roomy.
TEST(Layouts, PlanAsTheModelDoesOnRandomDesktops) {
  std::mt19937 rng(1207);
  for (int i = 0; i < 600; ++i) {
    const bool crowded = i % 3 == 0;
    const Desktop d = randomDesktop(rng, crowded);
    SCOPED_TRACE(::testing::Message() << "desktop " << i << " " << d.layout);
    std::vector<std::size_t> moved, expected;
    const auto frames = planned(d, &moved);
    ASSERT_EQ(frames, modelled(d));

    std::vector<std::vector<std::size_t>> on(d.screens.size());
    for (std::size_t w = 0; w < d.windows.size(); ++w)
      on[d.mouse ? model::detail::screenUnder(d.pointer, d.screens)
                 : model::detail::screenHolding(d.windows[w].frame, d.screens, d.pointer)]
          .push_back(w);
    for (const auto& group : on)
      for (std::size_t w : model::detail::placementOrder(d.windows, group)) expected.push_back(w);
    if (d.layout == "sameSize")
      for (std::size_t w = 0; w < d.windows.size(); ++w) expected[w] = w;
    EXPECT_EQ(moved, expected);

    if (crowded || d.layout == "sameSize") continue;
    for (std::size_t a = 0; a < frames.size(); ++a) {
      const bool inside = std::any_of(d.screens.begin(), d.screens.end(), [&](const Screen& s) {
        const Rect area = s.usable.insetBy(d.gap - 1e-6, d.gap - 1e-6), &f = frames[a];
        return f.x >= area.x && f.y >= area.y && f.maxX() <= area.maxX() && f.maxY() <= area.maxY();
      });
      EXPECT_TRUE(inside) << describe(frames[a]);
      for (std::size_t b = 0; b < a && d.layout != "cascade"; ++b)
        EXPECT_FALSE(overlap(frames[a], frames[b])) << a << " and " << b;
    }
  }
}

// Placement order of one kind of window: by columns of 20 points, then from the top, ties kept
// in input order. Ignored windows and AI windows keep their order against each other.
TEST(SortForLayout, BrowsersFirstThenEachRunOfOneKindByColumn) {
  std::mt19937 rng(5);
  for (std::size_t n : {0, 1, 2, 7, 30, 63, 64, 65, 200, 1000}) {
    SCOPED_TRACE(n);
    // Below 64 windows, edges anywhere; from 64 on, columns 300 apart (a consistent order).
    std::vector<ManagedWindow> windows;
    for (std::size_t i = 0; i < n; ++i) {
      const double x = n < 64 ? rng() % 200 : 300.0 * (rng() % 8) + 20.0 * (rng() % 2);
      windows.emplace_back(i, 1, "", "", "", Rect(x, 50.0 * (rng() % 10), 9, 9),
                           kAllKinds[rng() % 3]);
    }
    std::vector<std::vector<std::size_t>> runs(1);
    for (std::size_t i = 0; i < n; ++i)
      if (windows[i].kind() == Kind::browser) runs[0].push_back(i);
    for (std::size_t i = 0; i < n; ++i) {
      if (windows[i].kind() == Kind::browser) continue;
      if (runs.size() == 1 || windows[runs.back().back()].kind() != windows[i].kind())
        runs.emplace_back();
      runs.back().push_back(i);
    }
    std::vector<Window> asModel;
    for (const auto& w : windows) asModel.push_back({w.frame()});
    std::vector<std::size_t> expected, actual;
    for (const auto& run : runs)
      for (std::size_t i : model::detail::placementOrder(asModel, run)) expected.push_back(i);
    for (const auto& w : LayoutEngine::sortForLayout(windows)) {
      actual.push_back(w.handle());
      EXPECT_EQ(w.frame(), windows[w.handle()].frame());
    }
    EXPECT_EQ(actual, expected);
  }
}

}  // namespace
}  // namespace tessaloom
