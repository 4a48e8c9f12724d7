// The GIO functions the KWin backend calls, loaded when it opens rather than with the program:
// a command on another desktop must not pay for loading GIO.
#pragma once

#include <gio/gio.h>

namespace tessaloom::platform::kwin {

struct Gio {
  decltype(&g_bus_get_sync) busGet = nullptr;
  decltype(&g_dbus_address_get_for_bus_sync) busAddress = nullptr;
  decltype(&g_dbus_connection_new_for_address_sync) connect = nullptr;
  decltype(&g_dbus_connection_call_sync) callSync = nullptr;
  decltype(&g_dbus_connection_call) call = nullptr;
  decltype(&g_dbus_connection_flush_sync) flush = nullptr;
  decltype(&g_dbus_connection_close_sync) close = nullptr;
  decltype(&g_dbus_connection_get_unique_name) uniqueName = nullptr;
  decltype(&g_dbus_connection_register_object) registerObject = nullptr;
  decltype(&g_dbus_connection_unregister_object) unregisterObject = nullptr;
  decltype(&g_dbus_connection_signal_subscribe) signalSubscribe = nullptr;
  decltype(&g_dbus_connection_signal_unsubscribe) signalUnsubscribe = nullptr;
  decltype(&g_dbus_node_info_new_for_xml) nodeInfo = nullptr;
  decltype(&g_dbus_node_info_unref) nodeInfoUnref = nullptr;
  decltype(&g_dbus_method_invocation_return_value) returnValue = nullptr;
  decltype(&g_dbus_method_invocation_return_dbus_error) returnError = nullptr;
  decltype(&g_object_unref) unref = nullptr;
  decltype(&g_io_error_quark) ioErrorQuark = nullptr;
  decltype(&g_dbus_error_quark) dbusErrorQuark = nullptr;
};

/// GIO's functions, looked up once; null when GIO or one of them is missing.
const Gio* gio();

/// The line a backend fails with when gio() is null.
inline constexpr const char* kNoGio = "libgio-2.0.so.0 を読み込めません";

}  // namespace tessaloom::platform::kwin
