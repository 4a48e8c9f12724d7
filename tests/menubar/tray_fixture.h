// A tray application on the simulated desktop: a scene, in-memory defaults, the virtual clock
// and the recording fakes of every tray service, installed for the length of one test.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "menubar/app_delegate.h"
#include "menubar/hot_key_center.h"
#include "menubar/hud.h"
#include "platform/services.h"
#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"

namespace tessaloom::testing {

class TrayTest : public ::testing::Test {
 protected:
  ~TrayTest() override {
    app.reset();
    platform::install({});
  }

  /// Plays `scene` (a scene document) and installs every service; the clock starts at 0.
  void load(std::string_view scene) {
    std::string error;
    desktop = platform::SimDesktop::fromJson(scene, queue, error);
    ASSERT_TRUE(desktop) << error;
    platform::Services s;
    s.accessibility = desktop.get();
    s.workspace = desktop.get();
    s.screens = desktop.get();
    s.defaults = &defaults;
    s.mainQueue = &queue;
    ui.installInto(s, withUpdater);
    platform::install(s);
    ui.installation.info.insert_or_assign("CFBundleShortVersionString",
                                          platform::DefaultsValue("0.1.0"));
  }

  /// The delegate of this test, created on first use.
  AppDelegate& delegate() {
    if (!app) app = std::make_unique<AppDelegate>(hotKeys, hud);
    return *app;
  }

  /// Loads `scene` and runs the launch sequence.
  void launch(std::string_view scene) {
    load(scene);
    delegate().applicationDidFinishLaunching();
  }

  /// The text and symbol of the latest overlay plate; empty when none was shown.
  std::pair<std::string, std::string> lastMessage() const {
    const auto& plates = ui.overlay.plates();
    if (plates.empty()) return {};
    return {plates.back()->content.text, plates.back()->content.symbol};
  }

  bool withUpdater = false;
  platform::VirtualMainQueue queue;
  platform::MemoryDefaults defaults;
  std::unique_ptr<platform::SimDesktop> desktop;
  platform::SimUi ui;
  HotKeyCenter hotKeys{&ui.hotKeys, &queue};
  HUD hud;
  std::unique_ptr<AppDelegate> app;
};

}  // namespace tessaloom::testing
