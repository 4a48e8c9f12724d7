#include "platform/gnome/gnome_status_item.h"

#include <glib.h>

#include <charconv>
#include <nlohmann/json.hpp>

namespace tessaloom::platform::gnome {
namespace {

using nlohmann::json;

json itemsJson(const std::vector<MenuItem>& items, const std::string& prefix) {
  json list = json::array();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = items[i];
    if (item.separator) {
      list.push_back({{"separator", true}});
      continue;
    }
    std::string title = std::string(static_cast<std::size_t>(item.indentationLevel) * 2, ' ');
    title += item.title;
    if (item.shortcut) title += "    " + describe(*item.shortcut);
    json entry = {{"title", title}, {"enabled", item.enabled}, {"on", item.on}};
    const std::string path = prefix + std::to_string(i);
    if (!item.submenu.empty())
      entry["submenu"] = itemsJson(item.submenu, path + "/");
    else
      entry["path"] = path;
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace

std::string menuJson(const MenuModel& menu) {
  return itemsJson(menu.items, "").dump();
}

std::optional<MenuItem> itemAt(const MenuModel& menu, std::string_view path) {
  const std::vector<MenuItem>* items = &menu.items;
  const MenuItem* item = nullptr;
  for (bool more = true; more;) {
    if (item) items = &item->submenu;
    const auto slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), index);
    if (part.empty() || error != std::errc() || end != part.data() + part.size() ||
        index >= items->size())
      return std::nullopt;
    item = &(*items)[index];
    more = slash != std::string_view::npos;
    if (more) path.remove_prefix(slash + 1);
  }
  return *item;
}

GnomeStatusItem::GnomeStatusItem(ShellChannel& channel, std::string icon)
    : channel_(channel), icon_(std::move(icon)) {}

bool GnomeStatusItem::create() {
  wanted_ = channel_.subscribe("MenuWanted", [this](GVariant*) {
    if (delegate_) delegate_->menuNeedsUpdate();
  });
  chosen_ = channel_.subscribe("MenuChosen", [this](GVariant* parameters) {
    const gchar* path = nullptr;
    g_variant_get(parameters, "(&s)", &path);
    if (const auto item = itemAt(menu_, path ? path : ""); item && delegate_)
      delegate_->menuItemChosen(*item);
  });
  // A Shell that comes back starts without the button.
  watch_ = channel_.watch([this](bool present) {
    if (present) show();
  });
  return true;
}

// The top bar has its own icon style and no tool tips: the button keeps this program's icon.
void GnomeStatusItem::setImage(std::string_view, std::string_view accessibilityDescription) {
  if (!accessibilityDescription.empty()) label_ = accessibilityDescription;
  show();
}

void GnomeStatusItem::setToolTip(std::string_view text) {
  if (!text.empty()) label_ = text;
  show();
}

void GnomeStatusItem::setMenu(const MenuModel& menu) {
  menu_ = menu;
  channel_.send("MenuFill", g_variant_new("(s)", menuJson(menu_).c_str()));
}

void GnomeStatusItem::show() {
  channel_.send("ButtonShow", g_variant_new("(ss)", icon_.c_str(), label_.c_str()));
}

}  // namespace tessaloom::platform::gnome
