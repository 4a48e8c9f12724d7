// The backend on a private desktop with docks, struts, old title encodings and held keys, and
// the program on X servers that fail it or hold hostile windows, which sound desktops never do.
#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/i3ipc/fake_ipc_peer.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_hot_keys.h"
#include "platform/x11/x11_window_moves.h"
#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::x11test {
namespace {

enum class Fault { noServer, noManager, frozen, diesMidArrangement };

class OnXvfb : public ::testing::Test, protected PrivateDesktop {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "openbox"})
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
  }
  // Opens windows of a browser and learns their ids; `--kill-on-resize` kills the server.
  std::unique_ptr<Process> open(const std::vector<std::string>& args,
                                std::vector<xcb_window_t>* made = nullptr) {
    std::vector<std::string> argv = {
        (std::filesystem::path(TESSALOOM_BINARY).parent_path() / "tessaloom-testclient").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto client = Process::start(argv, {"DISPLAY=" + server_->display()});
    const auto line = client ? client->readLine(after(25)) : std::nullopt;
    EXPECT_TRUE(line && line->starts_with("ready")) << "the client did not come up";
    // The manager marks a window as taken before it lists it.
    std::vector<xcb_window_t> ids;
    std::stringstream in(line ? line->substr(5) : "");
    for (unsigned long id = 0; in >> id;) ids.push_back(static_cast<xcb_window_t>(id));
    EXPECT_TRUE(waitUntil(
        [&] { return std::ranges::all_of(ids, [&](auto w) { return probe_->framed(w); }); }, 10));
    if (made) *made = ids;
    return client;
  }
  static std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
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

TEST_F(OnXvfb, TheBackendLeavesDocksAndTheirStrutsOutAndReadsEveryTitleEncoding) {
  ASSERT_EQ(startDesktop("openbox"), "");
  const std::string display = server_->display();
  for (const char* monitor : {"--setmonitor LEFT 960/254x1080/286+0+0 screen",
                              "--setmonitor *RIGHT 960/254x1080/286+960+0 none"})
    ASSERT_EQ(testing::runProgram("xrandr", words(monitor), {{"DISPLAY", display}}, 10).status, 0);
  std::vector<xcb_window_t> ids;
  const auto client =
      open(words("--window --class google-chrome,Google-chrome --title Docs --window --title Mail "
                 "--window --title Old --window --type dialog --title Prefs "
                 "--window --title Max --state maximized "
                 "--window --type dock --geometry 960x40+960+1040 "
                 "--strut-partial 0,0,0,40,0,0,0,0,0,0,960,1919 "
                 "--window --type dock --geometry 50x1080+0+0 --window --title Elsewhere"),
           &ids);
  ASSERT_EQ(ids.size(), 8u);
  // Titles in older encodings, and a strut of whole edges: left 50, top 30.
  xcb_connection_t* c = probe_->raw();
  auto set = [&](xcb_window_t w, const char* name, const char* type, int format, const void* data,
                 std::size_t count) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, probe_->atom(name), probe_->atom(type),
                        static_cast<std::uint8_t>(format), static_cast<std::uint32_t>(count), data);
  };
  xcb_delete_property(c, ids[1], probe_->atom("_NET_WM_NAME"));
  set(ids[1], "WM_NAME", "COMPOUND_TEXT", 8, "\x1B$)B\xC6\xFC\xCB\xDC", 8);
  set(ids[2], "_NET_WM_NAME", "STRING", 8, "Caf\xE9", 4);  // not the type it should have
  const std::uint32_t edges[] = {50, 0, 30, 0};
  set(ids[6], "_NET_WM_STRUT", "CARDINAL", 32, edges, 4);
  // A least size of 500 x 300, and one that is negative (none).
  std::uint32_t hints[18] = {16, 0, 0, 0, 0, 500, 300};
  set(ids[0], "WM_NORMAL_HINTS", "WM_SIZE_HINTS", 32, hints, 18);
  hints[5] = static_cast<std::uint32_t>(-7), hints[6] = 0;
  set(ids[2], "WM_NORMAL_HINTS", "WM_SIZE_HINTS", 32, hints, 18);
  // One window minimized, one on another virtual desktop, which is left out.
  for (const std::string& command : {"windowminimize --sync " + std::to_string(ids[2]),
                                     "set_desktop_for_window " + std::to_string(ids[7]) + " 1"})
    ASSERT_EQ(testing::runProgram("xdotool", words(command), {{"DISPLAY", display}}, 10).status, 0);
  ASSERT_TRUE(testing::waitUntil(  // and each round trip comes after the properties set above
      [&] {
        return probe_->hasState(ids[2], "_NET_WM_STATE_HIDDEN") &&
               probe_->longs(ids[7], "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{1};
      },
      5));

  auto desktop = platform::X11Desktop::connect(display);
  ASSERT_TRUE(desktop) << desktop.error();
  // The primary monitor, on the right, holds the origin.
  EXPECT_EQ((*desktop)->screens(),
            (std::vector<platform::Screen>{{{0, 0, 960, 1080}, {0, 30, 960, 1010}, "RIGHT"},
                                           {{-960, 0, 960, 1080}, {-910, 30, 910, 1050}, "LEFT"}}));
  const auto facts = (*desktop)->snapshot();
  // Reading leaves every property in place (openbox fits the maximized window to the new
  // strut in its own time: frames may still change).
  EXPECT_TRUE(std::ranges::equal((*desktop)->snapshot().windows, facts.windows, {},
                                 &platform::WindowFacts::app, &platform::WindowFacts::app));
  EXPECT_EQ(facts.screens, (*desktop)->screens());
  std::vector<platform::WindowFacts> shown;
  std::vector<std::tuple<std::string, bool, bool>> seen;  // title, standard, minimized
  for (const auto& w : facts.windows)
    if (w.app.processId == static_cast<std::uint32_t>(client->pid()) && !w.elsewhere)
      shown.push_back(w), seen.emplace_back(w.title, w.standard, w.minimized);
  EXPECT_EQ(seen, (decltype(seen){{"Docs", true, false},
                                  {"日本", true, false},
                                  {"Café", true, true},
                                  {"Prefs", false, false},
                                  {"Max", true, false}}));  // and no docks
  // The focus is the active window's; when that is none shown here (a dock), the topmost's.
  for (const auto& [active, title] : {std::pair(ids[1], "日本"), std::pair(ids[6], "")}) {
    set(probe_->root(), "_NET_ACTIVE_WINDOW", "WINDOW", 32, &active, 1);
    (void)probe_->longs(probe_->root(), "_NET_ACTIVE_WINDOW");  // the server has it
    const auto look = (*desktop)->snapshot().windows;
    const auto focused = std::ranges::find_if(look, &platform::WindowFacts::focused);
    EXPECT_TRUE(focused != look.end() && (!*title || focused->title == title)) << title;
  }
  ASSERT_EQ(shown.size(), 5u);
  const auto extents = probe_->longs(ids[0], "_NET_FRAME_EXTENTS");
  ASSERT_EQ(extents.size(), 4u);
  EXPECT_EQ(shown[0].minimum,
            (Size{500.0 + extents[0] + extents[1], 300.0 + extents[2] + extents[3]}));
  EXPECT_EQ(shown[2].minimum, Size{});
  // The frames of the windows at rest (openbox shrinks a minimized one's frame and fits the
  // maximized one to the new strut in its own time).
  for (const std::size_t i : {0, 1, 3}) {
    const Rect frame = probe_->outerFrame(ids[i]).value_or(Rect());
    EXPECT_EQ(shown[i].frame, Rect(frame.x - 960, frame.y, frame.width, frame.height)) << i;
  }
  // A maximized window leaves that state first, or the manager would drop the move.
  const Rect target(-700, 100, 600, 400);
  (*desktop)->place(std::vector<platform::Placement>{{shown[4].handle, target}});
  EXPECT_TRUE(testing::waitUntil(
      [&] {
        return probe_->outerFrame(ids[4]) == Rect(260, 100, 600, 400) &&
               !probe_->hasState(ids[4], "_NET_WM_STATE_MAXIMIZED_VERT");
      },
      5))
      << describe(probe_->outerFrame(ids[4]).value_or(Rect()));

  // A bounded wait sees an event that comes while it waits (the others are the manager's).
  auto& connection = (*desktop)->connection();
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection.raw(), ids[0], XCB_CW_EVENT_MASK, &mask);
  const auto later =
      Process::start(words("xdotool sleep 0.3 set_window --name Later " + std::to_string(ids[0])),
                     {"DISPLAY=" + display});
  EXPECT_TRUE(connection.waitForEvent(
      [](const auto& e) {
        return (e.response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
               reinterpret_cast<const xcb_property_notify_event_t&>(e).atom == XCB_ATOM_WM_NAME;
      },
      platform::x11::Clock::now() + std::chrono::seconds(5)));
}

