// The simulated desktop: a scene file (TESSALOOM_SCENE) that the program reads and writes back.
// Restore launches an application from the scene's installed list instead of its Exec line.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/desktop.h"

namespace tessaloom::e2e {

/// One 1920x1080 screen, or two side by side; a 40-row panel along the bottom of the last.
inline std::vector<Monitor> panelledMonitors(int count, const std::vector<std::string>& names) {
  std::vector<Monitor> monitors;
  const double width = 1920.0 / count;
  for (int i = 0; i < count; ++i) {
    const Rect frame(width * i, 0, width, 1080);
    const Rect usable(frame.x, 0, width, i == count - 1 ? 1040 : 1080);
    monitors.push_back({names[static_cast<std::size_t>(i)], frame, usable});
  }
  return monitors;
}

class SimDesktop : public Desktop {
 public:
  std::string start(const std::filesystem::path& folder, int monitors) override {
    file_ = folder / "scene.json";
    std::filesystem::create_directories(folder);
    monitors_ = panelledMonitors(monitors, monitors == 1 ? std::vector<std::string>{"screen"}
                                                         : std::vector<std::string>{"L", "R"});
    Json scene = {{"screens", Json::array()}, {"apps", Json::array()}};
    for (const auto& m : monitors_)
      scene["screens"].push_back(
          {{"name", m.name}, {"frame", flipped(m.frame)}, {"visible", flipped(m.usable)}});
    write(scene);
    return "";
  }
  Environment environment() const override {
    return {{"TESSALOOM_SCENE", file_.string()}, {"-DISPLAY", ""}, {"-WAYLAND_DISPLAY", ""}};
  }
  std::string launchCommand(const App& app, const std::vector<WindowSpec>& windows) const override {
    launches_[app.identifier] = windows;
    return "false";
  }
  ::testing::AssertionResult open(const App& app, const std::vector<WindowSpec>& windows) override {
    Json scene = read();
    const int pid = 100 + static_cast<int>(scene["apps"].size()) + quits_;
    scene["apps"].push_back({{"pid", pid},
                             {"bundleID", app.identifier},
                             {"name", app.name},
                             {"windows", windowsJson(windows)}});
    scene["frontmost"] = pid;  // a freshly opened application has the focus
    write(scene);
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult quit(const App& app) override {
    Json scene = read();
    auto& apps = scene["apps"];
    for (auto it = apps.begin(); it != apps.end();) {
      if ((*it)["bundleID"] != app.identifier) {
        ++it;
        continue;
      }
      if (scene.value("frontmost", 0) == (*it)["pid"]) scene.erase("frontmost");
      it = apps.erase(it);
    }
    scene["installed"] = Json::array({{{"bundleID", app.identifier},
                                       {"name", app.name},
                                       {"windows", windowsJson(launches_[app.identifier])}}});
    ++quits_;
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
        bool maximized = false;
        for (const auto& m : monitors_) maximized = maximized || frame == m.usable;
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
  // The scene keeps the bottom-left convention, y up from the primary screen's bottom.
  static Json flipped(const Rect& r) { return {r.x, 1080 - r.maxY(), r.width, r.height}; }
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
    std::ifstream in(file_);
    Json scene = Json::parse(in);
    if (scene.dump(2) == written_) return scene;
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
    written_ = scene.dump(2);
    std::ofstream(file_) << written_;
  }

  std::filesystem::path file_;
  std::vector<Monitor> monitors_;
  std::string written_;
  mutable std::map<std::string, std::vector<WindowSpec>> launches_;
  int quits_ = 0;
};

}  // namespace tessaloom::e2e
