// Everything that reads or writes other applications' windows and the screens: permission,
// discovery, displays, frame application, snapshots and restore plans. Reaches the desktop only
// through the platform seam.
#pragma once

#include <optional>
#include <vector>

#include "base/records.h"
#include "platform/workspace.h"
#include "settings/saved_frame.h"

namespace tessaloom::WindowManager {

inline constexpr double kMessagingTimeout = 1.0;
inline constexpr double kMinimumWidth = 200;
inline constexpr double kMinimumHeight = 150;
inline constexpr double kTolerance = 2.0;
inline constexpr unsigned kSettleMicroseconds = 150000;

bool isTrusted(bool prompt);
void openAccessibilitySettings();

/// Regular applications other than this process that have an identifier, sorted by name.
std::vector<platform::RunningApplication> regularApps();
/// The standard windows of every running application that is not ignored.
std::vector<ManagedWindow> targetWindows();
/// The first window of the frontmost application, else the first window; nothing when empty.
std::optional<ManagedWindow> frontmostWindow(const std::vector<ManagedWindow>& windows);

/// The screens in the global top-left space, primary first.
std::vector<Display> displays();
/// The display under the pointer, else the first; nothing for an empty list.
std::optional<Display> mouseDisplay(const std::vector<Display>& displays);
/// The display holding the largest part of `rect`, else the mouse display.
std::optional<Display> display(const Rect& rect, const std::vector<Display>& displays);

/// Writes every frame, waits once to settle, and corrects each window that ended off target.
void apply(const LayoutPlan& plan);

std::vector<SavedFrame> snapshot(const std::vector<ManagedWindow>& windows);
/// Pairs records with windows: exact identifier and title first, then identifier alone.
LayoutPlan restorePlan(const std::vector<SavedFrame>& records,
                       const std::vector<ManagedWindow>& windows);

}  // namespace tessaloom::WindowManager
