// sway's and i3's IPC: frames, broken and hostile servers, finding the socket, the layout
// tree, bad replies, tiled windows, hot keys beside the user's own.
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/i3ipc/fake_ipc_peer.h"
#include "platform/i3ipc/i3_desktop.h"
#include "platform/i3ipc/i3_hot_keys.h"
#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"
#include "platform/i3ipc/i3_socket_path.h"
#include "platform/i3ipc/i3_tree.h"
#include "platform/i3x11/i3_root_socket.h"
#include "platform/i3x11/i3_x11_pids.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/x11_desktop.h"

namespace tessaloom::platform::i3ipc {
namespace {

using namespace std::literals;
using nlohmann::json;

TEST(I3Messages, FramesAndReadsHeaders) {
  EXPECT_EQ(encodeMessage(kGetTree, ""), "i3-ipc\0\0\0\0\x04\0\0\0"s);
  EXPECT_EQ(encodeMessage(kBindingEvent, "{}"), "i3-ipc\x02\0\0\0\x05\0\0\x80{}"s);
  EXPECT_EQ(decodeHeader(encodeMessage(kRunCommand, std::string(70000, 'x'))),
            (Header{70000, kRunCommand}));
  for (const auto& bad : {"i3-ipc\0\0\0"s, "i3-IPC\0\0\0\0\x04\0\0\0"s,
                          "i3-ipc\0\0\0\x05\x04\0\0\0"s /* beyond the largest payload */})
    EXPECT_FALSE(decodeHeader(bad)) << bad;
}

TEST(I3Socket, SkipsEventsForTheReplyAndSaysInOneLineWhatWentWrong) {
  const std::pair<std::string, const char*> cases[] = {
      {encodeMessage(kBindingEvent, "{}") + encodeMessage(kRunCommand, "[]"), "[]"},
      {"", " (closed by sway)"},
      {"HTTP/1.1 400 Bad Request\r\n\r\n", " (not an IPC message)"},
      {encodeMessage(kGetTree, "{}").substr(0, 15), " (a message ended early)"},
      {"i3-ipc\0\0\0\x01\0\0\0\0"s, " (a message larger than 8 MiB)"}};
  for (const auto& [reply, got] : cases) {
    testing::TempDir dir;
    testing::FakeIpcPeer peer(dir.file("ipc"), {{kRunCommand, reply}});
    auto socket = IpcSocket::connect(dir.file("ipc"), "sway");
    ASSERT_TRUE(socket) << socket.error();
    const auto start = Clock::now();
    auto result = (*socket)->request(kRunCommand, "nop");
    EXPECT_LT(Clock::now() - start, IpcSocket::kTimeout + 500ms);
    EXPECT_TRUE(result || !(*socket)->request(kGetTree)) << "a lost socket stays lost";
    const std::string lost = "lost the connection to sway at " + dir.file("ipc");
    std::string said = result ? *result : result.error();
    if (said.starts_with(lost)) said.erase(0, lost.size());
    EXPECT_EQ(said, got);
  }
  // The replies to posted commands are dropped: a request gets its own.
  testing::TempDir dir;
  testing::FakeIpcPeer peer(dir.file("ipc"), {});
  auto socket = IpcSocket::connect(dir.file("ipc"), "sway");
  ASSERT_TRUE(socket && (*socket)->post(kRunCommand, "a") && (*socket)->post(kRunCommand, "b"));
  EXPECT_EQ(*(*socket)->request(kRunCommand, "c"), R"([{"success": true, "ran": "c"}])");
  // What was posted last is carried out even when the program ends right after.
  peer.lag = 50;
  ASSERT_TRUE((*socket)->post(kRunCommand, "last"));
  socket->reset();
  EXPECT_EQ(peer.commands().back(), "last");
  for (const std::string& path : {std::string(), "/" + std::string(200, 'x')})
    EXPECT_EQ(IpcSocket::connect(path, "sway").error(),
              "the IPC socket path of sway is not usable: " + path);
}

// The variables (SWAYSOCK first), a live sway's socket in the runtime folder but not one a
// dead sway left, and the property i3 sets on the root window.
TEST(I3SocketPath, FromTheVariablesTheRuntimeFolderAndTheRootWindow) {
  using Named = std::optional<std::string>;
  const std::tuple<Named, Named, Named> variables[] = {
      {"/s", "/i", "/s"}, {"", "/i", "/i"}, {std::nullopt, std::nullopt, std::nullopt}};
  for (const auto& [sway, i3, found] : variables) {
    testing::ScopedEnvironment s("SWAYSOCK", sway), i("I3SOCK", i3);
    EXPECT_EQ(socketPathFromEnvironment(), found);
  }
  testing::TempDir dir;
  dir.write("sway-ipc.0.999999999.sock", "");
  dir.write("wayland-1.sock", "");
  EXPECT_EQ(swaySocketInRuntimeDirectory(dir.path()), std::nullopt);
  dir.write("sway-ipc.0." + std::to_string(::getpid()) + ".sock", "");
  EXPECT_EQ(swaySocketInRuntimeDirectory(dir.path()),
            dir.file("sway-ipc.0." + std::to_string(::getpid()) + ".sock"));
  std::string error;
  const auto x = x11test::XServer::start(dir.file("xvfb.log"), error);
  ASSERT_TRUE(x) << error;
  EXPECT_EQ(i3x11::socketPathFromDisplay(x->display()), std::nullopt);
  x11test::Probe probe(x->display());
  xcb_change_property(probe.raw(), XCB_PROP_MODE_REPLACE, probe.root(),
                      probe.atom("I3_SOCKET_PATH"), XCB_ATOM_STRING, 8, 7, "/run/i3");
  probe.atom("WM_NAME");  // a round trip: the property is set
  EXPECT_EQ(i3x11::socketPathFromDisplay(x->display()), "/run/i3");
  // i3's windows' pids come from their _NET_WM_PID; a window without one has none.
  const std::uint32_t pid = 4242;
  xcb_change_property(probe.raw(), XCB_PROP_MODE_REPLACE, probe.root(), probe.atom("_NET_WM_PID"),
                      XCB_ATOM_CARDINAL, 32, 1, &pid);
  probe.atom("WM_NAME");
  EXPECT_EQ(i3x11::x11ProcessIds({probe.root(), 0x1fffff}, x->display()),
            (std::map<std::uint32_t, std::uint32_t>{{probe.root(), 4242}}));
}

// Output A shows workspace 1: a native window under a 25 px title bar and a floating X11
// dialog; B (primary, a 20 px bar) shows 2 with a full-screen window and hides 3 (in a content
// container, as on i3); C is off. The scratchpad and a dock area hold a window each.
const json kTree = json::parse(R"({"nodes": [
 {"type": "output", "nodes": [{"type": "con", "name": "content", "nodes": [{"type": "workspace",
  "name": "__i3_scratch", "floating_nodes": [{"type": "floating_con", "id": 3, "pid": 5}]}]}]},
 {"type": "output", "nodes": [{"type": "dockarea", "nodes": [{"type": "con", "window": 6}]},
  {"type": "workspace", "id": 1, "nodes": [{"type": "con", "id": 10, "name": "Foo", "pid": 23,
   "app_id": "foo", "focused": true, "rect": {"x": 0, "y": 25, "width": 1920, "height": 1055},
   "deco_rect": {"height": 25}, "scratchpad_state": "none"}], "floating_nodes": [{"id": 11,
   "type": "floating_con", "window": 41, "window_properties": {"class": "Chat", "title": "Ask",
   "window_type": "dialog"}, "rect": {"x": 960, "y": 25, "width": 960, "height": 515},
   "deco_rect": {"height": 25}}]}]},
 {"type": "output", "nodes": [{"type": "workspace", "id": 2, "nodes": [{"type": "con", "id": 12,
   "pid": 31, "fullscreen_mode": 1, "rect": {"x": 1920, "y": 100, "width": 1280, "height": 720}}]},
  {"type": "con", "name": "content", "nodes": [{"type": "workspace", "id": 3,
   "nodes": [{"type": "con", "id": 13, "pid": 32}]}]}]}]})");
