#include "catalog/text.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {

std::vector<SavedFrame> snapshot(const std::vector<ManagedWindow>& windows) {
  std::vector<SavedFrame> frames;
  frames.reserve(windows.size());
  for (const auto& w : windows) {
    const Rect& f = w.frame();
    frames.push_back({w.bundleID(), w.title(), f.minX(), f.minY(), f.width, f.height});
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

  LayoutPlan plan;
  std::vector<const ManagedWindow*> unmatched;
  for (const auto& w : windows) {
    const SavedFrame* record = take([&w](const SavedFrame& r) {
      return text::equal(r.bundleID, w.bundleID()) && text::equal(r.title, w.title());
    });
    if (record)
      plan.push_back({w, record->rect()});
    else
      unmatched.push_back(&w);
  }
  for (const ManagedWindow* w : unmatched) {
    const SavedFrame* record =
        take([w](const SavedFrame& r) { return text::equal(r.bundleID, w->bundleID()); });
    if (record) plan.push_back({*w, record->rect()});
  }
  return plan;
}

}  // namespace tessaloom::WindowManager
