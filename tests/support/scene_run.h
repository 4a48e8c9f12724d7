// Runs the program on a scene file of a test's own: the oracle for what the program plans on a
// real desktop with the same screens, pointer, applications, windows and settings.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_program.h"
#include "support/scene_json.h"

namespace tessaloom::testing {

struct SceneRunResult {
  ProgramResult result;
  /// The frames of every window of the scene as the run left it, in scene order.
  std::vector<std::vector<double>> frames;
};

/// Runs the program with `args` on `scene`, written into `folder`, with a copy of the settings
/// file `defaults` when there is one (the original is never touched).
inline SceneRunResult runOnScene(const std::filesystem::path& folder, const nlohmann::json& scene,
                                 const std::filesystem::path& defaults,
                                 const std::vector<std::string>& args) {
  std::filesystem::create_directories(folder);
  std::filesystem::remove(folder / "defaults.json");
  if (std::filesystem::exists(defaults))
    std::filesystem::copy_file(defaults, folder / "defaults.json");
  std::ofstream(folder / "scene.json") << normalizedScene(scene).dump(2);
  SceneRunResult run;
  run.result = runProgram(TESSALOOM_BINARY, args,
                          {{"TESSALOOM_SCENE", (folder / "scene.json").string()},
                           {"TESSALOOM_DEFAULTS", (folder / "defaults.json").string()},
                           {"-DISPLAY", ""}},
                          30);
  nlohmann::json after;
  std::ifstream(folder / "scene.json") >> after;
  for (const auto& app : after["apps"])
    for (const auto& w : app["windows"])
      run.frames.push_back(w["frame"].get<std::vector<double>>());
  return run;
}

}  // namespace tessaloom::testing
