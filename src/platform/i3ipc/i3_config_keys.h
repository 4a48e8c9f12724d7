// The key chords a sway configuration binds in its default mode: read from the text sway
// reports (GET_CONFIG, the main file only) and from the files its `include` lines name, so
// that the tray leaves the user's own keys alone. Reads files; no IPC here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/chord.h"

namespace tessaloom::platform::i3ipc {

/// The chords (a letter with Control, Alt, Shift and Super) that the `bindsym` lines of
/// `config` bind outside `mode` blocks, with its `set` variables replaced, following
/// `include` patterns as sway expands them (relative ones from `folder`). Lines it cannot read
/// bind nothing.
std::vector<Chord> configuredChords(std::string_view config, const std::string& folder);

/// The folder of the configuration file sway reads when none is named: the first of
/// ~/.sway, $XDG_CONFIG_HOME/sway, ~/.i3, $XDG_CONFIG_HOME/i3, /etc/sway and /etc/i3 that holds
/// a `config`; empty when none does.
std::string defaultConfigFolder();

}  // namespace tessaloom::platform::i3ipc