// A program that handles SIGPIPE itself keeps its handler; a connection given up on a stopped
// server is closed once the server answers after all.
TEST_F(OnXvfb, AConnectionKeepsTheHostsPipeHandlerAndClosesAnAttemptItGaveUp) {
  std::string error;
  server_ = XServer::start(dir_.file("xvfb.log"), error);
  ASSERT_TRUE(server_) << error;
  struct sigaction host = {}, before = {}, after = {};
  host.sa_handler = +[](int) {};
  ::sigaction(SIGPIPE, &host, &before);
  EXPECT_TRUE(platform::x11::Connection::open(server_->display(), error)) << error;
  ::sigaction(SIGPIPE, &before, &after);
  EXPECT_EQ(after.sa_handler, host.sa_handler);

  const auto descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  const auto open = descriptors();
  server_->process().signal(SIGSTOP);
  int screen = 0;
  EXPECT_FALSE(
      platform::x11::connectWithin(server_->display(), screen, std::chrono::milliseconds(200)));
  server_->process().signal(SIGCONT);
  EXPECT_TRUE(waitUntil([&] { return descriptors() == open; }, 5));
}

// A manager that changes a window before it drops the maximized state: the move waits for the
// state, not for the first change. This test's own connection plays the manager.
TEST_F(OnXvfb, LeavingTheMaximizedStateWaitsForTheStateItself) {
  std::string error;
  server_ = XServer::start(dir_.file("xvfb.log"), error);
  ASSERT_TRUE(server_) << error;
  probe_ = std::make_unique<Probe>(server_->display());
  xcb_connection_t* c = probe_->raw();
  const xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, probe_->root(), 0, 0, 50, 50, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_atom_t maximized[] = {probe_->atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                                  probe_->atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
  const xcb_atom_t state = probe_->atom("_NET_WM_STATE");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 2, maximized);
  const std::uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
  xcb_change_window_attributes(c, probe_->root(), XCB_CW_EVENT_MASK, &redirect);
  xcb_flush(c);
  std::thread manager([&] {
    for (const auto until = after(5); Clock::now() < until;) {
      std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_poll_for_event(c),
                                                                   &std::free);
      if (!e) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      if ((e->response_type & 0x7F) != XCB_CLIENT_MESSAGE) continue;
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 4,
                          "Busy");
      xcb_flush(c);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 0, nullptr);
      xcb_flush(c);
      return;
    }
  });
  auto connection = platform::x11::Connection::open(server_->display(), error);
  ASSERT_TRUE(connection) << error;
  platform::x11::WindowFacts facts;
  facts.id = w;
  platform::x11::leaveStates(*connection, {&facts, 1},
                             platform::x11::Clock::now() + std::chrono::seconds(5));
  EXPECT_EQ(probe_->longs(w, "_NET_WM_STATE"), std::vector<std::uint32_t>{});
  manager.join();
}

