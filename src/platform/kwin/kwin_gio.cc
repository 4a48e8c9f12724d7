#include "platform/kwin/kwin_gio.h"

#include <optional>

#include "platform/glib/lazy_gio.h"

namespace tessaloom::platform::kwin {

const Gio* gio() {
  static const std::optional<Gio> loaded = []() -> std::optional<Gio> {
    Gio g;
    // GObject's functions are found through GIO too: GIO loads it as its dependency.
    const bool complete =
        glib::gioSymbol(g.busGet, "g_bus_get_sync") &&
        glib::gioSymbol(g.busAddress, "g_dbus_address_get_for_bus_sync") &&
        glib::gioSymbol(g.connect, "g_dbus_connection_new_for_address_sync") &&
        glib::gioSymbol(g.callSync, "g_dbus_connection_call_sync") &&
        glib::gioSymbol(g.call, "g_dbus_connection_call") &&
        glib::gioSymbol(g.flush, "g_dbus_connection_flush_sync") &&
        glib::gioSymbol(g.close, "g_dbus_connection_close_sync") &&
        glib::gioSymbol(g.uniqueName, "g_dbus_connection_get_unique_name") &&
        glib::gioSymbol(g.registerObject, "g_dbus_connection_register_object") &&
        glib::gioSymbol(g.unregisterObject, "g_dbus_connection_unregister_object") &&
        glib::gioSymbol(g.signalSubscribe, "g_dbus_connection_signal_subscribe") &&
        glib::gioSymbol(g.signalUnsubscribe, "g_dbus_connection_signal_unsubscribe") &&
        glib::gioSymbol(g.nodeInfo, "g_dbus_node_info_new_for_xml") &&
        glib::gioSymbol(g.nodeInfoUnref, "g_dbus_node_info_unref") &&
        glib::gioSymbol(g.returnValue, "g_dbus_method_invocation_return_value") &&
        glib::gioSymbol(g.returnError, "g_dbus_method_invocation_return_dbus_error") &&
        glib::gioSymbol(g.unref, "g_object_unref") &&
        glib::gioSymbol(g.ioErrorQuark, "g_io_error_quark") &&
        glib::gioSymbol(g.dbusErrorQuark, "g_dbus_error_quark");
    return complete ? std::optional<Gio>(g) : std::nullopt;
  }();
  return loaded ? &*loaded : nullptr;
}

}  // namespace tessaloom::platform::kwin