const json kWorkspaces = json::parse(R"([
 {"id": 1, "visible": true, "output": "A", "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}},
 {"id": 3, "output": "B"}, {"id": 2, "visible": true, "focused": true, "output": "B",
  "rect": {"x": 1920, "y": 120, "width": 1280, "height": 700}}])");
const json kOutputs = json::parse(R"([{"name": "C", "rect": {"width": 800, "height": 600}},
 {"name": "A", "active": true, "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}},
 {"name": "B", "active": true, "primary": true,
  "rect": {"x": 1920, "y": 100, "width": 1280, "height": 720}}])");

TEST(I3Tree, WindowsOfTheVisibleWorkspacesAndTheOutputsPrimaryFirst) {
  const auto visible = visibleWorkspaces(kWorkspaces);
  EXPECT_EQ(treeWindows(kTree, Flavour::sway, &visible),
            (std::vector<TreeWindow>{
                {10, "foo", "", "", "Foo", 23, 0, {0, 0, 1920, 1080}, true, false, false, true},
                {11, "", "", "Chat", "Ask", 0, 41, {960, 0, 960, 540}, false, false, true},
                {12, "", "", "", "", 31, 0, {1920, 100, 1280, 720}, true, true},
                {13, "", "", "", "", 32, 0, {}, true, false, false, false, true}}));
  // i3's rect holds the title bar; reading frames back marks no workspace hidden.
  EXPECT_EQ(treeWindows(kTree, Flavour::i3, &visible)->at(0).frame, (Rect{0, 25, 1920, 1055}));
  EXPECT_FALSE(treeWindows(kTree, Flavour::i3, nullptr)->back().hidden);
  EXPECT_EQ(outputScreens(kOutputs, kWorkspaces),
            (std::vector<Screen>{{{1920, 100, 1280, 720}, {1920, 120, 1280, 700}, "B"},
                                 {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, "A"}}));
  EXPECT_EQ(focusedOutputCentre(kOutputs, kWorkspaces), (Point{2560, 460}));
}

