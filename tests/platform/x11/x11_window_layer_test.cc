// The window layer over the X11 backend: discovery lists what the manager shows, and a frame
// application (writes, one settle delay, verification) lands every window, maximized ones too,
// with reads after the delay seeing the new frames.
#include <gtest/gtest.h>

#include <map>

#include "platform/glib/glib_main_queue.h"
#include "platform/posix/file_defaults.h"
#include "platform/services.h"
#include "platform/x11/x11_window_cache.h"
#include "settings/settings.h"
#include "windows/window_manager.h"
#include "x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

class WindowLayer : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    defaults_ = std::make_unique<platform::FileDefaults>((dir_.path() / "defaults.json").string());
    platform::install({&desktop_->accessibility(), &desktop_->workspace(), &desktop_->screens(),
                       defaults_.get(), &queue_});
    Settings::shared().setOverrides({{"browserish", Kind::browser}, {"chatty", Kind::ai}});
  }
  void TearDown() override {
    platform::install({});
    DesktopTest::TearDown();
  }

  platform::GlibMainQueue queue_;
  std::unique_ptr<platform::FileDefaults> defaults_;
};

TEST_P(WindowLayer, DiscoversAndArrangesEveryWindowWithinTolerance) {
  const auto browser =
      open({"--window", "--class", "browserish,Browserish", "--title", "Page", "--geometry",
            "500x400+30+40", "--window", "--title", "Maxed", "--state", "maximized", "--window",
            "--title", "Tiny", "--geometry", "150x100+0+0"});
  const auto chat = open({"--window", "--class", "chatty,Chatty", "--title", "Chat", "--geometry",
                          "600x500+700+300", "--window", "--type", "dialog"});
  open({"--window", "--class", "ignored,Ignored", "--geometry", "600x500+100+100"});
  ASSERT_TRUE(probe_->waitUntil(
      [&] { return probe_->hasState(browser[1], "_NET_WM_STATE_MAXIMIZED_VERT"); }, 5));

  const auto windows = WindowManager::targetWindows();
  // The tiny window, the dialog and the unclassified application are no targets.
  ASSERT_EQ(windows.size(), 3u);
  std::map<std::string, xcb_window_t> ids = {
      {"Page", browser[0]}, {"Maxed", browser[1]}, {"Chat", chat[0]}};
  for (const auto& w : windows) {
    ASSERT_TRUE(ids.count(w.title())) << w.title();
    EXPECT_EQ(w.frame(), *probe_->outerFrame(ids[w.title()])) << w.title();
  }
  EXPECT_EQ(windows[0].kind(), Kind::browser);
  EXPECT_EQ(windows[2].kind(), Kind::ai);

  LayoutPlan plan;
  const Rect targets[] = {{0, 0, 960, 540}, {960, 0, 960, 540}, {0, 540, 1920, 540}};
  for (std::size_t i = 0; i < windows.size(); ++i) plan.push_back({windows[i], targets[i]});
  WindowManager::apply(plan);

  for (std::size_t i = 0; i < windows.size(); ++i)
    EXPECT_TRUE(settlesAt(ids[windows[i].title()], targets[i])) << windows[i].title();
  // A later discovery reads the new frames.
  const auto after = WindowManager::targetWindows();
  ASSERT_EQ(after.size(), 3u);
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_NEAR(after[i].frame().x, targets[i].x, 2);
    EXPECT_NEAR(after[i].frame().width, targets[i].width, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, WindowLayer, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
