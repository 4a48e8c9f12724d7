// Saving an arrangement and restoring it after an application was quit: the program starts the
// application from its desktop entry, waits for its windows and puts every window back.
#include "e2e/program_on_desktop.h"

namespace tessaloom::x11test {
namespace {

using SaveRestore = ProgramOnDesktop;

const std::vector<ExpectedDisplay> kScreen = {{"screen", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};

TEST_P(SaveRestore, RestoreStartsAQuitApplicationAndPutsItsWindowsBack) {
  const auto chrome = open(kChrome, {{"Docs", "800x600+100+100"}});
  std::vector<WindowSpec> launched;
  for (const auto& [title, geometry] : kChatLaunchWindows) launched.push_back({title, geometry});
  const auto chat = open(kChat, launched);
  ASSERT_EQ(windows_.size(), 3u);

  // An arrangement of the user's own, unlike where the application opens its windows.
  const auto columns = plannedFrames({"--apply", "columns"}, kScreen, pointer());
  ASSERT_TRUE(endedWith(run({"--apply", "columns"}), 0));
  ASSERT_TRUE(settleAt(columns));
  auto r = run({"--save"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "保存: 3枚\n");
  const auto saved = framesNow();

  ASSERT_TRUE(endedWith(run({"--apply", "cascade"}), 0));
  ASSERT_TRUE(quitClient(chat[0].client));

  r = run({"--restore"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "復元: 3枚\n");

  // The application is back with both windows, each in its saved frame.
  std::map<std::string, xcb_window_t> relaunched;
  for (xcb_window_t w : probe_->clients())
    if (classOf(w) == kChat.wmClass) relaunched[titleOf(w)] = w;
  ASSERT_EQ(relaunched.size(), 2u);
  ASSERT_TRUE(relaunched.count("New chat") && relaunched.count("Project notes"));
  EXPECT_TRUE(settleAt({{chrome[0].id, saved.at(chrome[0].id)},
                        {relaunched["New chat"], saved.at(chat[0].id)},
                        {relaunched["Project notes"], saved.at(chat[1].id)}}));
  // Not where the application opened them by itself.
  EXPECT_FALSE(near(saved.at(chat[0].id), Rect(700, 120, 640, 480), 40));
}

TEST_P(SaveRestore, RestoringWithEveryApplicationRunningNeedsNoLaunch) {
  const auto chrome = open(kChrome, {{"Docs", "800x600+100+100"}, {"Mail", "700x500+400+300"}});
  auto r = run({"--save"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "保存: 2枚\n");
  const auto saved = framesNow();
  ASSERT_TRUE(endedWith(run({"--apply", "grid"}), 0));
  r = run({"--restore"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out, "復元: 2枚\n");
  EXPECT_TRUE(settleAt(saved));
  EXPECT_EQ(probe_->clients().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Managers, SaveRestore, ::testing::Values("openbox", "fluxbox"),
                         managerName);

}  // namespace
}  // namespace tessaloom::x11test
