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

using model::Screen, model::Window;

// Two screens side by side, each with a 25-point bar on top.
const std::vector<Screen> kTwo = {{{0, 0, 976, 641}, {0, 25, 976, 616}},
                                  {{976, 0, 976, 641}, {976, 25, 976, 616}}};

const Screen kSmall = {{0, 0, 276, 241}, {0, 25, 276, 216}};

struct Desktop {
  std::string_view layout = {};
  std::vector<Window> windows = {};
  std::vector<Screen> screens = kTwo;
  bool mouse = false;
  Point pointer{1400, 300};
  double gap = 8, ratio = 0.4;
  std::size_t reference = 0;

  std::vector<Rect> modelled() const {
    return model::arrange(layout, windows, screens, mouse, pointer, gap, ratio, reference);
  }
  std::vector<ManagedWindow> managed() const {
    std::vector<ManagedWindow> out;
    for (const Window& w : windows)
      out.emplace_back(out.size(), 1000 + out.size(), "", "", "", w.frame,
                       w.ai ? Kind::ai : Kind::browser, false, Size{w.minWidth, 0});
    return out;
  }
  std::vector<Display> displays() const {
    std::vector<Display> out;
    for (const Screen& s : screens) out.emplace_back(s.frame, s.usable, "");
    return out;
  }
  DisplayMode mode() const { return mouse ? DisplayMode::mouseDisplay : DisplayMode::perDisplay; }
  // The engine's plan as frames in input order; the windows it moves, in order, go to `moved`.
  std::vector<Rect> planned(std::vector<std::size_t>* moved = nullptr) const {
    std::vector<Rect> frames;
    for (const Window& w : windows) frames.push_back(w.frame);
    const LayoutEngine::PlanParameters p{gap, ratio, mode(), pointer,
                                         static_cast<std::int32_t>(1000 + reference)};
    for (const PlanEntry& e :
         LayoutEngine::plan(*layoutKindFromRaw(layout), managed(), displays(), p)) {
      frames[e.window.handle()] = e.target;
      if (moved) moved->push_back(e.window.handle());
    }
    return frames;
  }
};

Window at(double x, double y, bool ai = false, double w = 400, double h = 300,
          double minWidth = 0) {
  return {{x, y, w, h}, ai, minWidth};
}

TEST(Layouts, WorkedExamples) {
  const std::tuple<const char*, Desktop, std::vector<Rect>> examples[] = {
      {"no windows", {.layout = "grid"}, {}},
      {"browsers first, then columns 20 points wide read from the top",
       {.layout = "grid", .windows = {at(0, 100, true), at(120, 300), at(100, 200), at(141, 50)}},
       {{492, 337, 476, 296}, {492, 33, 476, 296}, {8, 33, 476, 296}, {8, 337, 476, 296}}},
      {"each screen takes the windows mostly on it; a lost one goes to the pointer's",
       {.layout = "grid", .windows = {at(800, 100), at(10, 100), at(5000, 5000)}},
       {{984, 33, 476, 600}, {8, 33, 960, 600}, {1468, 33, 476, 600}}},
      {"columns 400 wide stay side by side, narrower ones stack",
       {.layout = "columns",
        .windows = {at(0, 0), at(50, 0), at(830, 0), at(880, 0)},
        .screens = {{{0, 0, 824, 641}, {0, 25, 824, 616}},
                    {{824, 0, 823, 641}, {824, 25, 823, 616}}}},
       {{8, 33, 400, 600}, {416, 33, 400, 600}, {832, 33, 807, 296}, {832, 337, 807, 296}}},
      {"columns no narrower than the widest minimum of the screen's windows",
       {.layout = "columns", .windows = {at(0, 0), at(50, 0, false, 400, 300, 477), at(990, 0)}},
       {{8, 33, 960, 296}, {8, 337, 960, 296}, {984, 33, 960, 600}}},
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
       {.layout = "cascade", .windows = {at(0, 30), at(30, 30), at(60, 30)}, .screens = {kSmall}},
       {{8, 33, 210, 150}, {33, 58, 210, 150}, {58, 83, 210, 150}}},
      {"two screens with one frame are one place to arrange in",
       {.layout = "grid", .windows = {at(0, 30), at(30, 30)}, .screens = {kSmall, kSmall}},
       {{8, 33, 126, 200}, {142, 33, 126, 200}}},
      {"sameSize: the reference's size, shrunk to the screen and kept inside it",
       {.layout = "sameSize",
        .windows = {at(400, 300), at(100, 60, false, 700, 700), at(-50, 10, true), at(1500, 400)},
        .reference = 1},
       {{276, 25, 700, 616}, {100, 25, 700, 616}, {0, 25, 700, 616}, {1252, 25, 700, 616}}},
  };
  for (const auto& [what, desktop, expected] : examples) {
    SCOPED_TRACE(what);
    std::vector<std::size_t> moved;
    EXPECT_EQ(desktop.planned(&moved), expected);
    EXPECT_EQ(moved.size(), expected.size());  // each window once
    EXPECT_EQ(desktop.modelled(), expected);
  }
}

