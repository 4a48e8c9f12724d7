// The window seam on GNOME, through the Tessaloom Shell extension on the session bus: facts
// from its Facts call, placements decided here and carried out by it. Control is available
// while the extension is enabled and answering; disabling it releases its name at once.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "base/result.h"
#include "platform/gnome/shell_channel.h"
#include "platform/gnome/shell_facts.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

class GnomeDesktop final : public WindowSystem {
 public:
  /// Opens the session bus; the extension need not be there yet.
  static Result<std::unique_ptr<GnomeDesktop>> connect();

  /// One Facts call: windows, screens and pointer.
  DesktopFacts snapshot() override;
  /// From what the Shell reported of the last Place when every window is where it was sent
  /// (the Shell answers a call only between the frames it draws, and after a Place it draws
  /// the moved windows for longer than the settle lasts); else one Facts call.
  std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) override;
  /// One Place call for all the windows, each move decided from the facts of the last look
  /// (snapshot() or frames()), which the core takes just before placing; read anew when they
  /// do not hold every window. Not waited for: its reply and the Shell's Frames signals say
  /// where the windows went.
  void place(std::span<const Placement> placements) override;
  std::vector<Screen> screens() override;
  /// The extension's MonitorsChanged signal, which it sends to this client alone once asked;
  /// asked again whenever the extension comes back. Each time it is asked counts as a change,
  /// except the first when the extension was away at the call.
  std::shared_ptr<void> watchMonitors(std::function<void()> changed) override;
  Point pointer() override;
  /// Through GIO, from the desktop entry.
  bool launch(std::string_view id) override;
  // The extension holds its name only while enabled, and the bus daemon answers for it even
  // while the Shell itself is busy: a slow Shell must not look like a missing extension.
  bool controlAvailable() override { return channel_->present(); }
  /// Asks the Shell to enable the extension (it takes effect at once on X11; a Wayland
  /// session finds an extension installed while it runs only at the next login).
  void requestControl() override { channel_->enableExtension(); }
  /// Why the extension does not answer, as the Shell says: not installed, not enabled (how to
  /// enable it, and that a Wayland session needs a new login), too old for this Shell's
  /// version, or failed.
  std::optional<ControlPrompt> controlPrompt() override;

  gnome::ShellChannel& channel() { return *channel_; }

 private:
  explicit GnomeDesktop(std::unique_ptr<gnome::ShellChannel> channel)
      : channel_(std::move(channel)) {}
  std::optional<gnome::ShellFacts> read();

  // The last Place: where it sent the windows (seam space) and what the Shell has reported
  // of them since (stage space), for the reply and the signals to fill in.
  struct Followed {
    std::map<WindowHandle, Rect> sent;
    gnome::ReportedFrames reported;
    Point origin;
    std::int64_t placedAt = 0;  // microseconds of the monotonic clock
  };
  // How long after a Place its reports are taken (a read after two settles, as the core
  // makes for a slow client, falls within it): the extension sends them for a second after it
  // carries the Place out.
  static constexpr std::int64_t kFollowMicroseconds = 600'000;

  std::unique_ptr<gnome::ShellChannel> channel_;
  std::optional<gnome::ShellFacts> last_;  // the last facts read
  std::shared_ptr<Followed> followed_ = std::make_shared<Followed>();
  std::shared_ptr<void> frameSignal_;  // dropped before the channel
};

}  // namespace tessaloom::platform
