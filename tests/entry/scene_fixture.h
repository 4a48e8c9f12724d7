// Runs the real binary on a scene file in a temporary folder, with its own defaults file.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_program.h"
#include "support/scene_json.h"
#include "support/temp_dir.h"

namespace tessaloom::testing {

class SceneTest : public ::testing::Test {
 protected:
  void writeScene(const nlohmann::json& scene) {
    dir_.write("scene.json", normalizedScene(scene).dump(2));
  }
  nlohmann::json scene() const { return nlohmann::json::parse(dir_.read("scene.json")); }
  nlohmann::json defaults() const {
    return dir_.exists("defaults.json") ? nlohmann::json::parse(dir_.read("defaults.json"))
                                        : nlohmann::json();
  }
  void writeDefaults(const nlohmann::json& d) { dir_.write("defaults.json", d.dump()); }

  ProgramResult run(const std::vector<std::string>& args) {
    return runProgram(TESSALOOM_BINARY, args,
                      {{"TESSALOOM_SCENE", dir_.file("scene.json")},
                       {"TESSALOOM_DEFAULTS", dir_.file("defaults.json")},
                       {"XDG_CONFIG_HOME", dir_.file("config")},
                       {"-DISPLAY", ""}});
  }
  /// The frame of window `index` of the application with `pid`, as the scene now holds it.
  std::vector<double> frame(int pid, int index) const {
    const auto s = scene();
    for (const auto& app : s["apps"])
      if (app["pid"] == pid) return app["windows"][index]["frame"].get<std::vector<double>>();
    return {};
  }

  TempDir dir_;
};

}  // namespace tessaloom::testing
