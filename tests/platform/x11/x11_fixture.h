// The fixture of the X11 end-to-end tests: a private Xvfb and window manager per test (the
// test's parameter names the manager), the backend connected to it, and test clients.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/x11/x11_desktop.h"
#include "x11/x11_harness.h"

namespace tessaloom::x11test {

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
    std::string error = startDesktop(GetParam());
    ASSERT_TRUE(error.empty()) << error;
    desktop_ = platform::X11Desktop::connect(server_->display(), error);
    ASSERT_TRUE(desktop_) << error;
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

  platform::Accessibility& ax() { return desktop_->accessibility(); }
  platform::Workspace& workspace() { return desktop_->workspace(); }

  /// The running application with this identifier.
  std::optional<platform::RunningApplication> app(const std::string& identifier) {
    for (auto& a : workspace().runningApplications())
      if (a.bundleIdentifier == identifier) return a;
    return std::nullopt;
  }

  std::vector<platform::ElementRef> windowsOf(std::int32_t pid) {
    platform::AttributeValue value;
    auto element = ax().createApplication(pid);
    if (ax().copyAttributeValue(element, "AXWindows", value) != platform::AXError::success)
      return {};
    return std::get<std::vector<platform::ElementRef>>(value);
  }

  template <class T>
  std::optional<T> read(const platform::ElementRef& element, const char* attribute) {
    platform::AttributeValue value;
    if (ax().copyAttributeValue(element, attribute, value) != platform::AXError::success)
      return std::nullopt;
    if (auto* v = std::get_if<T>(&value)) return *v;
    return std::nullopt;
  }

  std::optional<Rect> frame(const platform::ElementRef& window) {
    auto position = read<Point>(window, "AXPosition");
    auto size = read<Size>(window, "AXSize");
    if (!position || !size) return std::nullopt;
    return Rect(*position, *size);
  }

  /// The three writes the window layer makes for one window.
  void setFrame(const platform::ElementRef& window, const Rect& r) {
    ax().setAttributeValue(window, "AXSize", Size{r.width, r.height});
    ax().setAttributeValue(window, "AXPosition", Point{r.x, r.y});
    ax().setAttributeValue(window, "AXSize", Size{r.width, r.height});
  }

  /// Waits until the manager's frame around `w` is within `tolerance` of `target`.
  ::testing::AssertionResult settlesAt(xcb_window_t w, const Rect& target, double tolerance = 2,
                                       double seconds = 3) {
    const bool settled = probe_->waitUntil(
        [&] {
          auto f = probe_->outerFrame(w);
          return f && std::fabs(f->x - target.x) <= tolerance &&
                 std::fabs(f->y - target.y) <= tolerance &&
                 std::fabs(f->width - target.width) <= tolerance &&
                 std::fabs(f->height - target.height) <= tolerance;
        },
        seconds);
    if (settled) return ::testing::AssertionSuccess();
    const auto f = probe_->outerFrame(w);
    return ::testing::AssertionFailure()
           << "frame " << (f ? describe(*f) : "gone") << " instead of " << describe(target);
  }

  std::unique_ptr<platform::X11Desktop> desktop_;
  std::vector<std::unique_ptr<Process>> clients_;
};

inline std::string managerName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

}  // namespace tessaloom::x11test
