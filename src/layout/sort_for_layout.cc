#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "layout/layout_engine.h"

namespace tessaloom::LayoutEngine {
namespace {

// Left edges at most this far apart put two windows in one column.
constexpr double kColumnTolerance = 20;
// Groups below this size are ordered by insertion sort; that procedure defines the order.
constexpr std::size_t kInsertionSortLimit = 64;
// Run length sorted by insertion before merging in large groups.
constexpr std::size_t kRunLength = 16;

struct SortKey {
  Kind kind;
  double minX;
  double minY;
  std::size_t index;  // position in the input
};

// Whether a goes before b, for two windows of one kind: by left edge, or by top edge within a
// column.
bool sameKindGoesBefore(const SortKey& a, const SortKey& b) {
  if (std::fabs(a.minX - b.minX) > kColumnTolerance) return a.minX < b.minX;
  return a.minY < b.minY;
}

// Whether a goes before b. Not a strict weak ordering (the column tolerance is not
// transitive, and ai and ignore windows are incomparable), so it is only ever asked about
// pairs by the sorts below, never handed to std::sort or std::stable_sort.
bool goesBefore(const SortKey& a, const SortKey& b) {
  if (a.kind != b.kind) return a.kind == Kind::browser;
  return sameKindGoesBefore(a, b);
}

// Moves each next key towards the front while it goes before its left neighbour (held aside
// and the neighbours shifted, which is the same as swapping it step by step).
template <class Before>
void insertionSort(SortKey* first, SortKey* last, Before before) {
  for (SortKey* it = first; it != last; ++it) {
    SortKey* p = it;
    if (p == first || !before(*p, p[-1])) continue;
    const SortKey moving = *p;
    do {
      *p = p[-1];
      --p;
    } while (p != first && before(moving, p[-1]));
    *p = moving;
  }
}

// Stable bottom-up merge sort over [first, first + n), all of one kind: runs sorted by
// insertion, then merged pairwise. A right element is taken first only when it goes before the
// left one, so equal keys keep their order; every index stays in bounds whatever the
// comparison answers.
void mergeSort(SortKey* first, std::size_t n, std::vector<SortKey>& buffer) {
  for (std::size_t lo = 0; lo < n; lo += kRunLength)
    insertionSort(first + lo, first + std::min(lo + kRunLength, n),
                  [](const SortKey& a, const SortKey& b) { return sameKindGoesBefore(a, b); });
  buffer.resize(n);
  SortKey* from = first;
  SortKey* to = buffer.data();
  for (std::size_t width = kRunLength; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, n);
      const std::size_t hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi)
        to[k++] = sameKindGoesBefore(from[j], from[i]) ? from[j++] : from[i++];
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    std::swap(from, to);
  }
  if (from != first) std::copy(from, from + n, first);
}

// Large groups: browsers first (they go before every other kind), then each maximal run of one
// kind is merge-sorted on its own. Windows of different kinds after the browsers never go
// before each other, so no window crosses into another run; this keeps the guarantees of the
// insertion order (browsers first, ai and ignore windows never reordered against each other).
void sortLarge(std::vector<SortKey>& keys) {
  std::vector<SortKey> buffer;
  buffer.reserve(keys.size());
  for (const SortKey& k : keys)
    if (k.kind == Kind::browser) buffer.push_back(k);
  for (const SortKey& k : keys)
    if (k.kind != Kind::browser) buffer.push_back(k);
  keys.swap(buffer);
  for (std::size_t lo = 0; lo < keys.size();) {
    std::size_t hi = lo + 1;
    while (hi < keys.size() && keys[hi].kind == keys[lo].kind) ++hi;
    mergeSort(keys.data() + lo, hi - lo, buffer);
    lo = hi;
  }
}

// Puts windows[keys[i].index] at position i, following each cycle of the permutation, so the
// windows are moved within their own list and no second list is made.
void applyOrder(std::vector<ManagedWindow>& windows, const std::vector<SortKey>& keys) {
  std::vector<bool> placed(windows.size(), false);
  for (std::size_t start = 0; start < windows.size(); ++start) {
    if (placed[start]) continue;
    ManagedWindow held = std::move(windows[start]);
    std::size_t to = start;
    for (std::size_t from = keys[to].index; from != start; from = keys[to].index) {
      windows[to] = std::move(windows[from]);
      placed[to] = true;
      to = from;
    }
    windows[to] = std::move(held);
    placed[to] = true;
  }
}

}  // namespace

std::vector<ManagedWindow> sortForLayout(std::vector<ManagedWindow> windows) {
  // Keys are sorted instead of the windows, which are moved into place at the end.
  std::vector<SortKey> keys;
  keys.reserve(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const Rect& f = windows[i].frame();
    keys.push_back({windows[i].kind(), f.minX(), f.minY(), i});
  }
  if (keys.size() < kInsertionSortLimit)
    insertionSort(keys.data(), keys.data() + keys.size(),
                  [](const SortKey& a, const SortKey& b) { return goesBefore(a, b); });
  else
    sortLarge(keys);

  applyOrder(windows, keys);
  return windows;
}

}  // namespace tessaloom::LayoutEngine
