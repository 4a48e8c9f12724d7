// What the program tells a GNOME user whose Shell does not run the Tessaloom extension: the
// command line's one line, and the tray's request to enable it (then watched every second).
#pragma once

namespace tessaloom::platform::gnome {

/// The command line's line (it exits with status 2 after it).
inline constexpr const char* kExtensionMissingLine =
    "GNOME でウィンドウを動かすには Tessaloom の GNOME Shell 拡張機能が必要です。"
    "gnome-extensions enable tessaloom@tessaloom.github.io を実行してください"
    "（Wayland のセッションではログインし直すと有効になります）";

/// The tray's request: title, text and buttons (the first one asks the Shell to enable it).
inline constexpr const char* kExtensionAlertTitle = "GNOME Shell 拡張機能を有効にしてください";
inline constexpr const char* kExtensionAlertText =
    "Tessaloom が GNOME で他のアプリのウィンドウを動かすには、Tessaloom の GNOME Shell "
    "拡張機能が必要です。\n\n1. 端末で次を実行する（「有効にする」を押しても同じです）\n"
    "   gnome-extensions enable tessaloom@tessaloom.github.io\n2. Wayland "
    "のセッションでは、一度ログアウトしてログインし直す\n3. トップバーの ▦ アイコンから使えます";
inline constexpr const char* kExtensionAlertButtons[] = {"有効にする", "あとで"};

}  // namespace tessaloom::platform::gnome
