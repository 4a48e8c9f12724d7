// The X11 key grabber against a private Xvfb: keys pressed with xdotool reach the handler
// through the GLib main loop, with or without lock keys; refused grabs leave nothing behind.
#include "platform/x11/x11_hot_keys.h"

#include <glib.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "support/run_program.h"
#include "support/x11_desktop.h"

namespace tessaloom::x11test {
namespace {

using platform::HotKeyId;
using platform::X11HotKeys;

constexpr Chord kG{'g', kControlAlt}, kH{'h', kControlAlt}, kK{'k', kControlAlt},
    kZ{'z', kControlAlt};

class X11HotKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"Xvfb", "xdotool"})
      if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
    std::string error;
    server_ = XServer::start((dir_.path() / "xvfb.log").string(), error);
    ASSERT_TRUE(server_) << error;
    auto keys = X11HotKeys::connect(server_->display());
    ASSERT_TRUE(keys.ok()) << keys.error();
    keys_ = std::move(*keys);
    keys_->setPressedHandler([this](HotKeyId id) { pressed_.push_back(id); });
  }
  void TearDown() override {
    keys_.reset();
    server_.reset();
  }

  void press(const std::string& keys) {
    ASSERT_EQ(tessaloom::testing::runProgram(findProgram("xdotool"), {"key", keys},
                                             {{"DISPLAY", server_->display()}})
                  .status,
              0);
  }

  /// Turns GLib's default main loop (which watches the grabber's connection) until `n` presses
  /// have arrived; false at the deadline.
  bool waitForPresses(std::size_t n, double seconds = 10) {
    const auto deadline = after(seconds);
    while (pressed_.size() < n && Clock::now() < deadline) {
      // Bounds the blocking iteration; the grabber's own source wakes it on a press.
      GSource* wake = g_timeout_source_new(20);
      g_source_set_callback(
          wake, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
      g_source_attach(wake, nullptr);
      g_main_context_iteration(nullptr, TRUE);
      g_source_destroy(wake);
      g_source_unref(wake);
    }
    return pressed_.size() >= n;
  }

  TempDir dir_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<X11HotKeys> keys_;
  std::vector<HotKeyId> pressed_;
};

/// The first key code of the letter on another client's connection; 0 when none.
xcb_keycode_t keycodeOf(const Probe& client, char letter) {
  xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(client.raw());
  xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, static_cast<xcb_keysym_t>(letter));
  const xcb_keycode_t code = codes && *codes != XCB_NO_SYMBOL ? codes[0] : 0;
  std::free(codes);
  xcb_key_symbols_free(symbols);
  return code;
}

/// Grabs the letter with exactly `mods` for another client; whether the server allowed it.
bool grab(const Probe& client, char letter, std::uint16_t mods) {
  const xcb_keycode_t code = keycodeOf(client, letter);
  xcb_generic_error_t* error =
      code ? xcb_request_check(client.raw(),
                               xcb_grab_key_checked(client.raw(), 1, client.root(), mods, code,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))
           : nullptr;
  std::free(error);
  return code && !error;
}

constexpr std::uint16_t kXControlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr std::uint16_t kXNumLock = XCB_MOD_MASK_2;  // where Xvfb's keymap puts Num Lock

TEST_F(X11HotKeysTest, PressesReachTheHandlerWithTheirIdsWhateverLocksAreOn) {
  ASSERT_TRUE(keys_->registerHotKey(1, kG));
  ASSERT_TRUE(keys_->registerHotKey(2, kH));
  press("ctrl+alt+g");
  press("ctrl+alt+h");
  ASSERT_TRUE(waitForPresses(2));
  press("Num_Lock");
  press("ctrl+alt+h");
  ASSERT_TRUE(waitForPresses(3));
  press("Caps_Lock");
  press("ctrl+alt+g");
  ASSERT_TRUE(waitForPresses(4));
  EXPECT_EQ(pressed_, (std::vector<HotKeyId>{1, 2, 2, 1}));
}

