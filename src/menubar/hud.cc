#include "menubar/hud.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

namespace tessaloom {
namespace {

using PanelRef = std::shared_ptr<platform::OverlayPanel>;

// Moves the panel's alpha from `from` to `to` in straight steps of kFrameSeconds, timed by the
// clock rather than by the number of steps, so a late step catches up; then calls `done`.
platform::WorkItem animateAlpha(platform::MainQueue& queue, PanelRef panel, double from, double to,
                                double duration, std::function<void()> done) {
  const double start = queue.now();
  auto self = std::make_shared<platform::WorkItem>();
  *self = queue.repeating(
      HUD::kFrameSeconds, [&queue, panel, from, to, duration, start, self, done = std::move(done)] {
        const double progress = std::clamp((queue.now() - start) / duration, 0.0, 1.0);
        panel->setAlpha(from + (to - from) * progress);
        if (progress < 1) return;
        self->cancel();
        if (done) done();
      });
  return *self;
}

}  // namespace

std::optional<Point> HUD::origin(const std::vector<platform::Screen>& screens, Point pointer,
                                 Size size) {
  if (screens.empty()) return std::nullopt;
  auto screen = std::find_if(screens.begin(), screens.end(),
                             [&](const platform::Screen& s) { return s.frame.contains(pointer); });
  const Rect& u = (screen != screens.end() ? *screen : screens.front()).usable;
  return Point{u.midX() - 0.5 * size.width,
               u.maxY() - kBottomShare * std::fabs(u.height) - size.height};
}

void HUD::show(std::string_view text, std::string_view symbol) {
  auto& queue = queue_;
  hideWork_.cancel();
  fadeIn_.cancel();
  if (panel_) panel_->orderOut();

  PanelRef panel =
      overlay_.makePanel(platform::OverlayContent{std::string(text), std::string(symbol), kStyle});
  if (auto at = origin(desktop_.screens(), desktop_.pointer(), panel->size()))
    panel->setFrameOrigin(*at);
  panel->setAlpha(0);
  panel->orderFront();
  fadeIn_ = animateAlpha(queue, panel, 0, 1, kFadeInSeconds, nullptr);
  panel_ = panel;

  // The fade-out belongs to this panel: once started it finishes here even if a newer
  // message has replaced the panel meanwhile.
  platform::WorkItem fadeIn = fadeIn_;
  hideWork_ = queue.asyncAfter(kHoldSeconds, [&queue, panel, fadeIn]() mutable {
    fadeIn.cancel();
    animateAlpha(queue, panel, 1, 0, kFadeOutSeconds, [panel] { panel->orderOut(); });
  });
}

}  // namespace tessaloom
