// What the GNOME backend sends the extension for keys, menus and overlay plates.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/gnome/gnome_hot_keys.h"
#include "platform/gnome/gnome_overlay.h"
#include "platform/gnome/gnome_status_item.h"

namespace tessaloom::platform::gnome {
namespace {

using nlohmann::json;

TEST(ShellTexts, AcceleratorsNameEveryModifier) {
  EXPECT_EQ(accelerator({'g', kControlAlt}), "<Control><Alt>g");
  EXPECT_EQ(accelerator({'z', kControl | kAlt | kShift | kSuper}), "<Control><Alt><Shift><Super>z");
  EXPECT_EQ(accelerator({'1', kControlAlt}), "");
}

MenuItem item(std::string title) {
  MenuItem made;
  made.title = std::move(title);
  return made;
}

MenuModel sampleMenu() {
  MenuItem status = item("Status"), layouts = item("Layouts"), grid = item("Grid"),
           gap = item("Gap");
  status.enabled = false;
  grid.shortcut = Chord{'g', kControlAlt};
  gap.on = true;
  gap.indentationLevel = 1;
  layouts.submenu = {grid, gap};
  return {{status, MenuItem::makeSeparator(), layouts}};
}

TEST(ShellTexts, MenusCarryPathsThatLeadBackToTheirItems) {
  const MenuModel menu = sampleMenu();
  const json sent = json::parse(menuJson(menu));
  EXPECT_EQ(sent[0], json::parse(R"({"title": "Status", "enabled": false, "on": false,
                                     "path": "0"})"));
  EXPECT_EQ(sent[1], json::parse(R"({"separator": true})"));
  EXPECT_EQ(sent[2]["submenu"][0]["title"], "Grid    " + describe({'g', kControlAlt}));
  EXPECT_EQ(sent[2]["submenu"][1]["title"], "  Gap");
  for (const json& item : {sent[0], sent[2]["submenu"][0], sent[2]["submenu"][1]}) {
    const auto chosen = itemAt(menu, item["path"].get<std::string>());
    ASSERT_TRUE(chosen);
    EXPECT_NE(item["title"].get<std::string>().find(chosen->title), std::string::npos);
  }
  for (const char* path : {"", "3", "2/5", "0/0", "x", "2/", "-1"})
    EXPECT_FALSE(itemAt(menu, path)) << path;
}

TEST(ShellTexts, PlatesTakeTheStyleInPixelsAndAStockIcon) {
  const OverlayContent content{"整列しました", "checkmark.circle.fill",
                               OverlayStyle{15, 22, 8, 10, 14, 12, 16, 9}};
  const json plate = json::parse(plateJson(content));
  EXPECT_EQ(plate["text"], content.text);
  EXPECT_EQ(plate["icon"], "emblem-ok-symbolic");
  EXPECT_EQ(plate["iconSize"], 22);
  const std::string box = plate["boxStyle"];
  EXPECT_NE(box.find("padding: 10px 16px 12px 14px;"), std::string::npos) << box;
  EXPECT_NE(box.find("border-radius: 9px;"), std::string::npos) << box;
  EXPECT_NE(box.find("spacing: 8px;"), std::string::npos) << box;
  EXPECT_NE(plate["labelStyle"].get<std::string>().find("font-size: 15px;"), std::string::npos);
  EXPECT_EQ(iconForSymbol("no.such.symbol"), "");
}

}  // namespace
}  // namespace tessaloom::platform::gnome