TEST(I3Tree, RefusesMalformedRepliesAndSkipsMalformedWindows) {
  std::string why;
  EXPECT_TRUE(readReply(std::string(kMaxDepth, '[') + std::string(kMaxDepth, ']'), why));
  EXPECT_FALSE(
      readReply("[" + std::string(kMaxDepth, '[') + std::string(kMaxDepth, ']') + "]", why));
  EXPECT_EQ(why, "nests deeper than 256 levels");
  EXPECT_TRUE(readReply(R"(["\"\\)" + std::string(kMaxDepth, '[') + R"("])", why));  // a string
  std::string flat = "[";  // deep only when a closing bracket is missed
  for (int i = 0; i < 300; ++i) flat += "{}[]";
  EXPECT_FALSE(readReply(flat + "]", why));
  EXPECT_EQ(why, "is not JSON");
  for (const char* text : {"null", "[]", "{}", R"({"nodes": 3})", R"({"nodes": [5]})",
                           R"({"nodes": [{"type": "workspace", "id": 1, "nodes": {}}]})"})
    EXPECT_EQ(treeWindows(json::parse(text), Flavour::sway, nullptr), std::nullopt) << text;
  // A container of no known type, windows without a client or an id.
  for (const char* text : {R"({"nodes": [{"type": 1}]})",
                           R"({"nodes": [{"type": "workspace", "nodes": [{"type": "con",
                              "window": "7", "pid": -4, "name": 5}, {"type": "con", "id": "3",
                              "app_id": "foo"}]}]})"})
    EXPECT_EQ(treeWindows(json::parse(text), Flavour::sway, nullptr), std::vector<TreeWindow>{})
        << text;
  EXPECT_TRUE(outputScreens(json::parse(R"([{"active": true, "rect": [1, 2]}])"), json()).empty());
  EXPECT_FALSE(focusedOutputCentre(json::object(), kWorkspaces));
  EXPECT_TRUE(isSway(json::parse(R"({"variant": "sway"})")));
  EXPECT_FALSE(isSway(json::parse(R"({"human_readable": "4.22"})")));
  EXPECT_TRUE(commandsSucceeded(json::parse(R"([{"success": true}, {"success": true}])")));
  for (const char* failed : {R"([{"success": true}, {"success": "yes"}])", "{}"})
    EXPECT_FALSE(commandsSucceeded(json::parse(failed))) << failed;
}

