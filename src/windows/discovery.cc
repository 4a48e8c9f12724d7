#include <algorithm>
#include <map>

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
std::vector<AppWindows> sortedRegular(Context& ctx, const platform::DesktopFacts& facts) {
  auto apps = applications(ctx, facts);
  std::erase_if(apps, [](const AppWindows& a) { return a.app.id.empty(); });
  std::stable_sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
    return text::compare(a.app.name, b.app.name) < 0;
  });
  return apps;
}

}  // namespace

std::vector<AppWindows> applications(Context& ctx, const platform::DesktopFacts& facts) {
  std::vector<AppWindows> apps;
  std::map<std::int32_t, std::size_t> byPid;
  auto of = [&](const platform::AppIdentity& identity) -> AppWindows& {
    const std::int32_t pid = ctx.pids.pidFor(identity.id, identity.processId);
    const auto [it, added] = byPid.emplace(pid, apps.size());
    if (added) apps.push_back({{identity.id, identity.name, pid, false}, {}});
    return apps[it->second];
  };
  for (const auto& window : facts.windows) {
    AppWindows& app = of(window.app);
    app.app.frontmost = app.app.frontmost || window.focused;
    if (!window.elsewhere) app.windows.push_back(&window);
  }
  for (const auto& identity : facts.windowless) of(identity);
  return apps;
}

std::vector<platform::AppFacts> regularApps(Context& ctx, const platform::DesktopFacts& facts) {
  std::vector<platform::AppFacts> apps;
  for (auto& app : sortedRegular(ctx, facts)) apps.push_back(std::move(app.app));
  return apps;
}

std::vector<ManagedWindow> targetWindows(Context& ctx, const platform::DesktopFacts& facts,
                                         Sizes sizes) {
  std::vector<ManagedWindow> result;
  // Each setting is read once a discovery, the AI-tab switch only when a browser needs it.
  const auto overrides = ctx.settings.overrides();
  std::optional<bool> detectAITabs;
  for (const auto& entry : sortedRegular(ctx, facts)) {
    const auto& app = entry.app;
    const std::string name = app.name.empty() ? app.id : app.name;
    const Kind kind = Settings::kind(overrides, app.id, name);
    if (kind == Kind::ignore) continue;
    for (const auto* w : entry.windows) {
      const auto& window = *w;
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

std::optional<std::int32_t> frontmostPid(Context& ctx, const platform::DesktopFacts& facts) {
  for (const auto& app : applications(ctx, facts))
    if (app.app.frontmost) return app.app.pid;
  return std::nullopt;
}

std::vector<Display> displays(const std::vector<platform::Screen>& screens) {
  std::vector<Display> result;
  for (const auto& s : screens) result.emplace_back(s.frame, s.usable, s.name);
  return result;
}

}  // namespace tessaloom::WindowManager
