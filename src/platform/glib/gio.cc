#include "platform/glib/gio.h"

#include <dlfcn.h>

#include <optional>

namespace tessaloom::platform::glib {
namespace {

class Loader {
 public:
  // Loaded once and kept for the life of the process; GObject's functions are found through
  // GIO too, which loads it as its dependency.
  Loader() : library_(::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL)) {}
  template <class Function>
  void operator()(Function& function, const char* name) {
    function = library_ ? reinterpret_cast<Function>(::dlsym(library_, name)) : nullptr;
    complete_ = complete_ && function;
  }
  bool complete() const { return complete_; }

 private:
  void* library_;
  bool complete_ = true;
};

}  // namespace

const Gio* gio() {
  static const std::optional<Gio> loaded = []() -> std::optional<Gio> {
    Gio g;
    Loader load;
    load(g.busGet, "g_bus_get_sync");
    load(g.busAddress, "g_dbus_address_get_for_bus_sync");
    load(g.connect, "g_dbus_connection_new_for_address_sync");
    load(g.setExitOnClose, "g_dbus_connection_set_exit_on_close");
    load(g.callSync, "g_dbus_connection_call_sync");
    load(g.call, "g_dbus_connection_call");
    load(g.callFinish, "g_dbus_connection_call_finish");
    load(g.flush, "g_dbus_connection_flush_sync");
    load(g.close, "g_dbus_connection_close_sync");
    load(g.uniqueName, "g_dbus_connection_get_unique_name");
    load(g.registerObject, "g_dbus_connection_register_object");
    load(g.unregisterObject, "g_dbus_connection_unregister_object");
    load(g.subscribe, "g_dbus_connection_signal_subscribe");
    load(g.unsubscribe, "g_dbus_connection_signal_unsubscribe");
    load(g.watch, "g_bus_watch_name_on_connection");
    load(g.unwatch, "g_bus_unwatch_name");
    load(g.nodeInfo, "g_dbus_node_info_new_for_xml");
    load(g.nodeInfoUnref, "g_dbus_node_info_unref");
    load(g.returnValue, "g_dbus_method_invocation_return_value");
    load(g.returnError, "g_dbus_method_invocation_return_dbus_error");
    load(g.stripRemote, "g_dbus_error_strip_remote_error");
    load(g.ioError, "g_io_error_quark");
    load(g.dbusError, "g_dbus_error_quark");
    load(g.unref, "g_object_unref");
    load(g.appInfoFromFile, "g_desktop_app_info_new_from_filename");
    load(g.launchContext, "g_app_launch_context_new");
    load(g.launchSetenv, "g_app_launch_context_setenv");
    load(g.launch, "g_desktop_app_info_launch_uris_as_manager_with_fds");
    return load.complete() ? std::optional<Gio>(g) : std::nullopt;
  }();
  return loaded ? &*loaded : nullptr;
}

}  // namespace tessaloom::platform::glib
