#include <algorithm>

#include "catalog/catalog.h"
#include "catalog/text.h"
#include "platform/accessibility.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "windows/ax.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {

std::vector<platform::RunningApplication> regularApps() {
  auto& workspace = *platform::services().workspace;
  const auto self = workspace.currentProcessIdentifier();
  std::vector<platform::RunningApplication> apps;
  for (auto& app : workspace.runningApplications()) {
    if (app.activationPolicy == platform::ActivationPolicy::regular && app.pid != self &&
        app.bundleIdentifier)
      apps.push_back(std::move(app));
  }
  std::stable_sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
    return text::compare(a.localizedName.value_or(""), b.localizedName.value_or("")) < 0;
  });
  return apps;
}

namespace {

bool isTargetWindow(const platform::ElementRef& window, Rect& frame) {
  if (AX::stringValue(window, "AXRole") != "AXWindow") return false;
  if (AX::stringValue(window, "AXSubrole") != "AXStandardWindow") return false;
  if (AX::boolValue(window, "AXMinimized") == true) return false;
  if (AX::boolValue(window, "AXFullScreen") == true) return false;
  auto read = AX::frame(window);
  if (!read) return false;
  // Negated comparisons so that a NaN size never qualifies.
  if (!(read->width >= kMinimumWidth) || !(read->height >= kMinimumHeight)) return false;
  frame = *read;
  return true;
}

}  // namespace

std::vector<ManagedWindow> targetWindows() {
  Settings& settings = Settings::shared();
  auto& ax = *platform::services().accessibility;
  std::vector<ManagedWindow> result;
  // Each setting is read once a discovery, the AI-tab switch only when a browser needs it.
  const auto overrides = settings.overrides();
  std::optional<bool> detectAITabs;
  for (const auto& app : regularApps()) {
    if (app.hidden) continue;
    const std::string bundleID = app.bundleIdentifier.value_or("");
    const std::string name = app.localizedName.value_or(bundleID);
    const Kind kind = Settings::kind(overrides, bundleID, name);
    if (kind == Kind::ignore) continue;
    auto element = ax.createApplication(app.pid);
    ax.setMessagingTimeout(element, static_cast<float>(kMessagingTimeout));
    auto windows = AX::elementsValue(element, "AXWindows");
    if (!windows) continue;
    for (const auto& window : *windows) {
      Rect frame;
      if (!isTargetWindow(window, frame)) continue;
      std::string title = AX::stringValue(window, "AXTitle").value_or("");
      Kind windowKind = kind;
      if (kind == Kind::browser) {
        if (!detectAITabs) detectAITabs = settings.detectAITabs();
        if (*detectAITabs && Catalog::looksLikeAI(title)) windowKind = Kind::ai;
      }
      result.emplace_back(window, app.pid, bundleID, name, std::move(title), frame, windowKind);
    }
  }
  return result;
}

std::optional<ManagedWindow> frontmostWindow(const std::vector<ManagedWindow>& windows) {
  if (windows.empty()) return std::nullopt;
  if (auto front = platform::services().workspace->frontmostApplication()) {
    for (const auto& w : windows)
      if (w.pid() == front->pid) return w;
  }
  return windows.front();
}

}  // namespace tessaloom::WindowManager
