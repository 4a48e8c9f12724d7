#include <unordered_set>

#include "catalog/catalog.h"
#include "catalog/text.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {

std::vector<SavedFrame> snapshot(const std::vector<ManagedWindow>& windows) {
  std::vector<SavedFrame> frames;
  frames.reserve(windows.size());
  for (const auto& w : windows) {
    const Rect& f = w.frame();
    frames.push_back({w.appId(), w.title(), f.minX(), f.minY(), f.width, f.height});
  }
  return frames;
}

std::vector<SavedFrame> undoSnapshot(const std::vector<ManagedWindow>& windows) {
  auto frames = snapshot(windows);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i].window = windows[i].handle();
    frames[i].tiled = windows[i].tiled();
  }
  return frames;
}

LayoutPlan restorePlan(const std::vector<SavedFrame>& records,
                       const std::vector<ManagedWindow>& windows) {
  std::vector<const SavedFrame*> remaining;
  remaining.reserve(records.size());
  for (const auto& r : records) remaining.push_back(&r);

  // Takes the first remaining record that `matches`, keeping the others in order.
  auto take = [&remaining](auto matches) -> const SavedFrame* {
    for (auto it = remaining.begin(); it != remaining.end(); ++it) {
      if (matches(**it)) {
        const SavedFrame* found = *it;
        remaining.erase(it);
        return found;
      }
    }
    return nullptr;
  };

  std::unordered_set<WindowHandle> named;
  for (const auto& r : records)
    if (r.window) named.insert(*r.window);
  LayoutPlan plan;
  std::vector<const ManagedWindow*> candidates;
  for (const auto& w : windows) {
    const SavedFrame* record = take([&w](const SavedFrame& r) {
      return r.window == w.handle() && Catalog::sameApp(r.appId, w.appId());
    });
    if (record)
      plan.push_back({w, record->rect(), record->tiled});
    else if (!named.count(w.handle()))
      candidates.push_back(&w);
  }
  // Records whose window is gone fall back to the application and title.
  std::vector<const ManagedWindow*> unmatched;
  for (const ManagedWindow* candidate : candidates) {
    const ManagedWindow& w = *candidate;
    // Stored titles are cut; the window's is compared as it would have been stored.
    const std::string title = boundedText(w.title());
    const SavedFrame* record = take([&w, &title](const SavedFrame& r) {
      return Catalog::sameApp(r.appId, w.appId()) &&
             (text::equal(r.title, w.title()) || text::equal(r.title, title));
    });
    if (record)
      plan.push_back({w, record->rect(), record->tiled});
    else
      unmatched.push_back(&w);
  }
  for (const ManagedWindow* w : unmatched) {
    const SavedFrame* record =
        take([w](const SavedFrame& r) { return Catalog::sameApp(r.appId, w->appId()); });
    if (record) plan.push_back({*w, record->rect(), record->tiled});
  }
  return plan;
}

}  // namespace tessaloom::WindowManager
