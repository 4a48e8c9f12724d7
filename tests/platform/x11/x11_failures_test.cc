// The program on X servers that fail it or hold hostile windows, which sound desktops never do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::x11test {
namespace {

enum class Fault { noServer, noManager, frozen, diesMidArrangement };

class Failing : public ::testing::Test, protected PrivateDesktop {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "openbox"})
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
  }
  // Opens windows of a browser; a window with `--kill-on-resize` kills the server.
  std::unique_ptr<Process> open(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto client = Process::start(argv, {"DISPLAY=" + server_->display()});
    const auto line = client ? client->readLine(after(25)) : std::nullopt;
    EXPECT_TRUE(line && line->starts_with("ready")) << "the client did not come up";
    return client;
  }
  testing::ProgramResult run(const std::string& display, const std::vector<std::string>& args) {
    return testing::runProgram(TESSALOOM_BINARY, args,
                               {{"DISPLAY", display},
                                {"-TESSALOOM_SCENE", ""},
                                {"-WAYLAND_DISPLAY", ""},
                                {"XDG_CONFIG_HOME", dir_.file("config")},
                                {"TESSALOOM_DEFAULTS", dir_.file("defaults.json")}},
                               6);  // a command still running then is killed: status -1
  }
};

TEST_F(Failing, EveryBrokenServerFailsTheCommandWithinSecondsWithOneLastLine) {
  struct Case {
    Fault fault;
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {{Fault::noServer, {"--list"}, "cannot reach the X server"},
                        {Fault::noManager, {"--list"}, "window manager"},
                        {Fault::frozen, {"--list"}, "does not answer"},
                        {Fault::diesMidArrangement, {"--apply", "grid"}, "lost the connection"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    std::string display = ":" + std::to_string(900);
    while (std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1)))
      display = ":" + std::to_string(std::stoi(display.substr(1)) + 1);
    std::vector<std::unique_ptr<Process>> clients;
    if (c.fault == Fault::noManager) {
      std::string error;
      server_ = XServer::start(dir_.file("bare.log"), error);
      ASSERT_TRUE(server_) << error;
    } else if (c.fault != Fault::noServer) {
      ASSERT_EQ(startDesktop("openbox"), "");
      clients.push_back(open({"--window", "--class", "google-chrome,Google-chrome", "--title",
                              "Docs", "--window", "--title", "Mail"}));
    }
    if (server_) display = server_->display();
    if (c.fault == Fault::frozen) server_->process().signal(SIGSTOP);
    if (c.fault == Fault::diesMidArrangement)
      clients.push_back(
          open({"--window", "--class", "google-chrome,Google-chrome", "--title", "Killer",
                "--kill-on-resize", std::to_string(server_->process().pid())}));
    const auto r = run(display, c.args);
    if (server_) server_->process().signal(SIGCONT);
    // A result line may come first; the failure is the last line.
    const auto from = r.out.rfind('\n', r.out.size() - 2);
    const std::string last = r.out.substr(from == std::string::npos ? 0 : from + 1);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_THAT(last, ::testing::HasSubstr(c.says));
    EXPECT_EQ(last.find("枚"), std::string::npos) << last;
    EXPECT_EQ(r.err, "");
    clients.clear();
    stopDesktop();
  }
}

TEST_F(Failing, HostileTitlesAreListedOneLineEachWithoutControlCharacters) {
  ASSERT_EQ(startDesktop("openbox"), "");
  const std::vector<std::string> titles = {"line\nbreak",          "tab\tand\x1b[31mescape",
                                           "bad \xff\xfe utf-8",   "\xe2\x80\xaeright to left",
                                           std::string(5000, 'x'), ""};
  std::vector<std::string> args;
  for (const auto& t : titles)
    args.insert(args.end(), {"--window", "--class", "google-chrome,Google-chrome", "--title", t});
  const auto client = open(args);
  const auto r = run(server_->display(), {"--list"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + static_cast<long>(titles.size()))
      << r.out;
  for (const char control : {'\t', '\x1b', '\r'})
    EXPECT_EQ(r.out.find(control), std::string::npos) << r.out;
}

}  // namespace
}  // namespace tessaloom::x11test
