// The scene: a simulated desktop described in one JSON document, and its strict reader. Only
// reads and checks the document; the desktop that plays it is SimDesktop.
//
// The names of faults and facts follow the accessibility attributes the format was first
// written against ("AXPosition", "AXSize", "AXTitle", "AXWindows" ...); what each one does to
// the window seam is said below.
//
// Members (all optional unless said otherwise; an unknown member is refused):
//   "trusted": bool (default true). False: control is not available; no window is listed,
//       read or moved.
//   "trustedAt": seconds on the desktop's clock from which control is available.
//   "screens": [{"name": string, "frame": [x, y, w, h], "visible": [x, y, w, h]}], bottom-left
//       convention (y up from the primary screen's bottom), primary first; "frame" required,
//       "visible" (the usable area) defaults to the frame. Read into the top-left space whose
//       origin is the primary screen's top.
//   "mouse": [x, y] (bottom-left convention like the screens; default [0, 0]).
//   "frontmost": pid of the frontmost application; must name one of "apps".
//   "self": pid of this process, never listed (default the smallest pid no application uses).
//   "boxingFails": ["point" and/or "size"]: a placement keeps that part of the frame.
//   "apps": [app], each with a required "pid" (whole number from 1 to 2147483647, unique).
//   "installed": [app without "pid", with a required "bundleID" (its id for launching) and
//       "launchDelay": seconds (default 0) between the launch and the application's appearance].
// An app: "bundleID" (its id), "name" (strings; absent means none), "policy": "regular"
//   (default) | "accessory" | "prohibited" (only regular ones are listed), "windows": [window].
//   "hidden", "enhancedUI" and an app's "failWrite" of older scenes are read and ignored.
// A window: "frame": [x, y, w, h] (required; top-left convention), "title": string (absent: no
//   title), "role" (default "AXWindow") and "subrole" (default "AXStandardWindow"): string, or
//   null for none (standard only with both defaults), "minimized", "fullScreen": bool or null
//   for none (default false), "tiled": bool (default false): held by a tiling layout; a
//   placement floats it, and one that tiles puts it back, at the placed frame.
// Faults of an app:
//   "unresponsive": true   its windows cannot be listed (after the clock has moved on by the
//                          answer timeout), read or moved;
//   "failWindows": true    its windows cannot be listed (same as "failRead": ["AXWindows"]);
//   "failRead": [attr]     "AXWindows": as "failWindows"; others have no effect;
//   "windowsValue": "elements" (default) | "string" | "withNull": the last two make its
//                          window list unreadable.
// Faults of a window:
//   "failRead": [attr]     "AXPosition" or "AXSize": the window is not listed and has no frame;
//                          "AXTitle": no title; "AXRole", "AXSubrole": not standard;
//                          "AXMinimized", "AXFullScreen": false; "AXMinimumSize": its
//                          minSize is kept but not told;
//   "failWrite": [attr]    "AXPosition" or "AXSize": a placement keeps that part of the frame;
//   "ignoresWrites": true  placements change nothing;
//   "minSize": [w, h]      placed sizes are clamped up to it;
//   "vanishes": true       the window is gone at its first placement;
//   "writeDelay": seconds  a placement takes effect only that long after it;
//   "floatAnswer": seconds a placement that floats it out of the tiling layout gives it the
//                          size asked for, and its minSize only that long after (the desktop
//                          says so for SimDesktop::kFloatWatch after any such placement);
//   "positionValue", "sizeValue": "point"/"size" (default) | "number": as failRead of
//                          "AXPosition" / "AXSize".
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/geometry.h"
#include "base/result.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

enum class AppPolicy { regular, accessory, prohibited };
enum class ValueShape { boxed, number };
enum class WindowsShape { elements, string, withNull };

struct SceneWindow {
  std::optional<std::string> title;
  Rect frame;  // top-left convention
  std::optional<std::string> role = std::string("AXWindow");
  std::optional<std::string> subrole = std::string("AXStandardWindow");
  std::optional<bool> minimized = false;
  std::optional<bool> fullScreen = false;
  bool tiled = false;
  std::set<std::string, std::less<>> failRead;
  std::set<std::string, std::less<>> failWrite;
  bool ignoresWrites = false;
  std::optional<Size> minSize;
  bool vanishes = false;
  double writeDelay = 0;
  double floatAnswer = 0;
  ValueShape positionValue = ValueShape::boxed;
  ValueShape sizeValue = ValueShape::boxed;
};

struct SceneApp {
  std::int32_t pid = 0;  // 0 for an installed application that has not been launched
  std::optional<std::string> bundleID;
  std::optional<std::string> name;
  AppPolicy policy = AppPolicy::regular;
  std::vector<SceneWindow> windows;
  bool unresponsive = false;
  std::set<std::string, std::less<>> failRead;
  WindowsShape windowsValue = WindowsShape::elements;
};

struct SceneInstalled {
  SceneApp app;  // bundleID always present
  double launchDelay = 0;
};

struct Scene {
  bool trusted = true;
  std::optional<double> trustedAt;
  std::vector<Screen> screens;  // top-left space
  Point mouse;                  // top-left space
  std::optional<std::int32_t> frontmost;
  std::int32_t self = 1;
  bool pointBoxingFails = false;
  bool sizeBoxingFails = false;
  std::vector<SceneApp> apps;
  std::vector<SceneInstalled> installed;
  /// The document as read, member order kept, for writing the scene back.
  nlohmann::ordered_json document;
};

/// The scene in `text`; the failure ("<name>: <where> <problem>") when the text is not JSON or
/// does not describe a scene. `name` is the file named in the error.
Result<Scene> readScene(std::string_view text, std::string_view name);

/// A frame as written back: whole numbers as integers, everything else as it is.
nlohmann::ordered_json frameJson(const Rect& frame);

}  // namespace tessaloom::platform
