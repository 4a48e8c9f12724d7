// The scene: a simulated desktop described in one JSON document, and its strict reader. Only
// reads and checks the document; the desktop that plays it is SimDesktop.
//
// Members (all optional unless said otherwise; an unknown member is refused):
//   "trusted": bool (default true). False: every trust check fails, every attribute read and
//       write fails with apiDisabled.
//   "trustedAt": seconds on the desktop's clock from which the process counts as trusted.
//   "screens": [{"name": string, "frame": [x, y, w, h], "visible": [x, y, w, h]}], bottom-left
//       convention, primary first; "frame" required, "visible" defaults to the frame.
//   "mouse": [x, y] (bottom-left convention; default [0, 0]).
//   "frontmost": pid of the frontmost application; must name one of "apps".
//   "self": pid of this process (default the smallest pid no application uses).
//   "boxingFails": ["point" and/or "size"]: boxing such values (createValue) fails.
//   "apps": [app], each with a required "pid" (whole number from 1 to 2147483647, unique).
//   "installed": [app without "pid", with a required "bundleID" and "launchDelay": seconds
//       (default 0) between the open request and the application's appearance].
// An app: "bundleID", "name" (strings; absent means none), "policy": "regular" (default) |
//   "accessory" | "prohibited", "hidden": bool, "enhancedUI": bool (the
//   "AXEnhancedUserInterface" attribute; absent means the attribute is unsupported),
//   "windows": [window].
// A window: "frame": [x, y, w, h] (required; top-left convention), "title": string (absent: no
//   "AXTitle"), "role" (default "AXWindow") and "subrole" (default "AXStandardWindow"): string,
//   or null for none, "minimized", "fullScreen": bool or null for none (default false).
// Faults of an app:
//   "unresponsive": true   every read and write of the app or its windows fails with
//                          cannotComplete after the clock has moved on by the messaging timeout:
//                          the one set on the application element asked, for a window the one
//                          last set on any element of its application; else 6 s;
//   "failWindows": true    the "AXWindows" read fails (same as "failRead": ["AXWindows"]);
//   "failRead": [attr]     these reads of the application element fail with `failure`;
//   "failWrite": [attr]    these writes of the application element fail with `failure` and
//                          change nothing (e.g. "AXEnhancedUserInterface");
//   "windowsValue": "elements" (default) | "string" (the "AXWindows" value is a string) |
//                          "withNull" (the array carries a null member after the windows).
// Faults of a window:
//   "failRead": [attr]     these reads fail with `failure`;
//   "failWrite": [attr]    these writes fail with `failure` and change nothing;
//   "ignoresWrites": true  position and size writes succeed but change nothing;
//   "minSize": [w, h]      size writes are clamped up to it;
//   "vanishes": true       the window is gone at the first write to it: that write and every
//                          later read or write fails with invalidUIElement, and it is no
//                          longer listed in "AXWindows";
//   "writeDelay": seconds  position and size writes take effect only that long after them;
//   "positionValue", "sizeValue": "point"/"size" (default) | "number": the attribute reads as
//                          a plain number instead of boxed geometry.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/geometry.h"
#include "platform/screens.h"
#include "platform/workspace.h"

namespace tessaloom::platform {

enum class ValueShape { boxed, number };
enum class WindowsShape { elements, string, withNull };

struct SceneWindow {
  std::optional<std::string> title;
  Rect frame;  // top-left convention
  std::optional<std::string> role = std::string("AXWindow");
  std::optional<std::string> subrole = std::string("AXStandardWindow");
  std::optional<bool> minimized = false;
  std::optional<bool> fullScreen = false;
  std::set<std::string, std::less<>> failRead;
  std::set<std::string, std::less<>> failWrite;
  bool ignoresWrites = false;
  std::optional<Size> minSize;
  bool vanishes = false;
  double writeDelay = 0;
  ValueShape positionValue = ValueShape::boxed;
  ValueShape sizeValue = ValueShape::boxed;
};

struct SceneApp {
  std::int32_t pid = 0;  // 0 for an installed application that has not been launched
  std::optional<std::string> bundleID;
  std::optional<std::string> name;
  ActivationPolicy policy = ActivationPolicy::regular;
  bool hidden = false;
  std::optional<bool> enhancedUI;
  std::vector<SceneWindow> windows;
  bool unresponsive = false;
  std::set<std::string, std::less<>> failRead;
  std::set<std::string, std::less<>> failWrite;
  WindowsShape windowsValue = WindowsShape::elements;
};

struct SceneInstalled {
  SceneApp app;  // bundleID always present
  double launchDelay = 0;
};

struct Scene {
  bool trusted = true;
  std::optional<double> trustedAt;
  std::vector<Screen> screens;
  Point mouse;
  std::optional<std::int32_t> frontmost;
  std::int32_t self = 1;
  bool pointBoxingFails = false;
  bool sizeBoxingFails = false;
  std::vector<SceneApp> apps;
  std::vector<SceneInstalled> installed;
  /// The document as read, member order kept, for writing the scene back.
  nlohmann::ordered_json document;
};

/// The scene in `text`; nothing, and one line in `error` ("<name>: <where> <problem>"), when
/// the text is not JSON or does not describe a scene. `name` is the file named in the error.
std::optional<Scene> readScene(std::string_view text, std::string_view name, std::string& error);

/// A frame as written back: whole numbers as integers, everything else as it is.
nlohmann::ordered_json frameJson(const Rect& frame);

}  // namespace tessaloom::platform
