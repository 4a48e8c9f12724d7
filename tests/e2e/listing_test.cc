// The listing on a real X desktop: monitors with the area a dock leaves them, and the windows
// of browsers and AI applications with their outer frames as the server reports them.
#include "e2e/program_on_desktop.h"

namespace tessaloom::x11test {
namespace {

using Listing = ProgramOnDesktop;

TEST_P(Listing, PrintsMonitorsWithTheirUsableAreasAndWindowsWithTheirOuterFrames) {
  ASSERT_NO_FATAL_FAILURE(splitScreen());
  // A panel along the bottom of the right monitor only.
  ASSERT_NO_FATAL_FAILURE(openDock(960, 1919, 40));
  const auto chrome = open(kChrome, {{"Quarterly report - Google Docs", "700x500+60+80"},
                                     {"ChatGPT - Summarise the report", "800x600+1000+100"}});
  const auto chat = open(kChat, {{"New chat", "600x450+300+400"}});
  const auto firefox = open(kFirefox, {{"Release notes – Firefox für Linux", "640x480+1200+500"}});
  open(kTerminal, {{"~/src", "500x300+20+700"}});
  ASSERT_EQ(windows_.size(), 5u);

  const auto r = run({"--list"});
  ASSERT_TRUE(endedWith(r, 0));
  // Applications by name, each one's windows in the order they were mapped; a browser page of
  // an AI service counts as AI; the terminal is no target.
  const std::string expected =
      "display LEFT frame=(0.0, 0.0, 960.0, 1080.0) visible=(0.0, 0.0, 960.0, 1080.0)\n"
      "display RIGHT frame=(960.0, 0.0, 960.0, 1080.0) visible=(960.0, 0.0, 960.0, 1040.0)\n"
      "[AI] ChatGPT | New chat | " +
      rectText(frameOf(chat[0])) +
      "\n"
      "[ブラウザ] Firefox | Release notes – Firefox für Linux | " +
      rectText(frameOf(firefox[0])) +
      "\n"
      "[ブラウザ] Google Chrome | Quarterly report - Google Docs | " +
      rectText(frameOf(chrome[0])) +
      "\n"
      "[AI] Google Chrome | ChatGPT - Summarise the report | " +
      rectText(frameOf(chrome[1])) + "\n";
  EXPECT_EQ(r.out, expected);
  // The frames are the manager's: decorations included, so larger than the client.
  EXPECT_GT(frameOf(chat[0]).height, 450);
}

TEST_P(Listing, AWholeScreenPanelShrinksTheOnlyMonitor) {
  ASSERT_NO_FATAL_FAILURE(openDock(0, 1919, 32));
  const auto r = run({"--list"});
  ASSERT_TRUE(endedWith(r, 0));
  EXPECT_EQ(r.out,
            "display screen frame=(0.0, 0.0, 1920.0, 1080.0) visible=(0.0, 0.0, 1920.0, 1048.0)\n");
}

INSTANTIATE_TEST_SUITE_P(Managers, Listing, ::testing::Values("openbox", "fluxbox"), managerName);

}  // namespace
}  // namespace tessaloom::x11test
