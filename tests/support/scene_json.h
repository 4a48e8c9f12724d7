// Building scene documents in tests. A brace list of one JSON value is that value itself under
// some compilers and a one-element array under others, so lists are normalised here.
#pragma once

#include <nlohmann/json.hpp>

namespace tessaloom::testing {

/// `value` as an array: itself when it is one, else a one-element array holding it.
inline nlohmann::json asArray(nlohmann::json value) {
  return value.is_array() ? value : nlohmann::json::array({std::move(value)});
}

/// The scene with its "apps", "installed", "screens" and every "windows" list made arrays.
inline nlohmann::json normalizedScene(nlohmann::json scene) {
  for (const char* key : {"apps", "installed", "screens"}) {
    if (!scene.contains(key)) continue;
    scene[key] = asArray(scene[key]);
    for (auto& item : scene[key])
      if (item.is_object() && item.contains("windows")) item["windows"] = asArray(item["windows"]);
  }
  return scene;
}

}  // namespace tessaloom::testing