// Window 10 is tiled and focused, 11 floats, 12 is tiled in full screen: a placement that asks
// for the layout puts back the floating one alone, and moves none; one that floats a tiled
// window says for how long its client may still answer.
TEST(I3Desktop, TellsTiledWindowsAndPutsThemBackIntoTheLayout) {
  testing::TempDir dir;
  std::map<std::uint32_t, std::string> replies = {{kGetVersion, R"({"variant": "sway"})"},
                                                  {kGetTree, kTree.dump()},
                                                  {kGetWorkspaces, kWorkspaces.dump()},
                                                  {kGetOutputs, kOutputs.dump()}};
  for (auto& [type, reply] : replies) reply = testing::FakeIpcPeer::frame(type, reply);
  testing::FakeIpcPeer sway(dir.file("ipc"), replies);
  auto desktop = I3Desktop::connect(dir.file("ipc"));
  ASSERT_TRUE(desktop) << desktop.error();
  std::string held;  // each window in tree order: tiled, floating, or on a hidden workspace
  std::map<WindowHandle, Rect> frames;
  for (const auto& w : (*desktop)->snapshot().windows)
    held += w.elsewhere ? 'h' : (w.tiled ? 't' : 'f'), frames[w.handle] = w.frame;
  EXPECT_EQ(held, "tfth");
  // The primary output's top left is the origin.
  EXPECT_EQ(frames[10], Rect(-1920, -100, 1920, 1080));
  const Placement back[] = {{10, {0, 0, 800, 600}, true}, {11, {0, 0, 800, 600}, true}};
  (*desktop)->place(back);
  // Each goes in after the one focused last; then the focus goes back.
  EXPECT_EQ(sway.commands(),
            std::vector<std::string>{
                "[con_id=11] floating disable; [con_id=11] focus; [con_id=10] focus"});
  // Floating a tiled window makes its client answer later; one already floating does not.
  EXPECT_EQ((*desktop)->unsettledFor(), 0);
  const Placement floating[] = {{11, {0, 0, 800, 600}, false}};
  (*desktop)->place(floating);
  EXPECT_EQ((*desktop)->unsettledFor(), 0);
  const Placement out[] = {{10, {0, 0, 800, 600}, false}};
  (*desktop)->place(out);
  EXPECT_GT((*desktop)->unsettledFor(), 1.0);
}

// Monitors are heard of through output events, or through workspace events where sway refuses
// those (1.7).
TEST(I3Desktop, HearsOfMonitorsThroughOutputEventsOrElseWorkspaceEvents) {
  using testing::FakeIpcPeer;
  for (const bool outputs : {true, false}) {
    testing::TempDir dir;
    FakeIpcPeer sway(dir.file("ipc"),
                     {{kGetVersion, FakeIpcPeer::frame(kGetVersion, R"({"variant": "sway"})")}});
    const std::string yes = FakeIpcPeer::frame(kSubscribe, R"({"success": true})");
    sway.answerSubscription(R"(["output"])",
                            outputs ? yes + FakeIpcPeer::frame(kEventBit | 1, "{}")
                                    : FakeIpcPeer::frame(kSubscribe, R"({"success": false})"));
    sway.answerSubscription(R"(["workspace"])", yes + FakeIpcPeer::frame(kEventBit, "{}"));
    auto desktop = I3Desktop::connect(dir.file("ipc"));
    ASSERT_TRUE(desktop) << desktop.error();
    int heard = 0;
    const auto watch = (*desktop)->watchMonitors([&] { ++heard; });
    EXPECT_TRUE(
        testing::waitUntil([&] { return g_main_context_iteration(nullptr, FALSE), heard == 1; }, 5))
        << outputs;
  }
}

