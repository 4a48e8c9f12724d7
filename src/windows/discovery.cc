#include <algorithm>

#include "catalog/catalog.h"
#include "catalog/text.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {
namespace {

bool counts(const platform::WindowFacts& window, Sizes sizes) {
  if (!window.standard || window.minimized || window.fullScreen) return false;
  if (sizes == Sizes::any) return true;
  // Negated comparisons so that a NaN size never qualifies.
  return window.frame.width >= kMinimumWidth && window.frame.height >= kMinimumHeight;
}

// The applications with an identifier, sorted by name.
std::vector<const platform::AppWindows*> sortedRegular(const platform::DesktopFacts& facts) {
  std::vector<const platform::AppWindows*> apps;
  for (const auto& app : facts.applications)
    if (!app.app.id.empty()) apps.push_back(&app);
  std::stable_sort(apps.begin(), apps.end(), [](const auto* a, const auto* b) {
    return text::compare(a->app.name, b->app.name) < 0;
  });
  return apps;
}

}  // namespace

std::vector<platform::AppFacts> regularApps(const platform::DesktopFacts& facts) {
  std::vector<platform::AppFacts> apps;
  for (const auto* app : sortedRegular(facts)) apps.push_back(app->app);
  return apps;
}

std::vector<ManagedWindow> targetWindows(Context& ctx, const platform::DesktopFacts& facts,
                                         Sizes sizes) {
  std::vector<ManagedWindow> result;
  // Each setting is read once a discovery, the AI-tab switch only when a browser needs it.
  const auto overrides = ctx.settings.overrides();
  std::optional<bool> detectAITabs;
  for (const auto* entry : sortedRegular(facts)) {
    const auto& app = entry->app;
    const std::string name = app.name.empty() ? app.id : app.name;
    const Kind kind = Settings::kind(overrides, app.id, name);
    if (kind == Kind::ignore || !entry->windows) continue;
    for (const auto& window : *entry->windows) {
      if (!counts(window, sizes)) continue;
      Kind windowKind = kind;
      if (kind == Kind::browser) {
        if (!detectAITabs) detectAITabs = ctx.settings.detectAITabs();
        if (*detectAITabs && Catalog::looksLikeAI(window.title)) windowKind = Kind::ai;
      }
      result.emplace_back(window.handle, app.pid, app.id, name, window.title, window.frame,
                          windowKind, window.tiled, window.minimum);
    }
  }
  return result;
}

std::vector<ManagedWindow> targetWindows(Context& ctx, Sizes sizes) {
  return targetWindows(ctx, ctx.desktop.snapshot(), sizes);
}

std::optional<std::int32_t> frontmostPid(const platform::DesktopFacts& facts) {
  for (const auto& app : facts.applications)
    if (app.app.frontmost) return app.app.pid;
  return std::nullopt;
}

std::vector<Display> displays(const std::vector<platform::Screen>& screens) {
  std::vector<Display> result;
  for (const auto& s : screens) result.emplace_back(s.frame, s.usable, s.name);
  return result;
}

}  // namespace tessaloom::WindowManager
