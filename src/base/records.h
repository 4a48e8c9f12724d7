// The shared value records: layouts, kinds, display modes, target windows, displays and the
// layout plan. Values only; nothing here reads or writes the desktop.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "base/geometry.h"

namespace tessaloom {

enum class LayoutKind { grid, columns, aiSplit, cascade, sameSize };
inline constexpr std::array<LayoutKind, 5> kAllLayoutKinds = {
    LayoutKind::grid, LayoutKind::columns, LayoutKind::aiSplit, LayoutKind::cascade,
    LayoutKind::sameSize};
std::string_view rawValue(LayoutKind kind);
/// The menu, overlay and command-line text of a layout.
std::string_view title(LayoutKind kind);
/// The symbol image name of a layout.
std::string_view symbol(LayoutKind kind);
/// Exact, case-sensitive match of a raw value; nothing for any other text.
std::optional<LayoutKind> layoutKindFromRaw(std::string_view raw);

enum class Kind { browser, ai, ignore };
inline constexpr std::array<Kind, 3> kAllKinds = {Kind::browser, Kind::ai, Kind::ignore};
std::string_view rawValue(Kind kind);
/// The display word of a kind.
std::string_view label(Kind kind);
std::optional<Kind> kindFromRaw(std::string_view raw);
/// JSON form: the raw value as a single string. Reading anything else throws
/// nlohmann::json::exception.
void to_json(nlohmann::json& j, Kind kind);
void from_json(const nlohmann::json& j, Kind& kind);

enum class DisplayMode { perDisplay, mouseDisplay };
std::string_view rawValue(DisplayMode mode);
std::optional<DisplayMode> displayModeFromRaw(std::string_view raw);

/// A window as the desktop names it: opaque, unique among the desktop's windows while the window
/// lives.
using WindowHandle = std::uint64_t;

/// One target window as discovery found it. Only the frame and the least size may change after
/// construction.
class ManagedWindow {
 public:
  ManagedWindow(WindowHandle handle, std::int32_t pid, std::string appId, std::string appName,
                std::string title, Rect frame, Kind kind, bool tiled = false, Size minimum = {})
      : handle_(handle),
        pid_(pid),
        appId_(std::move(appId)),
        appName_(std::move(appName)),
        title_(std::move(title)),
        frame_(frame),
        kind_(kind),
        tiled_(tiled),
        minimum_(minimum) {}

  WindowHandle handle() const { return handle_; }
  std::int32_t pid() const { return pid_; }
  /// The application's desktop-entry id.
  const std::string& appId() const { return appId_; }
  const std::string& appName() const { return appName_; }
  const std::string& title() const { return title_; }
  const Rect& frame() const { return frame_; }
  void setFrame(const Rect& frame) { frame_ = frame; }
  Kind kind() const { return kind_; }
  /// Held by a tiling layout when it was listed.
  bool tiled() const { return tiled_; }
  /// The smallest frame it takes; zero where the desktop does not tell.
  const Size& minimum() const { return minimum_; }
  void setMinimum(const Size& minimum) { minimum_ = minimum; }

 private:
  WindowHandle handle_;
  std::int32_t pid_;
  std::string appId_;
  std::string appName_;
  std::string title_;
  Rect frame_;
  Kind kind_;
  bool tiled_;
  Size minimum_;
};

/// One screen, in the global top-left space. Two displays are the same screen when their frames
/// are equal.
class Display {
 public:
  Display(Rect frame, Rect visible, std::string name)
      : frame_(frame), visible_(visible), name_(std::move(name)) {}
  const Rect& frame() const { return frame_; }
  const Rect& visible() const { return visible_; }
  const std::string& name() const { return name_; }

 private:
  Rect frame_;
  Rect visible_;
  std::string name_;
};

/// One window of a plan and the rectangle it is to occupy (unrounded).
struct PlanEntry {
  ManagedWindow window;
  Rect target;
  /// Put back into the tiling layout that held it, rather than at `target`.
  bool tile = false;
};
/// Windows in the order they are moved; a window occurs at most once.
using LayoutPlan = std::vector<PlanEntry>;

}  // namespace tessaloom
