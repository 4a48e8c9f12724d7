#include "platform/glib/exported_object.h"

#include <cstdio>
#include <utility>

#include "base/language.h"
#include "platform/glib/gio.h"

namespace tessaloom::platform::glib {

Result<std::unique_ptr<ExportedObject>> ExportedObject::serve(GDBusConnection* connection,
                                                              const char* path, const char* xml,
                                                              std::string who, Trusted trusted,
                                                              Handler handler) {
  if (!gio()) return Failure{language::tr(kNoGio)};
  std::unique_ptr<ExportedObject> object(
      new ExportedObject(connection, std::move(who), std::move(trusted), std::move(handler)));
  GDBusNodeInfo* node = gio()->nodeInfo(xml, nullptr);
  if (!node || !node->interfaces || !node->interfaces[0]) {
    if (node) gio()->nodeInfoUnref(node);
    return Failure{std::string("no interface to serve at ") + path};
  }
  static const GDBusInterfaceVTable vtable = {&ExportedObject::dispatch, nullptr, nullptr, {}};
  GError* error = nullptr;
  object->registration_ = gio()->registerObject(connection, path, node->interfaces[0], &vtable,
                                                object.get(), nullptr, &error);
  gio()->nodeInfoUnref(node);
  if (!object->registration_) {
    std::string why = std::string(path) + ": " + (error ? error->message : "taken");
    g_clear_error(&error);
    return Failure{why};
  }
  return object;
}

ExportedObject::~ExportedObject() {
  if (registration_) gio()->unregisterObject(connection_, registration_);
}

void ExportedObject::dispatch(GDBusConnection*, const char* sender, const char*, const char*,
                              const char* method, GVariant* parameters,
                              GDBusMethodInvocation* invocation, void* self) {
  auto* object = static_cast<ExportedObject*>(self);
  if (sender && object->trusted_(sender)) {
    object->handler_(method ? method : "", parameters, invocation);
    return;
  }
  gio()->returnError(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                     ("only " + object->who_ + " may call this").c_str());
  if (std::exchange(object->refusalSaid_, true)) return;
  std::fprintf(stderr, language::tr("%s ではない接続 %s からの %s の呼び出しを拒否しました\n"),
               object->who_.c_str(), sender ? sender : "?", method ? method : "?");
}

}  // namespace tessaloom::platform::glib