// Screens side by side (some apart), windows anywhere near them, edges often near each other.
Desktop randomDesktop(std::mt19937& rng, bool crowded) {
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution(lo, hi)(rng); };
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  Desktop d{.layout = rawValue(kAllLayoutKinds[pick(5)]), .screens = {}, .mouse = pick(2) == 0};
  double x = uniform(-2000, 0);
  for (int s = pick(3); s >= 0; --s) {
    const Rect f(x, uniform(-100, 100), uniform(200, 900) + !crowded * 1700,
                 uniform(150, 700) + !crowded * 900);
    d.screens.push_back({f, {f.x, f.y + 25, f.width, f.height - 25 - pick(60)}});
    x += f.width + (pick(3) ? 0 : 300);
  }
  for (int i = crowded ? pick(60) : pick(13); i > 0; --i)
    d.windows.push_back({{std::floor(uniform(-2200, x + 200) / 7) * 7, 50.0 * pick(30) - 150,
                          uniform(100, 1500), uniform(100, 1200)},
                         pick(3) == 0,
                         pick(4) ? 0.0 : uniform(200, 1300)});
  d.pointer = {pick(2) ? uniform(-2100, x) : x - 1.5 + pick(4), uniform(-200, 1700)};  // edges
  d.ratio = uniform(0.1, 0.9);
  d.gap = pick(4) ? pick(24) : uniform(0, 400), d.reference = rng() % (d.windows.size() + 1);
  return d;
}

// Also the order (by screen, then placement; sameSize keeps the input order) and, on roomy screens,
// tiles inside and apart.
TEST(Layouts, PlanAsTheModelDoesOnRandomDesktops) {
  std::mt19937 rng(1207);
  for (int i = 0; i < 600; ++i) {
    const bool crowded = i % 3 == 0;
    const Desktop d = randomDesktop(rng, crowded);
    SCOPED_TRACE(::testing::Message() << "desktop " << i << " " << d.layout);
    std::vector<std::size_t> moved, expected;
    const auto frames = d.planned(&moved);
    ASSERT_EQ(frames, d.modelled());
    // Where the engine says the pointer plays no part, a pointer anywhere plans the same.
    Desktop elsewhere = d;
    elsewhere.pointer = {-1e5, 1e5};
    if (!LayoutEngine::needsPointer(*layoutKindFromRaw(d.layout), d.managed(), d.displays(),
                                    d.mode())) {
      EXPECT_EQ(elsewhere.planned(), frames);
    }

    std::vector<std::vector<std::size_t>> on(d.screens.size());
    for (std::size_t w = 0; w < d.windows.size(); ++w)
      on[d.mouse ? model::detail::screenUnder(d.pointer, d.screens)
                 : model::detail::screenHolding(d.windows[w].frame, d.screens, d.pointer)]
          .push_back(w);
    for (std::size_t s = 0; s < on.size(); ++s) {
      const Rect& u = d.screens[s].usable;  // a screen that is all gap arranges nothing
      if (u.width > 2 * d.gap && u.height > 2 * d.gap)
        for (std::size_t w : model::detail::placementOrder(d.windows, on[s])) expected.push_back(w);
    }
    EXPECT_EQ(moved, d.layout == "sameSize" ? moved : expected);  // sameSize: input order

    if (crowded || d.gap > 24 || d.layout == "sameSize") continue;
    for (std::size_t a = 0; a < frames.size(); ++a) {
      EXPECT_TRUE(std::any_of(d.screens.begin(), d.screens.end(), [&](const Screen& s) {
        const Rect area = s.usable.insetBy(d.gap - 1e-6, d.gap - 1e-6), &f = frames[a];
        return f.x >= area.x && f.y >= area.y && f.maxX() <= area.maxX() && f.maxY() <= area.maxY();
      })) << describe(frames[a]);
      for (std::size_t b = 0; b < a && d.layout != "cascade"; ++b)
        EXPECT_FALSE(frames[a].intersection(frames[b]).insetBy(1e-6, 1e-6).width > 0) << a << b;
    }
  }
}

// Ties keep their input order. From 64 windows on, columns lie 300 apart.
TEST(SortForLayout, BrowsersFirstThenColumnsOf20PointsFromTheTop) {
  std::mt19937 rng(5);
  for (std::size_t n : {0, 1, 2, 7, 30, 63, 64, 65, 200, 1000}) {
    std::vector<ManagedWindow> windows;
    std::vector<Window> asModel;
    std::vector<std::size_t> all, actual;
    for (std::size_t i = 0; i < n; ++i) {
      const double x = n < 64 ? rng() % 200 : 300.0 * (rng() % 8) + 20.0 * (rng() % 2);
      asModel.push_back({{x, 50.0 * (rng() % 10), 9, 9}, rng() % 3 == 0});
      windows.emplace_back(i, 1, "", "", "", asModel[i].frame,
                           asModel[i].ai ? Kind::ai : Kind::browser);
      all.push_back(i);
    }
    for (const auto& w : LayoutEngine::sortForLayout(windows)) actual.push_back(w.handle());
    EXPECT_EQ(actual, model::detail::placementOrder(asModel, all)) << n << " windows";
  }
}

}  // namespace
}  // namespace tessaloom
