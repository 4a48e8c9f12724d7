// The routine shared by undo and restore: moves windows back to a stored set of frames.
#pragma once

#include <string_view>
#include <vector>

#include "settings/saved_frame.h"
#include "windows/context.h"

namespace tessaloom::Arranger {

/// Matches the records under `key` to the current windows (whatever their size), stores the
/// current frames as the undo snapshot when anything matched, applies, and returns the number
/// of windows moved.
int restore(Context& ctx, std::string_view key);
/// The same for `records` held elsewhere.
int restore(Context& ctx, const std::vector<SavedFrame>& records);

}  // namespace tessaloom::Arranger
