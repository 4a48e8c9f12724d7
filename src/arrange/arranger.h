// The user-level verbs: arrange, the toggling undo, save and restore. Composes discovery, the
// layout engine, frame application and the stored arrangements; keeps no state of its own.
#pragma once

#include <functional>
#include <string_view>

#include "base/records.h"

namespace tessaloom::Arranger {

inline constexpr std::string_view undoKey = "undoLayout";
inline constexpr std::string_view savedKey = "savedLayout";
inline constexpr double kReadyCheckInterval = 0.35;
inline constexpr double kReadyDeadline = 10.0;

/// The number of windows arranged; 0 when nothing was planned (the undo snapshot is kept).
int arrange(LayoutKind kind);
/// Moves the windows back to the undo snapshot; repeating it toggles.
int undo();
bool hasUndo();
/// Saves the frames of every target window; returns how many.
int saveCurrent();
/// Launches saved applications that are not running, waits for their windows, restores, and
/// calls `completion` exactly once with the number of windows moved.
void restoreSaved(std::function<void(int)> completion);
bool hasSaved();

}  // namespace tessaloom::Arranger
