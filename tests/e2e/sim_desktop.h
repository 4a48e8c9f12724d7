// The simulated desktop: a scene file (TESSALOOM_SCENE) the program reads and writes back.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "e2e/desktop.h"

namespace tessaloom::e2e {

/// One 1920x1080 screen, or two side by side; a 40-row panel along the bottom of the last.
inline std::vector<Monitor> panelledMonitors(int count) {
  if (count == 1) return {{"screen", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
  return {{"LEFT", {0, 0, 960, 1080}, {0, 0, 960, 1080}},
          {"RIGHT", {960, 0, 960, 1080}, {960, 0, 960, 1040}}};
}

class SimDesktop : public Desktop {
 public:
  std::string start(const std::filesystem::path& folder, int monitors) override {
    std::filesystem::create_directories(folder);
    file_ = folder / "scene.json";
    monitors_ = panelledMonitors(monitors);
    Json scene = {{"screens", Json::array()}, {"apps", Json::array()}};
    for (const auto& m : monitors_)  // y up from the primary screen's bottom
      scene["screens"].push_back(
          {{"name", m.name},
           {"frame", {m.frame.x, 1080 - m.frame.maxY(), m.frame.width, m.frame.height}},
           {"visible", {m.usable.x, 1080 - m.usable.maxY(), m.usable.width, m.usable.height}}});
    write(scene);
    return "";
  }
  Environment environment() const override {
    return {{"TESSALOOM_SCENE", file_.string()}};  // the scene wins over any display
  }
  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    Json scene = read();
    scene["frontmost"] = ++pid_;  // a freshly opened application has the focus
    scene["apps"].push_back({{"pid", pid_},
                             {"bundleID", app.identifier},
                             {"name", app.name},
                             {"windows", windowsJson(windows)}});
    write(scene);
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult quit(const App& app) override {
    Json scene = read(), kept = Json::array(), installed = Json::array();
    for (const auto& a : scene["apps"])  // started again, it opens the windows it had
      if (a["bundleID"] != app.identifier)
        kept.push_back(a);
      else
        installed.push_back(
            {{"bundleID", app.identifier}, {"name", app.name}, {"windows", a["windows"]}});
    scene["apps"] = kept;
    scene.erase("frontmost");
    scene["installed"] = installed;
    write(scene);
    return ::testing::AssertionSuccess();
  }
  std::vector<SeenWindow> windows() override {
    std::vector<SeenWindow> seen;
    const Json scene = read();
    for (const auto& app : scene["apps"])
      for (const auto& w : app["windows"]) {
        const auto f = w["frame"].get<std::vector<double>>();
        const Rect frame(f[0], f[1], f[2], f[3]);
        // A window that fills its monitor's usable area is what a maximized one looks like.
        const bool maximized =
            std::ranges::any_of(monitors_, [&](const Monitor& m) { return m.usable == frame; });
        seen.push_back({app["bundleID"], w.value("title", ""), frame, maximized});
      }
    return seen;
  }
  std::vector<Monitor> monitors() override { return monitors_; }
  ::testing::AssertionResult pointAt(int monitor) override {
    Json scene = read();
    const Rect& m = monitors_[static_cast<std::size_t>(monitor)].frame;
    scene["mouse"] = {m.midX(), 1080 - m.midY()};
    write(scene);
    return ::testing::AssertionSuccess();
  }

 private:
  using Json = nlohmann::json;
  Json windowsJson(const std::vector<WindowSpec>& windows) const {
    Json list = Json::array();
    for (const auto& w : windows) {
      const Rect f = w.maximized ? monitors_.front().usable : w.frame;
      list.push_back({{"title", w.title}, {"frame", {f.x, f.y, f.width, f.height}}});
      if (w.vanishes) list.back()["vanishes"] = true;
    }
    return list;
  }
  // A window that vanishes is gone once the program has written the scene back: it moved
  // something, so it placed that window too.
  Json read() {
    Json scene = Json::parse(std::ifstream(file_));
    if (scene.dump() == written_) return scene;
    for (auto& app : scene["apps"]) {
      Json kept = Json::array();
      for (const auto& w : app["windows"])
        if (!w.value("vanishes", false)) kept.push_back(w);
      app["windows"] = kept;
    }
    write(scene);
    return scene;
  }
  void write(const Json& scene) {
    written_ = scene.dump();
    std::ofstream(file_) << written_;
  }

  std::filesystem::path file_;
  std::vector<Monitor> monitors_;
  std::string written_;
  int pid_ = 100;
};

}  // namespace tessaloom::e2e
