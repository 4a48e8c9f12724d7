#include "platform/gnome/gnome_overlay.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/gnome/shell_facts.h"
#include "platform/xdg/theme_icons.h"

namespace tessaloom::platform::gnome {
namespace {

class ShellPlate final : public OverlayPanel {
 public:
  ShellPlate(ShellChannel& channel, std::uint32_t id, Size size, Point stageOrigin)
      : channel_(channel), id_(id), size_(size), stage_(stageOrigin) {}
  ~ShellPlate() override {
    if (id_) channel_.send("PlateDestroy", g_variant_new("(u)", id_));
  }
  Size size() const override { return size_; }
  void setFrameOrigin(Point origin) override {
    origin_ = origin;
    update();
  }
  void setAlpha(double alpha) override {
    alpha_ = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 0.0;
    update();
  }
  void orderFront() override {
    shown_ = true;
    update();
  }
  void orderOut() override {
    if (!shown_) return;
    shown_ = false;
    update();
  }

 private:
  // A hidden plate only keeps its state: the next orderFront() sends it.
  void update() {
    if (!id_ || (!shown_ && !sentShown_)) return;
    sentShown_ = shown_;
    channel_.send("PlateSet", g_variant_new("(udddb)", id_, origin_.x + stage_.x,
                                            origin_.y + stage_.y, alpha_, shown_));
  }

  ShellChannel& channel_;
  std::uint32_t id_;
  Size size_;
  Point stage_;  // the primary monitor's top left on the Shell's stage
  Point origin_;
  double alpha_ = 1;
  bool shown_ = false;
  bool sentShown_ = false;
};

}  // namespace

std::string plateJson(const OverlayContent& content) {
  const OverlayStyle& s = content.style;
  // The extension's dark translucent plate of the other desktops, with the desktop's blue
  // accent; only the sizes are ours to say.
  const nlohmann::json plate = {
      {"text", content.text},
      {"icon", xdg::themeIconForSymbol(content.symbol).value_or("")},
      {"iconSize", std::lround(std::max(0.0, s.symbolPointSize))},
      {"look", "dark"},
      {"sizes",
       {{"corner", s.cornerRadius},
        {"top", s.insetTop},
        {"right", s.insetRight},
        {"bottom", s.insetBottom},
        {"left", s.insetLeft},
        {"spacing", s.spacing},
        {"font", s.fontSize}}},
  };
  return plate.dump();
}

std::unique_ptr<OverlayPanel> GnomeOverlay::makePanel(const OverlayContent& content) {
  Point stage;
  if (const auto json = channel_.facts())
    if (const auto facts = parseFacts(*json)) stage = facts->origin();
  const std::string plate = plateJson(content);
  auto reply = channel_.call("PlateCreate", g_variant_new("(s)", plate.c_str()), "(udd)");
  guint32 id = 0;
  double width = 0, height = 0;
  if (reply) g_variant_get(reply->get(), "(udd)", &id, &width, &height);
  // Without the extension the plate is a stand-in that shows nothing.
  return std::make_unique<ShellPlate>(channel_, id, Size{width, height}, stage);
}

}  // namespace tessaloom::platform::gnome
