// Hot keys: dense ids, presses handed to the main queue, and keys given back by a gone centre.
#include <gtest/gtest.h>

#include "menubar/hot_key_center.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"

namespace tessaloom {
namespace {

using platform::SimHotKeys;

constexpr Chord kG{'g', kControlAlt}, kH{'h', kControlAlt}, kZ{'z', kControlAlt};

TEST(HotKeyCenter, IdsStayDenseWhenARegistrationIsRefusedAndPressesRunOnTheQueue) {
  SimHotKeys keys;
  platform::VirtualMainQueue queue;
  keys.heldElsewhere.insert(kH);
  HotKeyCenter center(keys, queue);
  std::vector<char> pressed;
  EXPECT_TRUE(center.registerHotKey(kG, [&] { pressed.push_back('g'); }));
  EXPECT_FALSE(center.registerHotKey(kH, [&] { pressed.push_back('h'); }));
  EXPECT_FALSE(center.registerHotKey(kG, [&] { pressed.push_back('!'); })) << "already taken";
  EXPECT_TRUE(center.registerHotKey(kZ, [&] { pressed.push_back('z'); }));
  EXPECT_EQ(keys.registered, (std::vector<SimHotKeys::Registration>{{1, kG}, {2, kZ}}));
  EXPECT_EQ(center.count(), 2u);

  EXPECT_TRUE(keys.press(kZ));
  EXPECT_TRUE(keys.press(kG));
  keys.deliver(0);
  keys.deliver(7);
  EXPECT_TRUE(pressed.empty()) << "nothing runs inside the key event";
  queue.runAll();
  EXPECT_EQ(pressed, (std::vector<char>{'z', 'g'}));
  EXPECT_EQ(keys.handlerSets, 1);
}

TEST(HotKeyCenter, AGoneCenterGivesItsKeysBackAndIgnoresQueuedPresses) {
  SimHotKeys keys;
  platform::VirtualMainQueue queue;
  int presses = 0;
  {
    HotKeyCenter center(keys, queue);
    center.registerHotKey(kG, [&] { ++presses; });
    center.registerHotKey(kZ, [&] { ++presses; });
    keys.press(kG);
  }
  queue.runAll();
  EXPECT_EQ(presses, 0);
  EXPECT_EQ(keys.unregistered, (std::vector<platform::HotKeyId>{1, 2}));
  EXPECT_FALSE(keys.press(kG));
}

}  // namespace
}  // namespace tessaloom
