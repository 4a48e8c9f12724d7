// The script's reports read into plain values, and the requests sent back to it written out.
// Pure functions over text: no D-Bus here.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/chord.h"
#include "base/geometry.h"
#include "base/records.h"

namespace tessaloom::platform::kwin {

/// One window as KWin describes it (its own coordinates).
struct ReportedWindow {
  std::string id;  // KWin's internal id
  std::string desktopFileName;
  std::string resourceClass;
  std::string resourceName;
  std::string caption;
  std::uint32_t pid = 0;
  Rect frame;
  Size minimum;  // the least frame, from the client's least size; zero when unknown
  bool normal = false;
  bool special = false;  // a desktop, dock, splash, toolbar, notification or on-screen display
  bool deleted = false;
  bool minimized = false;
  bool fullScreen = false;
  bool maximized = false;
  bool active = false;
  std::string output;                 // the output's name
  std::vector<std::string> desktops;  // empty: on every desktop
  friend bool operator==(const ReportedWindow&, const ReportedWindow&) = default;
};

struct ReportedOutput {
  std::string name;
  Rect frame;
  Rect usable;  // the client area: the frame less panels
  friend bool operator==(const ReportedOutput&, const ReportedOutput&) = default;
};

struct Report {
  std::vector<ReportedWindow> windows;
  std::vector<ReportedOutput> outputs;
  std::string desktop;  // the current virtual desktop
  Point cursor;
};

/// The report in `text`; nothing when it is not one. Outputs without a name (KWin 5 names
/// none) are called "screen", or "screen-N" when there are several; a window's output given
/// as an index is named the same way; a window without a maximize mode counts as maximized
/// when its frame is its output's client area.
std::optional<Report> parseReport(std::string_view text);

/// Whether the window shows on `desktop`.
bool onDesktop(const ReportedWindow& window, const std::string& desktop);

/// A window handle for KWin's internal id: the same id always gives the same handle.
WindowHandle handleOf(std::string_view id);

/// The key sequence KWin's shortcuts name `chord` by ("Ctrl+Alt+G"); nothing without a letter.
std::optional<std::string> keySequence(Chord chord);

struct Move {
  std::string id;
  Rect frame;  // whole numbers, KWin's coordinates
};

/// The numbers of the scripts KWin holds, from the introspection of its root object (KWin 5
/// puts script N at /N) and of /Scripting (KWin 6 puts it at /Scripting/ScriptN).
std::set<int> loadedScriptIds(std::string_view rootXml, std::string_view scriptingXml);

std::string reportRequest();
std::string idleRequest();
std::string quitRequest();
std::string placeRequest(std::span<const Move> moves);
/// Calls Changed() of `interface` on `service` at each change of KWin's outputs; an empty
/// service stops the calls.
std::string outputsRequest(const std::string& service, const std::string& interface);
/// A shortcut that calls Pressed(name) on `service` when its keys are pressed.
std::string bindRequest(const std::string& name, const std::string& keys,
                        const std::string& service);

}  // namespace tessaloom::platform::kwin
