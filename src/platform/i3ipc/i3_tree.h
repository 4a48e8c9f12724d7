// What sway's and i3's replies say, as plain values: the windows of the layout tree on the
// visible workspaces with their outer frames, and the outputs with their usable areas. Pure
// code over parsed JSON; every rectangle here is in the compositor's own space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "base/geometry.h"
#include "platform/window_system.h"

namespace tessaloom::platform::i3ipc {

/// Where the frame of a window is read from differs: sway's `rect` leaves the title bar out
/// (`deco_rect` holds its height), i3's `rect` is the whole frame.
enum class Flavour { sway, i3 };

struct TreeWindow {
  std::uint64_t con = 0;  // the container's id, the handle of the window
  std::string appId;      // a native Wayland window's app id; empty for X11 windows
  std::string instance;   // WM_CLASS instance and class of an X11 window
  std::string wmClass;
  std::string title;
  std::uint32_t pid = 0;        // 0 when the reply has none (i3)
  std::uint32_t x11Window = 0;  // the X window of an X11 client; 0 for a native one
  Rect frame;
  bool standard = true;
  bool fullScreen = false;
  bool floating = false;
  bool focused = false;
  bool hidden = false;  // on a workspace no output shows
  friend bool operator==(const TreeWindow&, const TreeWindow&) = default;
};

/// How deep a reply's JSON may nest: about 120 containers inside each other, far beyond what a
/// screen can show, and shallow enough for the walks below to recurse.
inline constexpr std::size_t kMaxDepth = 256;

/// The JSON of a reply's payload; nothing, with `why` saying so, when it nests deeper than
/// kMaxDepth or is not JSON.
std::optional<nlohmann::json> readReply(std::string_view payload, std::string& why);

/// The ids of the workspaces shown on some output, from a GET_WORKSPACES reply.
std::set<std::uint64_t> visibleWorkspaces(const nlohmann::json& workspaces);

/// The application windows of a GET_TREE reply, in tree order (tiled before floating on each
/// workspace), those on workspaces not in `visible` marked hidden (none without `visible`).
/// Scratchpad windows and dock areas (bars) are left out. A window without a container id is
/// skipped; nothing when the tree itself is malformed (no root object, child lists that are no
/// lists of objects).
std::optional<std::vector<TreeWindow>> treeWindows(const nlohmann::json& tree, Flavour flavour,
                                                   const std::set<std::uint64_t>* visible);

/// The outputs in use, the primary one first (the one flagged primary, else the first in the
/// reply), each with the rectangle of its visible workspace as the usable area (bars excluded).
std::vector<Screen> outputScreens(const nlohmann::json& outputs, const nlohmann::json& workspaces);

/// The centre of the output that holds the focused workspace; nothing when none has it.
std::optional<Point> focusedOutputCentre(const nlohmann::json& outputs,
                                         const nlohmann::json& workspaces);

/// Whether a GET_VERSION reply comes from sway.
bool isSway(const nlohmann::json& version);

/// Whether every command of a RUN_COMMAND reply succeeded.
bool commandsSucceeded(const nlohmann::json& reply);

}  // namespace tessaloom::platform::i3ipc
