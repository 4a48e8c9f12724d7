// What the program tells a GNOME user whose Shell does not run the Tessaloom extension, for
// each reason the Shell gives: not installed, not enabled, too old for this Shell, failed.
// The command line's one line, and the tray's request (then watched every second), in the user's
// language.
#pragma once

#include <string>
#include <string_view>

#include "base/language.h"

namespace tessaloom::platform::gnome {

/// The command line's lines (it exits with status 2 after one).
inline std::string extensionMissingLine() {
  return language::tr(
      "GNOME でウィンドウを動かすには Tessaloom の GNOME Shell 拡張機能が必要ですが、GNOME Shell "
      "に見つかりません。拡張機能をインストールしてログインし直し、gnome-extensions enable "
      "tessaloom@tessaloom.github.io を実行してください");
}
inline std::string extensionDisabledLine() {
  return language::tr(
      "GNOME でウィンドウを動かすには Tessaloom の GNOME Shell 拡張機能が必要です。"
      "gnome-extensions enable tessaloom@tessaloom.github.io を実行してください"
      "（Wayland のセッションではログインし直すと有効になります）");
}
/// `shell` names the Shell and its version ("GNOME Shell 51.0").
inline std::string outOfDateLine(std::string_view shell) {
  return language::format(
      language::tr("%s では Tessaloom の GNOME Shell 拡張機能が古いため動きません（OUT OF "
                   "DATE）。Tessaloom を新しい版に更新して、ログインし直してください"),
      std::string(shell).c_str());
}
inline std::string errorLine(std::string_view shell, std::string_view error) {
  return language::format(language::tr("Tessaloom の GNOME Shell 拡張機能が %s "
                                       "でエラーになりました（%s）。Tessaloom "
                                       "を入れ直して、ログインし直してください"),
                          std::string(shell).c_str(), std::string(error).c_str());
}

/// The tray's request to enable it: title, text and buttons (the first one asks the Shell to
/// enable it).
inline constexpr const char* kExtensionAlertTitle = N_("GNOME Shell 拡張機能を有効にしてください");
inline constexpr const char* kExtensionAlertText = N_(
    "Tessaloom が GNOME で他のアプリのウィンドウを動かすには、Tessaloom の GNOME Shell "
    "拡張機能が必要です。\n\n1. 端末で次を実行する（「有効にする」を押しても同じです）\n"
    "   gnome-extensions enable tessaloom@tessaloom.github.io\n2. Wayland "
    "のセッションでは、一度ログアウトしてログインし直す\n3. トップバーの ▦ アイコンから使えます");
inline constexpr const char* kExtensionAlertButtons[] = {N_("有効にする"), N_("あとで")};
/// The tray's word where enabling cannot help (not installed, too old, failed): the command
/// line's line under this title, and one button.
inline constexpr const char* kExtensionUnusableTitle = N_("GNOME Shell 拡張機能が使えません");
inline constexpr const char* kExtensionUnusableButton = N_("閉じる");

}  // namespace tessaloom::platform::gnome
