// The fixture of the X11 backend's tests on a real server: a private Xvfb and window manager per
// test (the test's parameter names the manager), the backend connected to it, and test clients.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/x11_desktop.h"
#include "support/x11_desktop.h"

namespace tessaloom::x11test {

using platform::AppFacts;
using platform::WindowFacts;

/// The test client program built next to the main binary.
inline std::string testClientPath() {
  return (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string();
}

/// The XDG data directory the test program set up before any test (desktop entries).
const std::filesystem::path& testDataHome();

class DesktopTest : public ::testing::TestWithParam<std::string>, protected PrivateDesktop {
 protected:
  void SetUp() override {
    if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    const std::string error = startDesktop(GetParam());
    ASSERT_TRUE(error.empty()) << error;
    auto connected = platform::X11Desktop::connect(server_->display());
    ASSERT_TRUE(connected) << connected.error();
    desktop_ = std::move(*connected);
  }

  void TearDown() override {
    desktop_.reset();
    clients_.clear();
    stopDesktop();
  }

  /// Starts a test client with `args` and waits until the manager has framed all its windows.
  std::vector<xcb_window_t> open(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {testClientPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto process = Process::start(argv, {"DISPLAY=" + server_->display()},
                                  (dir_.path() / "client.log").string());
    EXPECT_TRUE(process) << "cannot start the test client";
    if (!process) return {};
    auto line = process->readLine(after(25));  // the client gives up after 20 s
    std::vector<xcb_window_t> windows;
    EXPECT_TRUE(line && line->rfind("ready", 0) == 0) << "client not ready: " << line.value_or("");
    if (line) {
      std::stringstream in(line->substr(line->find(' ') + 1));
      for (unsigned long id = 0; in >> id;) windows.push_back(static_cast<xcb_window_t>(id));
    }
    EXPECT_TRUE(probe_->waitUntil(
        [&] {
          for (auto w : windows)
            if (!probe_->framed(w)) return false;
          return true;
        },
        10))
        << "the manager did not frame the client's windows";
    clients_.push_back(std::move(process));
    return windows;
  }

  /// The running application with this desktop-entry id, as a fresh discovery finds it.
  std::optional<AppFacts> app(const std::string& id) {
    for (auto& a : desktop_->applications())
      if (a.id == id) return a;
    return std::nullopt;
  }

  /// The windows of the application with this id (a fresh discovery).
  std::vector<WindowFacts> windowsOf(const std::string& id) {
    const auto a = app(id);
    return a ? desktop_->windows(a->pid).value_or(std::vector<WindowFacts>{})
             : std::vector<WindowFacts>{};
  }

  /// Waits until the manager's frame around `w` is within `tolerance` of `target`.
  ::testing::AssertionResult settlesAt(xcb_window_t w, const Rect& target, double tolerance = 2,
                                       double seconds = 3) {
    auto near = [&](const std::optional<Rect>& f) {
      return f && std::fabs(f->x - target.x) <= tolerance &&
             std::fabs(f->y - target.y) <= tolerance &&
             std::fabs(f->width - target.width) <= tolerance &&
             std::fabs(f->height - target.height) <= tolerance;
    };
    if (probe_->waitUntil([&] { return near(probe_->outerFrame(w)); }, seconds))
      return ::testing::AssertionSuccess();
    const auto f = probe_->outerFrame(w);
    return ::testing::AssertionFailure()
           << "frame " << (f ? describe(*f) : "gone") << " instead of " << describe(target);
  }

  /// Runs xrandr on the test's display with `args`.
  void xrandr(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"xrandr"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto process = Process::start(argv, {"DISPLAY=" + server_->display()});
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->waitExit(after(10)));
  }

  std::unique_ptr<platform::X11Desktop> desktop_;
  std::vector<std::unique_ptr<Process>> clients_;
};

inline std::string managerName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

}  // namespace tessaloom::x11test
