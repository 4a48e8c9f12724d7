#include "platform/gtk/gtk_toolkit.h"

#include <gtk/gtk.h>

#include <filesystem>

#include "base/language.h"
#include "platform/gtk/gtk_symbols.h"

namespace tessaloom::platform::gtk {

std::optional<std::string> iconSearchPath() {
  static const std::optional<std::string> path = []() -> std::optional<std::string> {
    if (GtkIconTheme* theme = gtk_icon_theme_get_default()) {
      const std::string name(kAppIconName);
      if (gtk_icon_theme_has_icon(theme, name.c_str())) return std::nullopt;  // installed
    }
    const std::filesystem::path icons = std::filesystem::path(TESSALOOM_DATA_DIR) / "icons";
    std::error_code ec;
    if (std::filesystem::is_directory(icons / "hicolor", ec)) return icons.string();
    return std::nullopt;
  }();
  return path;
}

Outcome start() {
  // Nothing here draws with OpenGL; without this GDK loads the GL driver (tens of MiB) only to
  // choose visuals.
  g_setenv("GDK_GL", "disable", FALSE);
  g_set_prgname("tessaloom");
  g_set_application_name("Tessaloom");
  if (!gtk_init_check(nullptr, nullptr))
    return Failure{
        language::tr("デスクトップに接続できません（ディスプレイを開けません）。X11 "
                     "のデスクトップで実行してください")};
  if (const auto path = iconSearchPath())
    gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), path->c_str());
  gtk_window_set_default_icon_name(std::string(kAppIconName).c_str());
  return {};
}

}  // namespace tessaloom::platform::gtk
