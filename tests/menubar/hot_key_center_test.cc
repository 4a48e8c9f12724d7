#include "menubar/hot_key_center.h"

#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/sim_ui.h"
#include "platform/sim/virtual_main_queue.h"

namespace tessaloom {
namespace {

using platform::SimHotKeys;
constexpr std::uint32_t kCtrlOpt = HotKeyCenter::controlOption;

TEST(HotKeyCenter, ControlOptionIsTheControlAndOptionBits) {
  EXPECT_EQ(HotKeyCenter::controlOption, 0x1800u);
}

TEST(HotKeyCenter, IdsStayDenseWhenARegistrationIsRefused) {
  struct Case {
    const char* name;
    std::set<std::int32_t> held;  // key codes another program holds
    std::vector<SimHotKeys::Registration> expected;
  };
  const std::vector<std::int32_t> keys = {5, 4, 0, 40, 1, 6};
  const Case cases[] = {
      {"all free",
       {},
       {{1, 5, kCtrlOpt},
        {2, 4, kCtrlOpt},
        {3, 0, kCtrlOpt},
        {4, 40, kCtrlOpt},
        {5, 1, kCtrlOpt},
        {6, 6, kCtrlOpt}}},
      {"first refused",
       {5},
       {{1, 4, kCtrlOpt}, {2, 0, kCtrlOpt}, {3, 40, kCtrlOpt}, {4, 1, kCtrlOpt}, {5, 6, kCtrlOpt}}},
      {"two in the middle refused",
       {0, 40},
       {{1, 5, kCtrlOpt}, {2, 4, kCtrlOpt}, {3, 1, kCtrlOpt}, {4, 6, kCtrlOpt}}},
      {"all refused", {5, 4, 0, 40, 1, 6}, {}},
  };
  for (const auto& c : cases) {
    SimHotKeys system;
    for (const auto code : c.held) system.heldElsewhere.insert({code, kCtrlOpt});
    platform::VirtualMainQueue queue;
    HotKeyCenter center(&system, &queue);
    for (const auto code : keys) {
      const bool ok = center.registerHotKey(code, kCtrlOpt, [] {});
      EXPECT_EQ(ok, !c.held.count(code)) << c.name << " key " << code;
    }
    EXPECT_EQ(system.registered, c.expected) << c.name;
    EXPECT_EQ(center.count(), c.expected.size()) << c.name;
    // The press handler is installed once, by the first registration, refused or not.
    EXPECT_EQ(system.handlerSets, 1) << c.name;
  }
}

TEST(HotKeyCenter, PressesRunTheirHandlerOnTheMainQueue) {
  SimHotKeys system;
  platform::VirtualMainQueue queue;
  HotKeyCenter center(&system, &queue);
  std::vector<std::string> ran;
  ASSERT_TRUE(center.registerHotKey(5, kCtrlOpt, [&] { ran.push_back("g"); }));
  ASSERT_TRUE(center.registerHotKey(6, kCtrlOpt, [&] { ran.push_back("z"); }));

  ASSERT_TRUE(system.press(6, kCtrlOpt));
  ASSERT_TRUE(system.press(5, kCtrlOpt));
  EXPECT_TRUE(ran.empty());  // handed off, not run inside the key event
  queue.advance(0);
  EXPECT_EQ(ran, (std::vector<std::string>{"z", "g"}));

  // Ids without a handler, 0 (an id that could not be read) among them, do nothing.
  ran.clear();
  system.deliver(0);
  system.deliver(3);
  queue.advance(0);
  EXPECT_TRUE(ran.empty());
  // Only the exact combination was registered.
  EXPECT_FALSE(system.press(5, HotKeyCenter::controlOption | platform::kHotKeyShift));
}

TEST(HotKeyCenter, ASecondRegistrationOfTheSameKeyLeavesTheFirstInForce) {
  SimHotKeys system;
  platform::VirtualMainQueue queue;
  HotKeyCenter center(&system, &queue);
  int first = 0, second = 0;
  ASSERT_TRUE(center.registerHotKey(5, kCtrlOpt, [&] { ++first; }));
  EXPECT_FALSE(center.registerHotKey(5, kCtrlOpt, [&] { ++second; }));
  ASSERT_TRUE(center.registerHotKey(4, kCtrlOpt, [] {}));
  EXPECT_EQ(system.registered.back().id, 2u);
  system.press(5, kCtrlOpt);
  queue.advance(0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
}

TEST(HotKeyCenter, AGoneCenterGivesItsKeysBackAndIgnoresQueuedPresses) {
  SimHotKeys system;
  platform::VirtualMainQueue queue;
  int ran = 0;
  {
    HotKeyCenter center(&system, &queue);
    center.registerHotKey(5, kCtrlOpt, [&] { ++ran; });
    center.registerHotKey(4, kCtrlOpt, [&] { ++ran; });
    system.press(5, kCtrlOpt);  // queued, runs only after the center is gone
  }
  EXPECT_TRUE(system.registered.empty());
  EXPECT_EQ(system.unregistered, (std::vector<platform::HotKeyId>{1, 2}));
  queue.advance(0);
  EXPECT_EQ(ran, 0);
  system.deliver(1);  // the handler was taken away as well
  queue.advance(0);
  EXPECT_EQ(ran, 0);
}

TEST(HotKeyLetter, NamesTheLetterKeysOfTheAnsiLayout) {
  const std::pair<std::int32_t, char> letters[] = {{5, 'g'},  {4, 'h'}, {0, 'a'},
                                                   {40, 'k'}, {1, 's'}, {6, 'z'}};
  for (const auto& [code, letter] : letters) EXPECT_EQ(platform::hotKeyLetter(code), letter);
  for (const std::int32_t code : {10, 18, 36, 49, 127, -1, 1000})
    EXPECT_EQ(platform::hotKeyLetter(code), std::nullopt) << code;
}

}  // namespace
}  // namespace tessaloom