TEST_F(OnXvfb, HotKeysComeWithEveryLockAndNoChordIsHeldTwice) {
  std::string error;
  server_ = XServer::start(dir_.file("xvfb.log"), error);
  ASSERT_TRUE(server_) << error;
  auto keys = platform::X11HotKeys::connect(server_->display());
  auto other = platform::X11HotKeys::connect(server_->display());
  ASSERT_TRUE(keys && other);
  std::vector<platform::HotKeyId> pressed;
  (*keys)->setPressedHandler([&](platform::HotKeyId id) { pressed.push_back(id); });
  EXPECT_TRUE((*keys)->registerHotKey(1, {'g', kControlAlt}));
  EXPECT_TRUE((*keys)->registerHotKey(2, {'z', kControlAlt}));
  EXPECT_FALSE((*keys)->registerHotKey(3, {'g', kControlAlt}));   // the chord is held
  EXPECT_FALSE((*keys)->registerHotKey(1, {'h', kControlAlt}));   // the id is taken
  EXPECT_FALSE((*other)->registerHotKey(1, {'z', kControlAlt}));  // another client holds it
  EXPECT_FALSE((*keys)->registerHotKey(4, {'1', kControlAlt}));   // no letter
  // Each press reaches the main loop, with Num Lock and then Caps Lock turned on too.
  const std::vector<std::string> presses[] = {
      {"key", "ctrl+alt+g"}, {"key", "Num_Lock", "ctrl+alt+z"}, {"key", "Caps_Lock", "ctrl+alt+g"}};
  for (std::size_t i = 0; i < std::size(presses); ++i) {
    ASSERT_EQ(
        testing::runProgram("xdotool", presses[i], {{"DISPLAY", server_->display()}}, 10).status,
        0);
    EXPECT_TRUE(testing::waitUntil(
        [&] { return g_main_context_iteration(nullptr, FALSE), pressed.size() > i; }, 5));
  }
  EXPECT_EQ(pressed, (std::vector<platform::HotKeyId>{1, 2, 1}));
}

TEST_F(OnXvfb, EveryBrokenServerFailsTheCommandWithinSecondsWithOneLastLine) {
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

// A stranger also names a socket it serves as i3's: openbox runs, so it is never used.
TEST_F(OnXvfb, HostileTitlesAreListedOneLineEachWithoutControlCharactersAndNoStrangerServes) {
  ASSERT_EQ(startDesktop("openbox"), "");
  const std::string socket = dir_.file("i3-ipc");
  testing::FakeIpcPeer stranger(socket, {{4, testing::FakeIpcPeer::frame(4, R"({"nodes": []})")}});
  xcb_change_property(probe_->raw(), XCB_PROP_MODE_REPLACE, probe_->root(),
                      probe_->atom("I3_SOCKET_PATH"), XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(socket.size()), socket.data());
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
  EXPECT_THAT(r.err, ::testing::MatchesRegex("I3_SOCKET_PATH[^\n]*Openbox[^\n]*\n"));
  EXPECT_EQ(run(server_->display(), {"--apply", "grid"}).status, 0);
  EXPECT_EQ(stranger.commands(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaloom::x11test
