#include "platform/gnome/gnome_desktop.h"

#include "platform/gnome/gnome_messages.h"

#include <unistd.h>

#include <glib.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/xdg/desktop_entries.h"

namespace tessaloom::platform {

using gnome::ShellFacts;
using gnome::ShellWindow;

namespace {

// The pointer in the global space, whose origin is the primary monitor's top left.
Point pointerOf(const ShellFacts& facts) {
  const Point o = facts.origin();
  return {facts.pointer.x - o.x, facts.pointer.y - o.y};
}

}  // namespace

Result<std::unique_ptr<GnomeDesktop>> GnomeDesktop::connect() {
  auto channel = gnome::ShellChannel::open();
  if (!channel) return Failure{channel.error()};
  return std::unique_ptr<GnomeDesktop>(new GnomeDesktop(std::move(*channel)));
}

std::optional<ShellFacts> GnomeDesktop::read() {
  const auto json = channel_->facts();
  last_ = json ? gnome::parseFacts(*json) : std::nullopt;
  return last_;
}

DesktopFacts GnomeDesktop::snapshot() {
  const auto facts = read();
  if (!facts) return {};
  DesktopFacts found;
  const auto self = ::getpid();
  const Point origin = facts->origin();
  const auto& entries = xdg::DesktopEntryIndex::installed();
  for (const ShellWindow& w : facts->windows) {
    if (w.processId == self || w.type == gnome::kDesktop || w.type == gnome::kDock) continue;
    WindowFacts window = gnome::factsOf(w, origin);
    window.app = xdg::identifyApplication(entries, gnome::hintsOf(w));
    window.app.processId = static_cast<std::uint32_t>(std::max(0, w.processId));
    window.focused = w.id == facts->focus && w.id != 0;
    window.elsewhere = !gnome::counts(w, facts->workspace);
    found.windows.push_back(std::move(window));
  }
  found.screens = gnome::screensOf(*facts);
  found.pointer = pointerOf(*facts);
  return found;
}

std::vector<std::optional<Rect>> GnomeDesktop::frames(std::span<const WindowHandle> handles) {
  if (!followed_->sent.empty()) {
    channel_->drain();
    // A Shell that left after it reported is asked, and found gone.
    if (g_get_monotonic_time() - followed_->placedAt < kFollowMicroseconds)
      if (auto reported = gnome::framesAtTargets(followed_->sent, followed_->reported, handles,
                                                 followed_->origin);
          reported && channel_->stillThere())
        return *reported;
  }
  std::vector<std::optional<Rect>> frames(handles.size());
  const auto facts = read();
  if (!facts) return frames;
  const Point origin = facts->origin();
  for (std::size_t i = 0; i < handles.size(); ++i)
    if (const ShellWindow* w = facts->find(handles[i]))
      frames[i] = gnome::factsOf(*w, origin).frame;
  return frames;
}

void GnomeDesktop::place(std::span<const Placement> placements) {
  if (placements.empty()) return;
  const bool known = last_ && std::ranges::all_of(placements, [this](const Placement& p) {
                       return last_->find(p.window) != nullptr;
                     });
  if (!known && !read()) return;
  const std::string moves = gnome::movesFor(*last_, placements);
  // A report that comes after this desktop is gone finds nothing to fill in.
  const auto take = [into = std::weak_ptr(followed_)](GVariant* parameters) {
    const auto followed = into.lock();
    const gchar* text = nullptr;
    if (!followed || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) return;
    g_variant_get(parameters, "(&s)", &text);
    gnome::mergeFrames(text, followed->reported);
  };
  if (!frameSignal_) frameSignal_ = channel_->listen("Frames", take);
  *followed_ = {{}, {}, last_->origin(), g_get_monotonic_time()};
  for (const Placement& p : placements)
    if (last_->find(p.window)) followed_->sent[p.window] = p.frame;
  // Not waited for: the settle starts as the moves leave, as on every desktop, and the read
  // after it says whether the Shell carried them out.
  channel_->post("Place", g_variant_new("(s)", moves.c_str()), take);
}

std::vector<Screen> GnomeDesktop::screens() {
  const auto facts = read();
  return facts ? gnome::screensOf(*facts) : std::vector<Screen>{};
}

std::shared_ptr<void> GnomeDesktop::watchMonitors(std::function<void()> changed) {
  auto signal = channel_->subscribe("MonitorsChanged", [changed](GVariant*) { changed(); });
  // The extension forgets its watchers when it is disabled or the Shell restarts, and the
  // monitors may have changed while it was away, or before it took this request: once it has
  // taken it, a change is reported, unless the caller saw no monitors to compare with.
  auto report = std::make_shared<bool>(channel_->present());
  auto name = channel_->watch([this, changed, report](bool present) {
    if (!present) return;
    (void)channel_->call("WatchMonitors", g_variant_new("(b)", TRUE), "()");
    if (std::exchange(*report, true)) changed();
  });
  gnome::ShellChannel* channel = channel_.get();
  return std::shared_ptr<void>(nullptr, [channel, signal, name](void*) mutable {
    name.reset();
    signal.reset();
    channel->send("WatchMonitors", g_variant_new("(b)", FALSE));
  });
}

Point GnomeDesktop::pointer() {
  const auto facts = read();
  return facts ? pointerOf(*facts) : Point{};
}

bool GnomeDesktop::launch(std::string_view id) {
  const auto path = xdg::desktopEntryPath(id);
  return path && xdg::launchDesktopEntry(*path, "");
}

std::optional<ControlPrompt> GnomeDesktop::controlPrompt() {
  using gnome::ExtensionState;
  const auto status = channel_->extensionStatus();
  const std::string shell =
      "GNOME Shell" + (status.shellVersion.empty() ? "" : " " + status.shellVersion);
  std::string line;
  switch (status.state) {
    case ExtensionState::missing:
      line = gnome::extensionMissingLine();
      break;
    case ExtensionState::outOfDate:
      line = gnome::outOfDateLine(shell);
      break;
    case ExtensionState::error:
      line = gnome::errorLine(shell, status.error.empty() ? "?" : status.error);
      break;
    default:  // disabled, or a Shell that does not say: enabling is the step
      return ControlPrompt{gnome::extensionDisabledLine(),
                           language::tr(gnome::kExtensionAlertTitle),
                           language::tr(gnome::kExtensionAlertText),
                           {language::tr(gnome::kExtensionAlertButtons[0]),
                            language::tr(gnome::kExtensionAlertButtons[1])}};
  }
  // One line, whatever the Shell's error holds.
  std::replace(line.begin(), line.end(), '\n', ' ');
  return ControlPrompt{line,
                       language::tr(gnome::kExtensionUnusableTitle),
                       line,
                       {language::tr(gnome::kExtensionUnusableButton)}};
}

}  // namespace tessaloom::platform
