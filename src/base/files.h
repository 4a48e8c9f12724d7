// The user's folders and safe file replacement, shared by every part that reads or writes a
// file of the user's (settings, autostart entry, scene files).
#pragma once

#include <filesystem>
#include <string_view>

#include "base/result.h"

namespace tessaloom::files {

/// $HOME, else the password database's entry; empty when neither is known.
std::filesystem::path homeFolder();
/// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty when no home is known.
std::filesystem::path configFolder();

/// Replaces the file at `path` with `contents` so that a reader sees the old or the new file,
/// never a mix, and the new one survives a crash: a private temporary file in the same folder,
/// written, flushed to disk, renamed over the target, then the folder flushed too. A symbolic
/// link at `path` is followed: its target is replaced and the link stays. `mode` is the new
/// file's permission bits (an existing file keeps its own).
Outcome replaceFile(const std::filesystem::path& path, std::string_view contents,
                    unsigned mode = 0644);

}  // namespace tessaloom::files
