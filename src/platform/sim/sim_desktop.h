// The simulated desktop: the window seam played from a scene, on the time of a main queue,
// with every call recorded. Used by tests and by runs on a scene file; writes back only window
// frames and launched applications.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "platform/main_queue.h"
#include "platform/sim/call_log.h"
#include "platform/sim/scene.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

class SimDesktop final : public WindowSystem {
 public:
  /// How long windows() waits on an application that does not answer.
  static constexpr double kAnswerTimeout = 1.0;
  /// The largest scene file loadFile() reads.
  static constexpr std::size_t kMaxSceneBytes = 16u << 20;
  /// How long after a placement that floats a tiled window unsettledFor() says so.
  static constexpr double kFloatWatch = 1.0;

  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  /// The desktop of the scene in `text`, on `clock`'s time (the clock must outlive it); the
  /// failure names `name` when the scene is refused.
  static Result<std::unique_ptr<SimDesktop>> fromJson(std::string_view text, MainQueue& clock,
                                                      std::string_view name = "scene");
  /// The same from a regular file of at most kMaxSceneBytes; its path names it in errors.
  static Result<std::unique_ptr<SimDesktop>> loadFile(const std::string& path, MainQueue& clock);
  /// The scene as read, with current window frames and with launched applications moved from
  /// "installed" to "apps"; every other member as it was.
  std::string toJson() const;
  /// Whether toJson() differs from the scene as read (a frame moved, an application launched).
  bool changed() const;
  /// Replaces the file at `path` with toJson(); a failed write keeps the old file.
  Outcome saveFile(const std::string& path) const;

  // WindowSystem
  /// The applications, then the windows of each, then the screens, each step recorded.
  DesktopFacts snapshot() override;
  std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) override;
  void place(std::span<const Placement> placements) override;
  double unsettledFor() override;
  std::vector<Screen> screens() override;
  Point pointer() override;
  bool launch(std::string_view id) override;
  bool controlAvailable() override;
  void requestControl() override;
  std::shared_ptr<void> watchMonitors(std::function<void()> changed) override;

  /// The running applications of the scene, in its order.
  std::vector<AppFacts> applications();
  /// The windows of the application `pid`; nothing when it does not answer (after
  /// kAnswerTimeout), cannot be read or is gone.
  std::optional<std::vector<WindowFacts>> windows(std::int32_t pid);

  /// The handle of window `index` (in its scene list) of the running application `pid`; 0
  /// when there is no such window.
  WindowHandle windowHandle(std::int32_t pid, std::size_t index);

  // For tests; none of these is recorded.
  CallLog& log() { return log_; }
  /// The current frame of a running application's window; nothing when it or its application
  /// is gone.
  std::optional<Rect> windowFrame(std::int32_t pid, std::size_t index);
  /// Moves a window as its user would (pending delayed writes are dropped); false when absent.
  bool setWindowFrame(std::int32_t pid, std::size_t index, const Rect& frame);
  /// The window goes away as if closed; false when absent.
  bool closeWindow(std::int32_t pid, std::size_t index);
  /// The application quits: it is no longer running and its windows are gone.
  bool quitApplication(std::int32_t pid);
  /// Launch requests that have not yet come due.
  std::size_t pendingLaunches();
  void setTrusted(bool trusted);
  /// The words this desktop gives for asking control; nothing (the default) for the program's.
  void setControlPrompt(std::optional<ControlPrompt> prompt) { prompt_ = std::move(prompt); }
  std::optional<ControlPrompt> controlPrompt() override { return prompt_; }
  /// In the seam's top-left space.
  void setPointer(Point location) { pointer_ = location; }
  void setFrontmost(std::optional<std::int32_t> pid) { frontmost_ = pid; }
  /// In the seam's top-left space, primary first. Watchers hear of the change on the queue.
  void setScreens(std::vector<Screen> screens);

 private:
  struct Window {
    SceneWindow facts;
    Rect frame;
    bool tiled = false;
    bool gone = false;
    /// A delayed placement: the parts it changes, applied when due.
    struct Write {
      double due;
      std::optional<Point> origin;
      std::optional<Size> size;
    };
    std::vector<Write> pending;  // in the order written
  };
  struct App {
    SceneApp facts;  // its windows live in `windows`
    std::vector<Window> windows;
    bool running = true;
    std::optional<std::size_t> installed;  // index in "installed" for a launched application
  };
  struct Launch {
    double due;
    std::size_t installed;
    std::int32_t pid;
  };

  SimDesktop(Scene scene, MainQueue& clock);
  App makeApp(const SceneApp& facts, std::int32_t pid) const;
  /// The scene document with the current frames and launched applications (see toJson()).
  nlohmann::ordered_json currentDocument() const;
  /// Brings time-driven changes up to the clock: due launches and delayed writes.
  void settle();
  bool trusted();
  App* runningApp(std::int32_t pid);
  Window* window(std::int32_t pid, std::size_t index);
  Window* window(WindowHandle handle);
  std::int32_t freshPid();
  /// "101/0" for a handle of a window the desktop ever had, else "?".
  std::string label(WindowHandle handle) const;
  void record(SimCallKind kind, std::string argument = {});
  void placeOne(const Placement& placement);
  static void apply(Window& window, const std::optional<Point>& origin,
                    const std::optional<Size>& size);

  Scene scene_;
  MainQueue& clock_;
  CallLog log_;
  bool trusted_;
  std::optional<double> trustedAt_;
  std::vector<Screen> screens_;
  Point pointer_;
  std::optional<std::int32_t> frontmost_;
  std::vector<App> apps_;         // the scene's in order, then launched ones in launch order
  std::vector<Launch> launches_;  // in due order, ties in the order asked for
  std::int64_t nextPid_ = 1;
  double unsettledUntil_ = 0;  // on the clock
  std::optional<ControlPrompt> prompt_;
  // Shared with the watchers' tokens, each of which empties its own slot.
  std::shared_ptr<std::vector<std::function<void()>>> monitorWatchers_ =
      std::make_shared<std::vector<std::function<void()>>>();
};

}  // namespace tessaloom::platform
