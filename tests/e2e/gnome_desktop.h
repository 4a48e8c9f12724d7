// GNOME Shell for the scenarios: a headless Shell with the program's extension
// (desktop-session.sh), windows, monitors and the pointer read from the extension's Facts
// call, keys and pointer moves sent through the Shell's remote desktop interface.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "e2e/wayland_desktop.h"

namespace tessaloom::e2e {

class GnomeDesktop : public SessionDesktop {
 public:
  /// `extension`: "enabled", or how it fails (see desktop-session.sh).
  explicit GnomeDesktop(std::string extension = "enabled") : extension_(std::move(extension)) {}

  std::string start(const std::filesystem::path& folder, int monitors) override {
    for (const std::string program : {"gnome-shell", "gjs", "gdbus", "dbus-run-session"})
      if (!testing::onPath(program)) return program + " is not installed";
    const auto version = testing::runProgram("gnome-shell", {"--version"}, {}, 10).out;
    // GNOME 43 and 44 load the older flavour of the extension.
    const bool legacy = version.find("Shell 43.") != std::string::npos ||
                        version.find("Shell 44.") != std::string::npos;
    const auto built = std::filesystem::path(TESSALOOM_BINARY).parent_path() / "extension" /
                       (legacy ? "legacy" : "module") / "tessaloom@tessaloom.github.io";
    if (!std::filesystem::exists(built)) return "the GNOME Shell extension is not built";
    // The scenarios read the Shell through a copy of gdbus the extension trusts as it trusts
    // the program; gdbus itself stays a stranger.
    const auto extension = folder / "trusting" / built.filename();
    std::filesystem::create_directories(extension.parent_path());
    using Copy = std::filesystem::copy_options;
    std::filesystem::copy(built, extension, Copy::recursive | Copy::overwrite_existing);
    std::filesystem::copy_file(testing::findProgram("gdbus"), observer_ = folder / "observer",
                               Copy::overwrite_existing);
    std::ofstream(extension / "trusted", std::ios::app) << observer_.string() << "\n";
    std::vector<std::string> argv = {script("desktop-session.sh"), "gnome", folder.string(),
                                     extension.string()};
    for (int i = 0; i < monitors; ++i) argv.push_back("1920x1080");
    return startSession(folder, argv, {"TESSALOOM_EXTENSION_STATE=" + extension_});
  }

  std::vector<Monitor> monitors() override {
    const auto f = facts();
    std::vector<Monitor> all;
    for (std::size_t i = 0; i < f["monitors"].size(); ++i) {
      const auto& m = f["monitors"][i];
      const Monitor monitor{"Monitor " + std::to_string(i + 1), local(f, m["frame"]),
                            local(f, m["workArea"])};
      all.insert(i == f.value("primary", 0u) ? all.begin() : all.end(), monitor);
    }
    return all;
  }

