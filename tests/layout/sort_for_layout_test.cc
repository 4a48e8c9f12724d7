#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layout/layout_engine.h"
#include "layout_test_support.h"

namespace tessaloom {
namespace {

using testing_support::numbered;
using testing_support::titles;
using testing_support::window;

using Titles = std::vector<std::string>;

const Kind B = Kind::browser;
const Kind A = Kind::ai;
const Kind I = Kind::ignore;

// A window at (x, y) of ordinary size.
ManagedWindow at(std::string title, Kind kind, double x, double y) {
  return window(std::move(title), kind, Rect(x, y, 800, 600));
}

struct SortCase {
  const char* what;
  std::vector<ManagedWindow> input;
  Titles expected;
  friend void PrintTo(const SortCase& c, std::ostream* os) { *os << c.what; }
};

class SortExample : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortExample, GivesThisOrder) {
  const SortCase& c = GetParam();
  SCOPED_TRACE(c.what);
  EXPECT_EQ(titles(LayoutEngine::sortForLayout(c.input)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    PlacementOrder, SortExample,
    ::testing::Values(SortCase{"no windows", {}, {}},
                      SortCase{"one window", {at("a", B, 5, 5)}, {"a"}},
                      SortCase{"left edges 15 apart form one column, ordered top down",
                               {at("low", B, 100, 300), at("high", B, 115, 50)},
                               {"high", "low"}},
                      SortCase{"left edges 21 apart are two columns, ordered left to right",
                               {at("low", B, 100, 300), at("high", B, 121, 50)},
                               {"low", "high"}},
                      SortCase{"left edges exactly 20 apart still form one column",
                               {at("low", B, 100, 300), at("high", B, 120, 50)},
                               {"high", "low"}},
                      SortCase{"browsers precede AI windows wherever they are",
                               {at("chat", A, 0, 0), at("web", B, 3000, 2000),
                                at("chat2", A, -500, 0), at("web2", B, 2000, 2000)},
                               {"web2", "web", "chat2", "chat"}},
                      SortCase{"a chain of near columns, given left first",
                               {at("a", B, 0, 100), at("b", B, 15, 50), at("c", B, 30, 0)},
                               {"b", "a", "c"}},
                      SortCase{
                          "edges are read from the standardised frame",
                          {at("plain", B, 100, 0), window("flipped", B, Rect(300, 0, -250, 100))},
                          {"flipped", "plain"}},
                      SortCase{"a desktop of two columns with small offsets",
                               {at("r2", B, 962, 310), at("l1", B, 4, 0), at("r1", B, 950, 12),
                                at("l3", B, 0, 640), at("l2", B, 12, 300), at("chat", A, 500, 0)},
                               {"l1", "l2", "l3", "r1", "r2", "chat"}}));

// The placement procedure written out plainly, as the oracle for large groups.
bool goesBefore(const ManagedWindow& a, const ManagedWindow& b) {
  if (a.kind() != b.kind()) return a.kind() == Kind::browser;
  if (std::fabs(a.frame().minX() - b.frame().minX()) > 20)
    return a.frame().minX() < b.frame().minX();
  return a.frame().minY() < b.frame().minY();
}

Titles insertionOrder(std::vector<ManagedWindow> windows) {
  for (std::size_t i = 1; i < windows.size(); ++i)
    for (std::size_t j = i; j > 0 && goesBefore(windows[j], windows[j - 1]); --j)
      std::swap(windows[j], windows[j - 1]);
  return titles(windows);
}

// Windows in columns at multiples of 300 with whole tops, so the comparison is consistent:
// columns never come within 20 points, and equal positions are true ties.
std::vector<ManagedWindow> consistentWindows(std::size_t n, unsigned seed, bool withIgnore) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> column(0, 7), top(0, 9), kind(0, withIgnore ? 2 : 1);
  std::vector<ManagedWindow> out;
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(
        at(numbered("w", i), kAllKinds[kind(rng)], 300.0 * column(rng), 100.0 * top(rng)));
  return out;
}

// Windows whose left edges lie close together, so chains of near columns abound.
std::vector<ManagedWindow> tangledWindows(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> x(0, 200), y(0, 1000);
  std::uniform_int_distribution<int> kind(0, 2);
  std::vector<ManagedWindow> out;
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(at(numbered("w", i), kAllKinds[kind(rng)], x(rng), y(rng)));
  return out;
}

TEST(SortForLayout, SmallGroupsFollowTheInsertionProcedureExactly) {
  for (std::size_t n = 2; n < 64; n += 3) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
      const auto windows = tangledWindows(n, seed);
      EXPECT_EQ(titles(LayoutEngine::sortForLayout(windows)), insertionOrder(windows))
          << "n " << n << " seed " << seed;
    }
  }
}

