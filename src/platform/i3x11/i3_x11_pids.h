// The process ids of X11 windows, which i3's tree does not carry (sway's does): read from the
// windows' _NET_WM_PID on the X server the windows live on.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessaloom::platform::i3x11 {

/// The _NET_WM_PID of each of `windows` on `display` (DISPLAY when empty) that has one, read
/// in one round trip; empty when no X server answers in time.
std::map<std::uint32_t, std::uint32_t> x11ProcessIds(const std::vector<std::uint32_t>& windows,
                                                     const std::string& display = {});

}  // namespace tessaloom::platform::i3x11
