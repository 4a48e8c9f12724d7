// The status-item seam on GNOME without a StatusNotifier host: a button in the Shell's top bar
// (drawn by the extension) that opens this program's own menu. The menu is sent each time it
// opens; the chosen item comes back as its path of indices.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gnome/shell_channel.h"
#include "platform/status_item.h"

namespace tessaloom::platform::gnome {

/// What MenuFill takes for `menu`: items with their titles (the chord written after the
/// title), states and submenus, each chosen item named by its path ("2/0").
std::string menuJson(const MenuModel& menu);
/// The item at `path` in `menu`; nothing when the path leads nowhere.
std::optional<MenuItem> itemAt(const MenuModel& menu, std::string_view path);

class GnomeStatusItem final : public StatusItem {
 public:
  /// `icon` is an icon name or the path of an image file.
  GnomeStatusItem(ShellChannel& channel, std::string icon);
  bool create() override;
  void setImage(std::string_view symbol, std::string_view accessibilityDescription) override;
  void setToolTip(std::string_view text) override;
  void setMenuDelegate(MenuDelegate* delegate) override { delegate_ = delegate; }
  void setMenu(const MenuModel& menu) override;

 private:
  void show();

  ShellChannel& channel_;
  std::string icon_;
  std::string label_ = "Tessaloom";
  MenuDelegate* delegate_ = nullptr;
  MenuModel menu_;
  std::shared_ptr<void> wanted_, chosen_, watch_;
};

}  // namespace tessaloom::platform::gnome
