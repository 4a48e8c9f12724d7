// The feedback overlay: one short message with a symbol near the bottom of the screen under
// the pointer, faded in, held and faded out on the main queue. Decides placement and timing;
// drawing belongs to the overlay service.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/geometry.h"
#include "platform/main_queue.h"
#include "platform/overlay.h"
#include "platform/window_system.h"

namespace tessaloom {

class HUD {
 public:
  static constexpr platform::OverlayStyle kStyle{.fontSize = 15,
                                                 .symbolPointSize = 20,
                                                 .spacing = 10,
                                                 .insetTop = 14,
                                                 .insetLeft = 20,
                                                 .insetBottom = 14,
                                                 .insetRight = 22,
                                                 .cornerRadius = 14};
  static constexpr double kFadeInSeconds = 0.15;
  /// The fade-out starts this long after the call that showed the plate.
  static constexpr double kHoldSeconds = 1.4;
  static constexpr double kFadeOutSeconds = 0.3;
  /// The plate's bottom edge sits this share of the usable height above the usable bottom.
  static constexpr double kBottomShare = 0.18;
  /// The step of the fades.
  static constexpr double kFrameSeconds = 1.0 / 60;

  HUD(platform::Overlay& overlay, platform::WindowSystem& desktop, platform::MainQueue& queue)
      : overlay_(overlay), desktop_(desktop), queue_(queue) {}
  HUD(const HUD&) = delete;
  HUD& operator=(const HUD&) = delete;

  /// Replaces whatever plate is showing with a new one for `text` and `symbol`, fades it in,
  /// and fades it out kHoldSeconds later. Main thread only.
  void show(std::string_view text, std::string_view symbol);

  /// The top-left origin of a plate of `size`: centred horizontally on the usable area of the
  /// first screen whose frame holds `pointer`, else of the first screen, its bottom edge
  /// kBottomShare of the usable height above the usable bottom; nothing without a screen.
  static std::optional<Point> origin(const std::vector<platform::Screen>& screens, Point pointer,
                                     Size size);

 private:
  platform::Overlay& overlay_;
  platform::WindowSystem& desktop_;
  platform::MainQueue& queue_;
  std::shared_ptr<platform::OverlayPanel> panel_;
  platform::WorkItem fadeIn_;
  platform::WorkItem hideWork_;
};

}  // namespace tessaloom