// The user's configuration binds Control+Alt+G (through an indented variable), K (on release, over
// two lines) and A (in an included file), and H only in another mode: the tray takes H and Z alone,
// hears only its own bound ones of the bindings run, and removes just those.
TEST(I3HotKeys, LeavesTheUsersBindingsAndRemovesOnlyItsOwn) {
  testing::TempDir dir;
  dir.write("conf.d/keys.conf", "bindsym Control+Alt+a exec x\n");
  const json config = {{"config",
                        " set $m Ctrl+Mod1 \n# bindsym $m+z nop\nbindsym $m+G exec "
                        "\"it's\"\nmode \"resize\" {\n  bindsym $m+h nop\n}\nbindsym "
                        "--release \\\n  Mod1+ctrl+k nop\ninclude " +
                            dir.file("conf.d") + "/*.conf\n"}};
  using testing::FakeIpcPeer;
  FakeIpcPeer sway(dir.file("ipc"), {{kGetConfig, FakeIpcPeer::frame(kGetConfig, config.dump())}});
  std::string events = FakeIpcPeer::frame(kSubscribe, R"({"success": true})");
  for (const char* command : {"exec foot", "nop tessaloom 9", "nop tessaloom 5"})
    events += FakeIpcPeer::frame(
        kBindingEvent, json{{"change", "run"}, {"binding", {{"command", command}}}}.dump());
  sway.answerSubscription(R"(["binding"])", events);
  {
    auto keys = I3HotKeys::connect(dir.file("ipc"));
    ASSERT_TRUE(keys) << keys.error();
    const std::tuple<HotKeyId, char, bool> rows[] = {
        {1, 'g', false}, {2, 'h', true}, {3, 'k', false}, {4, 'a', false}, {5, 'z', true}};
    for (const auto& [id, letter, free] : rows)
      EXPECT_EQ((*keys)->registerHotKey(id, {letter, kControlAlt}), free) << letter;
    std::vector<HotKeyId> pressed;
    (*keys)->setPressedHandler([&](HotKeyId id) { pressed.push_back(id); });
    EXPECT_TRUE(testing::waitUntil(
        [&] { return g_main_context_iteration(nullptr, FALSE), !pressed.empty(); }, 5));
    EXPECT_EQ(pressed, std::vector<HotKeyId>{5});
  }
  EXPECT_EQ(sway.commands(),
            (std::vector<std::string>{"bindsym Ctrl+Mod1+h nop tessaloom 2",
                                      "bindsym Ctrl+Mod1+z nop tessaloom 5",
                                      "unbindsym Ctrl+Mod1+h; unbindsym Ctrl+Mod1+z"}));
}

TEST(I3HotKeys, NamesChordsAsBindingsAndReadsTheirEvents) {
  EXPECT_EQ(I3HotKeys::bindingName({'g', kControlAlt}), "Ctrl+Mod1+g");
  EXPECT_EQ(I3HotKeys::bindingName({'z', kShift | kSuper}), "Shift+Mod4+z");
  EXPECT_FALSE(I3HotKeys::bindingName({'1', kControl}));
  // A window manager that gives no configuration has no bindings of the user's to leave alone.
  testing::TempDir dir;
  testing::FakeIpcPeer i3(dir.file("ipc"), {});
  auto keys = I3HotKeys::connect(dir.file("ipc"));
  ASSERT_TRUE(keys) << keys.error();
  EXPECT_TRUE((*keys)->registerHotKey(1, {'g', kControlAlt}));
  const std::pair<const char*, std::optional<HotKeyId>> events[] = {
      {R"({"change": "run", "binding": {"command": "nop tessaloom 12"}})", 12},
      {R"({"change": "run", "binding": {"command": "nop tessaloom 12x"}})", std::nullopt},
      {R"({"change": "run", "binding": {"command": "exec foot"}})", std::nullopt},
      {R"({"change": "run", "binding": 5})", std::nullopt},
      {"not json", std::nullopt}};
  for (const auto& [payload, id] : events) EXPECT_EQ(I3HotKeys::pressedId(payload), id) << payload;
}

}  // namespace
}  // namespace tessaloom::platform::i3ipc
