// A test fixture over the simulated desktop, an in-memory defaults store and a virtual clock,
// handed to the code under test as its context.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"
#include "support/scene_json.h"
#include "windows/context.h"

namespace tessaloom::testing {

/// A window of a scene: title and top-left frame.
inline nlohmann::json sceneWindow(const std::string& title, double x, double y, double w,
                                  double h) {
  return {{"title", title}, {"frame", {x, y, w, h}}};
}

/// An application of a scene.
inline nlohmann::json sceneApp(int pid, const std::string& bundleID, const std::string& name,
                               nlohmann::json windows) {
  return {{"pid", pid},
          {"bundleID", bundleID},
          {"name", name},
          {"windows", asArray(std::move(windows))}};
}

/// One 1440 x 900 screen with a 25-point bar on top, as the platform reports it.
inline nlohmann::json oneScreen() {
  return nlohmann::json::array(
      {{{"name", "Built-in"}, {"frame", {0, 0, 1440, 900}}, {"visible", {0, 0, 1440, 875}}}});
}

class SimDesktopTest : public ::testing::Test {
 protected:
  /// Loads `scene` (screens default to oneScreen()).
  void load(nlohmann::json scene) {
    scene = normalizedScene(std::move(scene));
    if (!scene.contains("screens")) scene["screens"] = oneScreen();
    auto desktop = platform::SimDesktop::fromJson(scene.dump(), queue_);
    ASSERT_TRUE(desktop) << desktop.error();
    desktop_ = std::move(*desktop);
  }

  Context context() { return {*desktop_, settings_, queue_}; }
  platform::SimDesktop& desktop() { return *desktop_; }
  platform::CallLog& log() { return desktop_->log(); }

  platform::VirtualMainQueue queue_;
  platform::MemoryDefaults defaults_;
  Settings settings_{defaults_};
  std::unique_ptr<platform::SimDesktop> desktop_;
};

}  // namespace tessaloom::testing
