// The window seam on sway and i3 over their IPC socket: windows from the layout tree, screens
// from the outputs and workspaces, and placements as commands. Tiled windows cannot take
// arbitrary rectangles, so the windows an arrangement moves are made floating first.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/i3ipc/i3_tree.h"
#include "platform/window_system.h"

namespace tessaloom::platform {

namespace i3ipc {
class IpcSocket;
}

class I3Desktop final : public WindowSystem {
 public:
  /// The process ids of X11 windows by window id, which i3's tree leaves out; nothing known
  /// where X is not at hand.
  using X11Pids =
      std::function<std::map<std::uint32_t, std::uint32_t>(const std::vector<std::uint32_t>&)>;

  /// Connects to the socket at `path` and asks which of the two runs there; `pids` reads what
  /// i3 leaves out. Fails, with one line saying why, when nothing answers in time.
  static Result<std::unique_ptr<I3Desktop>> connect(const std::string& path, X11Pids pids = {});
  ~I3Desktop() override;

  /// The workspaces, the tree and the outputs, three requests; empty when the socket is lost
  /// or a reply is refused. The pointer is the focused output's centre.
  DesktopFacts snapshot() override;
  std::vector<std::optional<Rect>> frames(std::span<const WindowHandle> windows) override;
  /// Takes the windows out of full screen and makes them floating with one command, waits
  /// (up to kSettleTime) until the tree stops changing, then sizes and moves every window with
  /// one more command. A placement with `tile` puts its window back into the layout instead.
  /// Each window's state is the last look's (snapshot() or frames()), which the core takes just
  /// before placing; the tree is read anew when that look does not hold every window.
  void place(std::span<const Placement> placements) override;
  /// Until kFloatWatch after the last command that floated a tiled window (sway).
  double unsettledFor() override;
  std::vector<Screen> screens() override;
  /// Output events on a connection of their own.
  std::shared_ptr<void> watchMonitors(std::function<void()> changed) override;
  /// The centre of the focused output: the protocol does not tell where the pointer is.
  Point pointer() override;
  bool launch(std::string_view id) override;
  bool controlAvailable() override { return alive(); }
  void requestControl() override {}

  /// "sway" or "i3".
  const std::string& name() const { return name_; }
  bool alive() const;
  /// The line that says the socket was lost; empty while it is alive.
  std::string lostMessage() const;
  /// Why this run cannot be trusted: the socket was lost, or a reply was refused (not JSON,
  /// nested too deep, or of the wrong shape); nothing while every reply was sound.
  std::optional<std::string> trouble() const;

  /// How long a placement waits for the tree to settle after floating windows.
  static constexpr int kSettleMilliseconds = 300;
  // On sway a client floated out of the layout answers with a size of its own choosing (its
  // least, or for Firefox the one it had before it was tiled) 120-400 ms after the command,
  // after the usual settle: the read-back waits this long from the command so that the
  // correction sees it.
  static constexpr std::chrono::milliseconds kFloatAnswer{500};
  // Under load the answer comes later still: the core keeps looking until then.
  static constexpr std::chrono::milliseconds kFloatWatch{1500};

 private:
  I3Desktop() = default;
  // The reply to a request of `type`; nothing when the socket is lost or the reply is refused.
  std::optional<nlohmann::json> fetch(std::uint32_t type);
  // The windows of the tree (of the workspaces `visible`, all when null), refusing a
  // malformed tree.
  std::optional<std::vector<i3ipc::TreeWindow>> fetchWindows(
      const std::set<std::uint64_t>* visible);
  void refuse(std::uint32_t type, const std::string& why);
  // The screens in the compositor's space; also records the global origin.
  std::vector<Screen> fetchScreens();
  std::vector<Screen> screensOf(const nlohmann::json& outputs, const nlohmann::json& workspaces);
  Point toGlobal(Point p) const;
  std::vector<Screen> toGlobal(std::vector<Screen> screens) const;
  // Reads every window of the tree into windows_; false (keeping the last) when it cannot.
  bool readWindows();
  Rect toGlobal(Rect r) const;
  bool settle();

  std::unique_ptr<i3ipc::IpcSocket> socket_;
  std::string path_;
  i3ipc::Flavour flavour_ = i3ipc::Flavour::i3;
  std::string name_;
  X11Pids x11Pids_;
  std::optional<std::string> refused_;  // the first refused reply
  std::optional<Point> origin_;         // the primary output's top left, compositor space
  std::map<WindowHandle, i3ipc::TreeWindow> windows_;  // as the last look found them
  // When a placement last floated a tiled window (sway).
  std::chrono::steady_clock::time_point floatedAt_;
};

}  // namespace tessaloom::platform