// From 64 windows on, another stable sort takes over; where the comparison is consistent it
// must agree with the insertion order (which is then the stable sorted order).
TEST(SortForLayout, LargeGroupsAgreeWithTheInsertionOrderWhenConsistent) {
  for (std::size_t n : {64u, 65u, 100u, 127u, 128u, 129u, 300u, 1000u}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      for (bool withIgnore : {false, true}) {
        const auto windows = consistentWindows(n, seed, withIgnore);
        EXPECT_EQ(titles(LayoutEngine::sortForLayout(windows)), insertionOrder(windows))
            << "n " << n << " seed " << seed << " ignore " << withIgnore;
      }
    }
  }
}

// With near columns everywhere the comparison is not transitive; the result must still hold
// every window once, browsers first.
TEST(SortForLayout, LargeTangledGroupsArePermutationsWithBrowsersFirst) {
  for (std::size_t n : {64u, 200u, 1000u, 4096u}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(::testing::Message() << "n " << n << " seed " << seed);
      const auto windows = tangledWindows(n, seed);
      const auto sorted = LayoutEngine::sortForLayout(windows);
      ASSERT_EQ(sorted.size(), windows.size());

      Titles in = titles(windows), out = titles(sorted);
      std::sort(in.begin(), in.end());
      std::sort(out.begin(), out.end());
      EXPECT_EQ(in, out) << "a permutation";

      const auto firstOther =
          std::find_if(sorted.begin(), sorted.end(), [](auto& w) { return w.kind() != B; });
      EXPECT_TRUE(std::none_of(firstOther, sorted.end(), [](auto& w) { return w.kind() == B; }));
    }
  }
}

// Each window is checked to stay in place against every window of the other non-browser kind.
TEST(SortForLayout, AIAndIgnoredWindowsNeverPassEachOther) {
  for (std::size_t n : {10u, 63u, 64u, 500u}) {
    const auto windows = tangledWindows(n, 7);
    std::map<std::string, std::size_t> before, after;
    for (std::size_t i = 0; i < windows.size(); ++i) before[windows[i].title()] = i;
    const auto sorted = LayoutEngine::sortForLayout(windows);
    for (std::size_t i = 0; i < sorted.size(); ++i) after[sorted[i].title()] = i;
    for (const auto& a : windows) {
      for (const auto& b : windows) {
        if (a.kind() != A || b.kind() != I) continue;
        EXPECT_EQ(before[a.title()] < before[b.title()], after[a.title()] < after[b.title()])
            << a.title() << " " << b.title() << " n " << n;
      }
    }
  }
}

TEST(SortForLayout, KeepsEveryFieldOfTheWindows) {
  std::vector<ManagedWindow> windows;
  for (int i = 0; i < 70; ++i)
    windows.emplace_back(5000 + i, 1000 + i, numbered("org.example.", i), "App", numbered("w", i),
                         Rect(1000.0 - 10 * i, 0, 800, 600), B);
  const auto sorted = LayoutEngine::sortForLayout(windows);
  ASSERT_EQ(sorted.size(), 70u);
  for (const auto& w : sorted) {
    const int i = w.pid() - 1000;
    EXPECT_EQ(w.title(), numbered("w", i));
    EXPECT_EQ(w.appId(), numbered("org.example.", i));
    EXPECT_EQ(w.frame().x, 1000.0 - 10 * i);
    EXPECT_EQ(w.handle(), 5000u + i);
  }
}

}  // namespace
}  // namespace tessaloom
