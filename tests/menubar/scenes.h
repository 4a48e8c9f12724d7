// Scenes of the tray tests: three browser windows, one AI window and one window of an ignored
// application on one screen, trusted or not.
#pragma once

#include <string>

namespace tessaloom::testing {

inline std::string deskScene(bool trusted) {
  return std::string(R"({"trusted": )") + (trusted ? "true" : "false") + R"(,
  "self": 42,
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

/// The same screen with no application.
inline std::string emptyScene(bool trusted) {
  return std::string(R"({"trusted": )") + (trusted ? "true" : "false") + R"(,
  "self": 42,
  "screens": [{"name": "Built-in", "frame": [0, 0, 1920, 1080], "visible": [0, 0, 1920, 1055]}]
  })";
}

}  // namespace tessaloom::testing
