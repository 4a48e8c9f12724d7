// A tray application on the simulated desktop: a scene, in-memory defaults, the virtual clock
// and the recording fakes of every tray service, handed to one delegate.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "menubar/app_delegate.h"
#include "platform/sim/memory_defaults.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"
#include "settings/settings.h"

namespace tessaloom::testing {

/// Three browser windows, one AI window and one window of an ignored application on one
/// 1920 x 1080 screen, trusted or not.
inline std::string deskScene(bool trusted) {
  return std::string(R"({"trusted": )") + (trusted ? "true" : "false") + R"(,
  "screens": [{"name": "Built-in", "frame": [0, 0, 1920, 1080], "visible": [0, 0, 1920, 1055]}],
  "frontmost": 101,
  "apps": [
    {"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome", "windows": [
      {"title": "Docs", "frame": [100, 100, 800, 600]},
      {"title": "Mail", "frame": [150, 150, 900, 700]}]},
    {"pid": 102, "bundleID": "com.apple.Safari", "name": "Safari", "windows": [
      {"title": "Apple", "frame": [300, 200, 1000, 700]}]},
    {"pid": 201, "bundleID": "com.openai.chat", "name": "ChatGPT", "windows": [
      {"title": "ChatGPT", "frame": [500, 300, 700, 600]}]},
    {"pid": 301, "bundleID": "com.apple.finder", "name": "Finder", "windows": [
      {"title": "Home", "frame": [50, 60, 700, 500]}]}
  ]})";
}

class TrayTest : public ::testing::Test {
 protected:
  ~TrayTest() override { app.reset(); }

  /// Plays `scene`; the clock starts at 0.
  void load(std::string_view scene) {
    auto loaded = platform::SimDesktop::fromJson(scene, queue);
    ASSERT_TRUE(loaded) << loaded.error();
    desktop = std::move(*loaded);
    ctx.emplace(Context{*desktop, settings, queue});
  }

  /// The delegate of this test, created on first use.
  AppDelegate& delegate() {
    if (!app) app = std::make_unique<AppDelegate>(*ctx, services);
    return *app;
  }

  /// Loads `scene` and runs the launch sequence.
  void launch(std::string_view scene) {
    load(scene);
    delegate().applicationDidFinishLaunching();
  }

  /// The text of the latest overlay plate; empty when none was shown.
  std::string lastMessage() const {
    const auto& plates = ui.overlay.plates();
    return plates.empty() ? std::string() : plates.back()->content.text;
  }

  platform::VirtualMainQueue queue;
  platform::MemoryDefaults defaults;
  Settings settings{defaults};
  std::unique_ptr<platform::SimDesktop> desktop;
  std::optional<Context> ctx;
  platform::SimUi ui;
  platform::UiServices services = ui.services(true);
  std::unique_ptr<AppDelegate> app;
};

}  // namespace tessaloom::testing
