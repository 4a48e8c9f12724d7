// The program on an X server that fails it: frozen before the command starts, or gone in the
// middle of an arrangement. Either way the command ends soon with status 2 and one line that
// says so.
#include <signal.h>

#include "e2e/program_on_desktop.h"

namespace tessaloom::x11test {
namespace {

using Failures = ProgramOnDesktop;

// The program reports failures like its results, on standard output.
::testing::AssertionResult failedWithOneLine(const testing::ProgramResult& r) {
  const bool oneLine = !r.out.empty() && r.out.find('\n') == r.out.size() - 1;
  if (r.status == 2 && oneLine && r.err.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "status " << r.status << "\nstdout:\n"
                                       << r.out << "stderr:\n"
                                       << r.err;
}

TEST_P(Failures, AFrozenServerFailsTheCommandWithinSeconds) {
  open(kChrome, {{"Docs", "800x600+100+100"}});
  server_->process().signal(SIGSTOP);
  const auto start = Clock::now();
  const auto r = run({"--list"}, 20);
  server_->process().signal(SIGCONT);
  EXPECT_TRUE(failedWithOneLine(r));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
}

TEST_P(Failures, AServerThatDiesMidArrangementFailsTheCommand) {
  open(kChrome, {{"Docs", "800x600+100+100"}, {"Mail", "700x500+400+300"}});
  // Its client kills the server as soon as the manager resizes the window.
  open(kChat, {{"New chat",
                "600x450+900+200",
                {"--kill-on-resize", std::to_string(server_->process().pid())}}});
  ASSERT_EQ(windows_.size(), 3u);
  // The result line may come first; the failure comes last, with status 2.
  const auto r = run({"--apply", "grid"});
  const auto last = r.out.rfind('\n', r.out.size() >= 2 ? r.out.size() - 2 : 0);
  const std::string lastLine = r.out.substr(last == std::string::npos ? 0 : last + 1);
  EXPECT_TRUE(failedWithOneLine({r.status, lastLine, r.err}));
  EXPECT_EQ(lastLine.find("枚"), std::string::npos) << lastLine;
}

INSTANTIATE_TEST_SUITE_P(Managers, Failures, ::testing::Values("openbox", "fluxbox"), managerName);

}  // namespace
}  // namespace tessaloom::x11test
