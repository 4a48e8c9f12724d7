// Everything that reads or moves other applications' windows: which applications and windows
// count, the displays, frame application with its one correction pass, snapshots and restore
// plans. Reaches the desktop only through the context's window system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/records.h"
#include "platform/window_system.h"
#include "settings/saved_frame.h"
#include "windows/context.h"

namespace tessaloom::WindowManager {

inline constexpr double kMinimumWidth = 200;
inline constexpr double kMinimumHeight = 150;
inline constexpr double kTolerance = 2.0;
inline constexpr double kSettleSeconds = 0.15;
/// How often windows that may still resize themselves are looked at again.
inline constexpr double kWatchStep = 0.1;

/// One application of a look at the desktop and its windows on the current workspace.
struct AppWindows {
  platform::AppFacts app;
  std::vector<const platform::WindowFacts*> windows;
};
/// The windows of a look gathered into applications, one per identity and process, in the
/// order of their first windows (those on other workspaces too), the windowless ones last.
std::vector<AppWindows> applications(Context& ctx, const platform::DesktopFacts& facts);

/// Applications with an identifier, sorted by name.
std::vector<platform::AppFacts> regularApps(Context& ctx, const platform::DesktopFacts& facts);

/// Which windows discovery keeps: those of at least the minimum size (what layouts arrange),
/// or every standard one (what a restore may have to put back, whatever its size now).
enum class Sizes { atLeastMinimum, any };
/// The standard, visible windows of every shown application that is not ignored.
std::vector<ManagedWindow> targetWindows(Context& ctx, const platform::DesktopFacts& facts,
                                         Sizes sizes = Sizes::atLeastMinimum);
/// The same from a look of its own at the desktop.
std::vector<ManagedWindow> targetWindows(Context& ctx, Sizes sizes = Sizes::atLeastMinimum);
/// The pid of the application that owns the focused window, if any.
std::optional<std::int32_t> frontmostPid(Context& ctx, const platform::DesktopFacts& facts);

/// The screens as displays, primary first.
std::vector<Display> displays(const std::vector<platform::Screen>& screens);

/// A plan for the same windows, revised once the first batch has shown where they went (the
/// frames read back, in plan order; none for a window that is gone).
using Revision =
    std::function<LayoutPlan(const LayoutPlan& sent, const std::vector<std::optional<Rect>>&)>;

/// Places every window at its whole-number target in one batch, waits once to settle, reads
/// the frames back once and places each window that ended more than kTolerance off its target
/// (in the plan `revise` gives, when given) again, in one more batch. While the desktop says
/// clients may still resize themselves, looks again every kWatchStep and places those that moved
/// away. `meanwhile` runs right after the first batch is sent, within the wait.
void apply(Context& ctx, const LayoutPlan& plan, const std::function<void()>& meanwhile = {},
           const Revision& revise = {});

/// Places again, in one batch, each window of `plan` that stands more than kTolerance off its
/// whole-number target (not those put back into tiling).
void correct(Context& ctx, const LayoutPlan& plan);

/// The least size a window showed by ending at its target position but larger than its target
/// size, and not at the size it had before (which may only mean it has not resized yet); zero
/// in each dimension it took.
Size refusedSize(const Rect& before, const Rect& target, const Rect& after);

/// Each window's application, title and frame as listed, to be saved.
std::vector<SavedFrame> snapshot(const std::vector<ManagedWindow>& windows);
/// The same with each window's handle and tiled state, so that undo puts back exactly these
/// windows, and into tiling those that were tiled.
std::vector<SavedFrame> undoSnapshot(const std::vector<ManagedWindow>& windows);
/// Pairs records with windows, each record used once: a record that names a listed window of
/// its application takes that window; the others, same application and exact title first, then
/// application alone, among the windows that no record names.
LayoutPlan restorePlan(const std::vector<SavedFrame>& records,
                       const std::vector<ManagedWindow>& windows);

}  // namespace tessaloom::WindowManager