TEST_F(X11HotKeysTest, OtherModifiersAndUnregisteredKeysDoNotFire) {
  ASSERT_TRUE(keys_->registerHotKey(1, kG));
  ASSERT_TRUE(keys_->registerHotKey(2, kZ));
  keys_->unregisterHotKey(1);
  keys_->unregisterHotKey(99);  // unknown: ignored
  // The grabs are in order on one connection, so the Z press arriving first proves that the
  // presses before it were not delivered.
  press("ctrl+alt+g");
  press("ctrl+g");
  press("ctrl+alt+shift+z");
  press("ctrl+alt+z");
  ASSERT_TRUE(waitForPresses(1));
  EXPECT_EQ(pressed_, std::vector<HotKeyId>{2});
}

TEST_F(X11HotKeysTest, ACombinationHeldElsewhereIsRefusedAndLeavesNoGrabBehind) {
  Probe holder(server_->display());
  // Only the variant with both locks is taken: the grabber gets the others first.
  ASSERT_TRUE(grab(holder, 'k', kXControlAlt | XCB_MOD_MASK_LOCK | kXNumLock));
  EXPECT_FALSE(keys_->registerHotKey(1, kK));
  // Had the grabber kept the variants it got, this client could not take them now.
  Probe third(server_->display());
  for (const int mods :
       {kXControlAlt + 0, kXControlAlt | kXNumLock, kXControlAlt | XCB_MOD_MASK_LOCK})
    EXPECT_TRUE(grab(third, 'k', static_cast<std::uint16_t>(mods))) << mods;
  // The id stays free for the next key.
  EXPECT_TRUE(keys_->registerHotKey(1, kG));
}

TEST_F(X11HotKeysTest, RefusesWhatItCannotExpressOrAlreadyHolds) {
  EXPECT_FALSE(keys_->registerHotKey(1, Chord{'1', kControlAlt}));  // not a letter
  EXPECT_FALSE(keys_->registerHotKey(1, Chord{'g', 0x100}));        // an unknown modifier
  ASSERT_TRUE(keys_->registerHotKey(1, kG));
  EXPECT_FALSE(keys_->registerHotKey(2, kG));  // same combination
  EXPECT_FALSE(keys_->registerHotKey(1, kH));  // same id
  EXPECT_EQ(X11HotKeys::xModifiers(kControlAlt), kXControlAlt);
  EXPECT_EQ(X11HotKeys::xModifiers(kShift | kSuper), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
}

TEST_F(X11HotKeysTest, GrabsFollowAKeyboardMappingChange) {
  const auto xmodmap = findProgram("xmodmap");
  if (xmodmap.empty()) GTEST_SKIP() << "xmodmap is not installed";
  ASSERT_TRUE(keys_->registerHotKey(1, kG));
  ASSERT_TRUE(keys_->registerHotKey(2, kH));
  // Swap the letters G and H on the keyboard.
  Probe reader(server_->display());
  const auto g = keycodeOf(reader, 'g'), h = keycodeOf(reader, 'h');
  ASSERT_TRUE(g && h);
  ASSERT_EQ(tessaloom::testing::runProgram(xmodmap,
                                           {"-e", "keycode " + std::to_string(g) + " = h H", "-e",
                                            "keycode " + std::to_string(h) + " = g G"},
                                           {{"DISPLAY", server_->display()}})
                .status,
            0);
  // Control+Alt+G now comes from the old H key. Until the grabber has seen the change that
  // key still means H (id 2); once it has regrabbed, it means G (id 1). Press until it does.
  const auto deadline = after(10);
  while (Clock::now() < deadline &&
         std::find(pressed_.begin(), pressed_.end(), 1u) == pressed_.end()) {
    press("ctrl+alt+g");
    waitForPresses(pressed_.size() + 1, 2);
  }
  ASSERT_FALSE(pressed_.empty());
  EXPECT_EQ(pressed_.back(), 1u);
  pressed_.clear();
  press("ctrl+alt+h");
  ASSERT_TRUE(waitForPresses(1));
  EXPECT_EQ(pressed_, std::vector<HotKeyId>{2});
}

}  // namespace
}  // namespace tessaloom::x11test
