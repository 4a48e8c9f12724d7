// A fixture over the simulated desktop, an in-memory defaults store and a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"
#include "windows/context.h"

namespace tessaloom::testing {

inline nlohmann::json sceneWindow(const std::string& title, double x, double y, double w,
                                  double h) {
  return {{"title", title}, {"frame", {x, y, w, h}}};
}

class SimDesktopTest : public ::testing::Test {
 protected:
  /// Loads `scene`, on one 1440 x 900 screen with a 25-point bar on top unless it names screens.
  void load(nlohmann::json scene) {
    if (!scene.contains("screens"))
      scene["screens"] = nlohmann::json::parse(
          R"([{"name": "Built-in", "frame": [0, 0, 1440, 900], "visible": [0, 0, 1440, 875]}])");
    auto desktop = platform::SimDesktop::fromJson(scene.dump(), queue_);
    ASSERT_TRUE(desktop) << desktop.error();
    desktop_ = std::move(*desktop);
    ctx_.reset();
  }
  /// One context for the whole test: a waiting restore holds on to it.
  Context& ctx() { return ctx_ ? *ctx_ : ctx_.emplace(Context{*desktop_, settings_, queue_}); }
  platform::SimDesktop& desktop() { return *desktop_; }
  platform::CallLog& log() { return desktop_->log(); }
  Rect frameOf(int pid, std::size_t index) { return *desktop_->windowFrame(pid, index); }

  platform::VirtualMainQueue queue_;
  platform::MemoryDefaults defaults_;
  Settings settings_{defaults_};
  std::unique_ptr<platform::SimDesktop> desktop_;
  std::optional<Context> ctx_;
};

}  // namespace tessaloom::testing
