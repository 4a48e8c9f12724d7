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

}  // namespace

std::vector<platform::AppFacts> regularApps(Context& ctx) {
  std::vector<platform::AppFacts> apps;
  for (auto& app : ctx.desktop.applications())
    if (!app.id.empty()) apps.push_back(std::move(app));
  std::stable_sort(apps.begin(), apps.end(),
                   [](const auto& a, const auto& b) { return text::compare(a.name, b.name) < 0; });
  return apps;
}

std::vector<ManagedWindow> targetWindows(Context& ctx, Sizes sizes) {
  std::vector<ManagedWindow> result;
  // Each setting is read once a discovery, the AI-tab switch only when a browser needs it.
  const auto overrides = ctx.settings.overrides();
  std::optional<bool> detectAITabs;
  for (const auto& app : regularApps(ctx)) {
    const std::string name = app.name.empty() ? app.id : app.name;
    const Kind kind = Settings::kind(overrides, app.id, name);
    if (kind == Kind::ignore) continue;
    const auto windows = ctx.desktop.windows(app.pid);
    if (!windows) continue;
    for (const auto& window : *windows) {
      if (!counts(window, sizes)) continue;
      Kind windowKind = kind;
      if (kind == Kind::browser) {
        if (!detectAITabs) detectAITabs = ctx.settings.detectAITabs();
        if (*detectAITabs && Catalog::looksLikeAI(window.title)) windowKind = Kind::ai;
      }
      result.emplace_back(window.handle, app.pid, app.id, name, window.title, window.frame,
                          windowKind, window.tiled);
    }
  }
  return result;
}

std::optional<std::int32_t> frontmostPid(Context& ctx) {
  for (const auto& app : ctx.desktop.applications())
    if (app.frontmost) return app.pid;
  return std::nullopt;
}

std::vector<Display> displays(Context& ctx) {
  std::vector<Display> result;
  for (const auto& s : ctx.desktop.screens()) result.emplace_back(s.frame, s.usable, s.name);
  return result;
}

}  // namespace tessaloom::WindowManager