  ::testing::AssertionResult pointAt(int monitor) override {
    const Rect target = monitors().at(static_cast<std::size_t>(monitor)).frame;
    const auto pointer = [&] {
      const auto f = facts();
      return local(f, {f["pointer"][0], f["pointer"][1], 0, 0}).origin();
    };
    // A relative motion from the screen's corner may lose a part (GNOME 51): moved again from
    // wherever it got to, towards the monitor's middle.
    for (int attempt = 0; attempt < 3; ++attempt) {
      const Point from = pointer();
      runInSession(
          "gjs", {script("gnome/press-keys.js"), "--pointer",
                  std::to_string(target.midX() - from.x), std::to_string(target.midY() - from.y)});
      if (testing::waitUntil([&] { return target.insetBy(50, 50).contains(pointer()); }, 2))
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the pointer did not reach monitor " << monitor;
  }

  bool press(char letter) override {
    return runInSession(
               "gjs", {script("gnome/press-keys.js"), "Control_L", "Alt_L", std::string(1, letter)})
               .status == 0;
  }

  // Through mutter's display configuration, as the Settings panel does.
  bool showMonitors(int count) override {
    const auto config = [&](const std::string& method, std::vector<std::string> args) {
      args.insert(args.begin(), {"call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig",
                                 "--object-path", "/org/gnome/Mutter/DisplayConfig", "--method",
                                 "org.gnome.Mutter.DisplayConfig." + method});
      return runInSession("gdbus", args);
    };
    unsigned serial = 0;
    if (std::sscanf(config("GetCurrentState", {}).out.c_str(), "(uint32 %u,", &serial) != 1)
      return false;
    std::string lit;  // the first `count` of the monitors, side by side
    for (int i = 0; i < count; ++i)
      lit += std::string(i ? ", " : "") + "(" + std::to_string(1920 * i) + ", 0, 1.0, 0, " +
             (i ? "false" : "true") + ", [('Meta-" + std::to_string(i) +
             "', '1920x1080@60.000', @a{sv} {})])";
    return config("ApplyMonitorsConfig",
                  {std::to_string(serial), "1", "[" + lit + "]", "@a{sv} {}"})
                   .status == 0 &&
           waitFor([&] { return monitors().size() == std::size_t(count); }, 5, "");
  }

  bool switchChannel() override {
    for (const bool on : {false, true}) {
      runInSession("gdbus", {"call", "--session", "--dest", "org.gnome.Shell", "--object-path",
                             "/org/gnome/Shell", "--method",
                             on ? "org.gnome.Shell.Extensions.EnableExtension"
                                : "org.gnome.Shell.Extensions.DisableExtension",
                             "tessaloom@tessaloom.github.io"});
      if (!waitFor([&] { return (call("Facts").status == 0) == on; }, 10, "")) return false;
    }
    return true;
  }

  /// Calls the extension's `method` as a client of its own would, or as a `stranger`: gdbus.
  testing::ProgramResult call(const std::string& method, std::vector<std::string> args = {},
                              bool stranger = false) const {
    args.insert(args.begin(), {"call", "--session", "--dest", "org.tessaloom.Shell", "--timeout",
                               "5", "--object-path", "/org/tessaloom/Shell", "--method",
                               "org.tessaloom.Shell." + method});
    return runInSession(stranger ? "gdbus" : observer_.string(), args);
  }

  nlohmann::json facts() const {
    const auto r = call("Facts");
    // gdbus prints ('TEXT',) with a backslash before each ' and \ of TEXT.
    std::string text;
    const auto open = r.out.find('\''), close = r.out.rfind('\'');
    for (auto i = open + 1; open != std::string::npos && i < close; ++i) {
      if (r.out[i] == '\\') ++i;
      text += r.out[i];
    }
    const auto parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_discarded()) return parsed;
    return {{"windows", nlohmann::json::array()},
            {"monitors", nlohmann::json::array()},
            {"pointer", {0, 0}}};
  }

  /// The Shell's process, as the bus knows it; 0 when it has none.
  pid_t shellPid() const {
    const auto r = runInSession(
        "gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                  "/org/freedesktop/DBus", "--method",
                  "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.gnome.Shell"});
    return std::atoi(r.out.substr(std::min(r.out.find(' '), r.out.size())).c_str());
  }

 protected:
  // In creation order.
  std::vector<std::pair<SeenWindow, int>> shown() override {
    const auto f = facts();
    std::vector<nlohmann::json> all(f["windows"].begin(), f["windows"].end());
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a["sequence"] < b["sequence"]; });
    std::vector<std::pair<SeenWindow, int>> seen;
    for (const auto& w : all)
      if (const App* app = appNamed(w.value("wmClass", "")))
        seen.emplace_back(
            SeenWindow{app->identifier, w["title"], local(f, w["frame"]), w["maximized"]},
            w["pid"]);
    return seen;
  }

 private:
  // A rectangle of the Shell's space in the primary monitor's.
  static Rect local(const nlohmann::json& f, const nlohmann::json& r) {
    const auto& monitors = f["monitors"];
    const auto origin =
        monitors.empty() ? nlohmann::json{0, 0} : monitors[f.value("primary", 0u)]["frame"];
    return Rect(r[0].get<double>() - origin[0].get<double>(),
                r[1].get<double>() - origin[1].get<double>(), r[2], r[3]);
  }

  std::string extension_;
  std::filesystem::path observer_;
};

}  // namespace tessaloom::e2e
