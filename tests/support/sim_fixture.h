// A test fixture over the simulated desktop, an in-memory defaults store and a virtual clock,
// installed as the platform for the duration of one test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/services.h"
#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"

namespace tessaloom::testing {

/// A window of a scene: title and top-left frame.
inline nlohmann::json sceneWindow(const std::string& title, double x, double y, double w,
                                  double h) {
  return {{"title", title}, {"frame", {x, y, w, h}}};
}

/// An application of a scene.
inline nlohmann::json sceneApp(int pid, const std::string& bundleID, const std::string& name,
                               nlohmann::json windows) {
  return {{"pid", pid}, {"bundleID", bundleID}, {"name", name}, {"windows", std::move(windows)}};
}

/// One 1440 x 900 screen with a 25-point bar on top, as the platform reports it.
inline nlohmann::json oneScreen() {
  return nlohmann::json::array(
      {{{"name", "Built-in"}, {"frame", {0, 0, 1440, 900}}, {"visible", {0, 0, 1440, 875}}}});
}

class SimDesktopTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::install({}); }

  /// Loads `scene` (screens default to oneScreen()) and installs it as the platform.
  void load(nlohmann::json scene) {
    if (!scene.contains("screens")) scene["screens"] = oneScreen();
    std::string error;
    desktop_ = platform::SimDesktop::fromJson(scene.dump(), queue_, error);
    ASSERT_TRUE(desktop_) << error;
    platform::install({desktop_.get(), desktop_.get(), desktop_.get(), &defaults_, &queue_});
  }

  Settings settings() { return Settings(&defaults_); }
  platform::SimDesktop& desktop() { return *desktop_; }
  platform::CallLog& log() { return desktop_->log(); }

  platform::VirtualMainQueue queue_;
  platform::MemoryDefaults defaults_;
  std::unique_ptr<platform::SimDesktop> desktop_;
};

}  // namespace tessaloom::testing
