// The simulated desktop: accessibility, workspace and screens played from a scene, on the time
// of a main queue, with every call recorded. Used by tests and by runs on a scene file; writes
// back only window frames and launched applications.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.h"
#include "platform/main_queue.h"
#include "platform/screens.h"
#include "platform/sim/call_log.h"
#include "platform/sim/scene.h"
#include "platform/sim/sim_element.h"
#include "platform/workspace.h"

namespace tessaloom::platform {

class SimDesktop final : public Accessibility, public Workspace, public Screens {
 public:
  /// The messaging timeout of an application element on which none was set.
  static constexpr double kDefaultMessagingTimeout = 6.0;

  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  /// The desktop of the scene in `text`, on `clock`'s time (the clock must outlive it);
  /// nothing, and one line in `error` naming `name`, when the scene is refused.
  static std::unique_ptr<SimDesktop> fromJson(std::string_view text, MainQueue& clock,
                                              std::string& error, std::string_view name = "scene");
  /// The same from a file; its path names it in errors.
  static std::unique_ptr<SimDesktop> loadFile(const std::string& path, MainQueue& clock,
                                              std::string& error);
  /// The scene as read, with current window frames and with launched applications moved from
  /// "installed" to "apps"; every other member as it was.
  std::string toJson() const;
  /// Whether toJson() differs from the scene as read (a frame moved, an application launched).
  bool changed() const;
  /// Writes toJson() to `path` through a temporary file, so a failed write keeps the old file;
  /// false and one line in `error` on failure.
  bool saveFile(const std::string& path, std::string& error) const;

  // Accessibility
  ElementRef createApplication(std::int32_t pid) override;
  void setMessagingTimeout(const ElementRef& application, float seconds) override;
  AXError copyAttributeValue(const ElementRef& element, std::string_view attribute,
                             AttributeValue& value) override;
  AXError setAttributeValue(const ElementRef& element, std::string_view attribute,
                            const AttributeValue& value) override;
  std::optional<AttributeValue> createValue(Point point) override;
  std::optional<AttributeValue> createValue(Size size) override;
  bool isProcessTrusted(bool prompt) override;

  // Workspace
  std::vector<RunningApplication> runningApplications() override;
  std::optional<RunningApplication> frontmostApplication() override;
  /// "sim://installed/<bundle identifier>" for an application of "installed".
  std::optional<std::string> urlForApplication(std::string_view bundleIdentifier) override;
  /// Launches the installed application at `url` after its launch delay, with a fresh pid;
  /// nothing when it is running or already launching, or the location is unknown.
  void openApplication(std::string_view url) override;
  void openURL(std::string_view url) override;
  std::int32_t currentProcessIdentifier() override;

  // Screens
  std::vector<Screen> screens() override;
  Point mouseLocation() override;

  // For tests; none of these is recorded.
  CallLog& log() { return log_; }
  /// The current frame of a running application's window (index in its scene list); nothing
  /// when the window or the application is gone.
  std::optional<Rect> windowFrame(std::int32_t pid, std::size_t index);
  /// The one handle the desktop hands out for that window; null when there is no such window.
  ElementRef windowElement(std::int32_t pid, std::size_t index);
  /// Moves a window as its user would (pending delayed writes are dropped); false when absent.
  bool setWindowFrame(std::int32_t pid, std::size_t index, const Rect& frame);
  /// The window goes away as if closed; false when absent.
  bool closeWindow(std::int32_t pid, std::size_t index);
  /// The application quits: it is no longer running and its elements are invalid.
  bool quitApplication(std::int32_t pid);
  std::optional<bool> enhancedUserInterface(std::int32_t pid);
  /// The running applications, as runningApplications() gives them.
  std::vector<RunningApplication> runningApps();
  /// Launch requests that have not yet come due.
  std::size_t pendingLaunches();
  void setTrusted(bool trusted);
  void setMouse(Point location) { mouse_ = location; }
  void setFrontmost(std::optional<std::int32_t> pid) { frontmost_ = pid; }
  void setScreens(std::vector<Screen> screens) { screens_ = std::move(screens); }

 private:
  /// The scene document with the current frames and launched applications (see toJson()).
  nlohmann::ordered_json currentDocument() const;

  struct Window {
    SceneWindow facts;
    Rect frame;
    bool gone = false;
    ElementRef element;
    struct Write {
      double due;
      std::string attribute;
      AttributeValue value;
    };
    std::vector<Write> pending;  // in the order written
  };
  struct App {
    SceneApp facts;  // its windows live in `windows`
    std::vector<Window> windows;
    bool running = true;
    std::optional<std::size_t> installed;  // index in "installed" for a launched application
    double messagingTimeout = 0;           // the last one set on any of its elements
  };
  struct Launch {
    double due;
    std::size_t installed;
    std::int32_t pid;
  };

  SimDesktop(Scene scene, MainQueue& clock);
  App makeApp(const SceneApp& facts, std::int32_t pid) const;
  /// Brings time-driven changes up to the clock: due launches and delayed writes.
  void settle();
  bool trusted();
  App* runningApp(std::int32_t pid);
  Window* window(std::int32_t pid, std::size_t index);
  std::int32_t freshPid();
  RunningApplication describeApp(const App& app) const;
  void record(SimCallKind kind, std::string element = {}, std::string argument = {},
              AttributeValue value = {}, AXError result = AXError::success,
              std::optional<double> time = std::nullopt);

  /// What an element handle denotes, or why it denotes nothing usable.
  struct Target {
    App* app = nullptr;
    Window* window = nullptr;
    const SimElement* element = nullptr;
    AXError error = AXError::success;
  };
  Target resolve(const ElementRef& element);
  /// The clock moves on by the messaging timeout that applies to `target`.
  void waitForTimeout(const Target& target);
  AXError readApp(App& app, std::string_view attribute, AttributeValue& value);
  AXError readWindow(const Window& window, std::string_view attribute, AttributeValue& value);
  AXError writeApp(App& app, std::string_view attribute, const AttributeValue& value);
  AXError writeWindow(Window& window, std::string_view attribute, const AttributeValue& value);
  static void applyWrite(Window& window, std::string_view attribute, const AttributeValue& value);

  Scene scene_;
  MainQueue& clock_;
  CallLog log_;
  bool trusted_;
  std::optional<double> trustedAt_;
  std::vector<Screen> screens_;
  Point mouse_;
  std::optional<std::int32_t> frontmost_;
  std::vector<App> apps_;         // the scene's in order, then launched ones in launch order
  std::vector<Launch> launches_;  // in due order, ties in the order asked for
  std::int64_t nextPid_ = 1;
};

}  // namespace tessaloom::platform
