// The window seam on KDE Plasma (KWin 5 and 6, Wayland or X11): windows and outputs as our
// KWin script reports them, and placements carried out by it. Which windows count, and how
// they are grouped into applications, is decided here from the script's plain facts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/kwin/kwin_report.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

namespace kwin {
class Agent;
}

class KWinDesktop final : public WindowSystem {
 public:
  /// Starts our script in the KWin of the session bus. Fails, with one line saying why, when
  /// there is no bus or no KWin on it; opens without control when KWin runs no scripts or does
  /// not answer (the agent's trouble() then says which).
  static Result<std::unique_ptr<KWinDesktop>> connect();
  ~KWinDesktop() override;

  /// One report from the script: windows, outputs and pointer.
  DesktopFacts snapshot() override;
  std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) override;
  /// One request to the script: each window leaves full screen, is un-maximized and takes its
  /// frame.
  void place(std::span<const Placement> placements) override;
  std::vector<Screen> screens() override;
  /// Through our script, which KWin tells of each change of its outputs; nothing is watched
  /// when the script does not run at the time of the call (KWin's scripting switched off).
  std::shared_ptr<void> watchMonitors(std::function<void()> changed) override;
  Point pointer() override;
  bool launch(std::string_view id) override;
  /// Whether our script runs in KWin (it does not when KWin's scripting is switched off).
  bool controlAvailable() override;
  /// Tries to start the script again at once.
  void requestControl() override;
  /// Says that KWin runs no scripts of ours, and how to let it; or that KWin left or froze.
  std::optional<ControlPrompt> controlPrompt() override;

  kwin::Agent& agent() { return *agent_; }

  /// The windows of the user's applications among a report's: not deleted, not a panel or
  /// other special window, not this process's own. Public for tests.
  static std::vector<const kwin::ReportedWindow*> candidates(const kwin::Report& report,
                                                             std::uint32_t self);

 private:
  explicit KWinDesktop(std::unique_ptr<kwin::Agent> agent);
  std::optional<kwin::Report> fetch();
  Rect toGlobal(Rect r) const;
  std::vector<Screen> screensOf(const kwin::Report& report) const;
  Point pointerOf(const kwin::Report& report) const;

  std::unique_ptr<kwin::Agent> agent_;
  Point origin_;                             // the first output's top left in KWin's space
  std::map<WindowHandle, std::string> ids_;  // handle → KWin's id, as the last look found them
};

}  // namespace tessaloom::platform
