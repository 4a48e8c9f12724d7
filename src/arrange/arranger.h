// The user-level verbs: arrange, the toggling undo, save and restore. Composes discovery, the
// layout engine, frame application and the stored arrangements; keeps no state of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/records.h"
#include "base/result.h"
#include "settings/named_arrangement.h"
#include "windows/context.h"

namespace tessaloom::Arranger {

inline constexpr std::string_view undoKey = "undoLayout";
inline constexpr std::string_view savedKey = "savedLayout";
inline constexpr double kReadyCheckInterval = 0.35;
inline constexpr double kReadyDeadline = 10.0;
/// How long the windows of applications a restore started are kept at their places: a browser
/// restoring its own session moves them a second or two after they show.
inline constexpr double kLaunchedWatch = 3.0;

/// The number of windows arranged; 0 when nothing was planned (the undo snapshot is kept).
/// `mode` replaces the stored display mode for this one arrangement.
int arrange(Context& ctx, LayoutKind kind, std::optional<DisplayMode> mode = std::nullopt);
/// Moves the windows back to the undo snapshot; repeating it toggles.
int undo(Context& ctx);
bool hasUndo(Context& ctx);
/// Saves the frames of every target window; returns how many, or why they were not stored.
Result<int> saveCurrent(Context& ctx);
/// Launches saved applications that are not running, waits for their windows, restores, puts
/// back those of the launched applications that move away within kLaunchedWatch, and calls
/// `completion` exactly once with the number of windows moved. `ctx` must outlive the wait.
void restoreSaved(Context& ctx, std::function<void(int)> completion);

/// Saves the frames of every target window under `name`, with the monitors they were saved on
/// and `savedAt` (seconds since the epoch), replacing the arrangement of that name; returns how
/// many windows, or why nothing was saved (not a name, or no room left).
Result<int> saveNamed(Context& ctx, std::string_view name, double savedAt);
/// As restoreSaved for the arrangement named `name`; false, with `completion` never called,
/// when there is none.
bool restoreNamed(Context& ctx, std::string_view name, std::function<void(int)> completion);
/// Removes the arrangement named `name`; false when there is none or it could not be removed.
bool forgetNamed(Context& ctx, std::string_view name);
/// The monitors as an arrangement remembers them.
std::vector<MonitorFacts> currentMonitors(Context& ctx);
/// The name of the arrangement saved most recently on exactly `monitors` (see sameMonitors);
/// nothing when none was.
std::optional<std::string> namedFor(Context& ctx, const std::vector<MonitorFacts>& monitors);
bool hasSaved(Context& ctx);

}  // namespace tessaloom::Arranger
