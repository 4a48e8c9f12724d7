// GIO's functions, loaded on first use instead of with the program: a command that starts no
// application and talks to no bus does not pay for loading GIO, which nearly doubles the work of
// a listing. Every backend and helper below the tray's toolkit calls GIO through this one table.
#pragma once

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "base/language.h"

namespace tessaloom::platform::glib {

struct Gio {
  decltype(&g_bus_get_sync) busGet = nullptr;
  decltype(&g_dbus_address_get_for_bus_sync) busAddress = nullptr;
  decltype(&g_dbus_connection_new_for_address_sync) connect = nullptr;
  decltype(&g_dbus_connection_set_exit_on_close) setExitOnClose = nullptr;
  decltype(&g_dbus_connection_call_sync) callSync = nullptr;
  decltype(&g_dbus_connection_call) call = nullptr;
  decltype(&g_dbus_connection_call_finish) callFinish = nullptr;
  decltype(&g_dbus_connection_flush_sync) flush = nullptr;
  decltype(&g_dbus_connection_close_sync) close = nullptr;
  decltype(&g_dbus_connection_get_unique_name) uniqueName = nullptr;
  decltype(&g_dbus_connection_register_object) registerObject = nullptr;
  decltype(&g_dbus_connection_unregister_object) unregisterObject = nullptr;
  decltype(&g_dbus_connection_signal_subscribe) subscribe = nullptr;
  decltype(&g_dbus_connection_signal_unsubscribe) unsubscribe = nullptr;
  decltype(&g_bus_watch_name_on_connection) watch = nullptr;
  decltype(&g_bus_unwatch_name) unwatch = nullptr;
  decltype(&g_dbus_node_info_new_for_xml) nodeInfo = nullptr;
  decltype(&g_dbus_node_info_unref) nodeInfoUnref = nullptr;
  decltype(&g_dbus_method_invocation_return_value) returnValue = nullptr;
  decltype(&g_dbus_method_invocation_return_dbus_error) returnError = nullptr;
  decltype(&g_dbus_error_strip_remote_error) stripRemote = nullptr;
  decltype(&g_io_error_quark) ioError = nullptr;
  decltype(&g_dbus_error_quark) dbusError = nullptr;
  decltype(&g_object_unref) unref = nullptr;
  decltype(&g_desktop_app_info_new_from_filename) appInfoFromFile = nullptr;
  decltype(&g_app_launch_context_new) launchContext = nullptr;
  decltype(&g_app_launch_context_setenv) launchSetenv = nullptr;
  decltype(&g_desktop_app_info_launch_uris_as_manager_with_fds) launch = nullptr;
};

/// GIO's functions, looked up once; null when GIO or one of them is missing.
const Gio* gio();

/// The line a command fails with when gio() is null.
inline constexpr const char* kNoGio = N_("libgio-2.0.so.0 を読み込めません");

}  // namespace tessaloom::platform::glib
