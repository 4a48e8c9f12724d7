#include "platform/kwin/kwin_callbacks.h"

#include "base/language.h"
#include "platform/glib/bus_calls.h"
#include "platform/glib/gio.h"

namespace tessaloom::platform::kwin {

Result<std::unique_ptr<Callbacks>> Callbacks::serve(const char* xml,
                                                    glib::ExportedObject::Handler handler) {
  const glib::Gio* gio = glib::gio();
  if (!gio) return Failure{language::tr(glib::kNoGio)};
  std::unique_ptr<Callbacks> callbacks(new Callbacks());
  GError* error = nullptr;
  callbacks->bus_ = gio->busGet(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!callbacks->bus_) {
    std::string why = error ? error->message : "unknown error";
    g_clear_error(&error);
    return Failure{"no session bus: " + why};
  }
  // Anyone else could fire arrangements or make the tray restore them at will.
  auto object = glib::ExportedObject::serve(
      callbacks->bus_, kPath, xml, "KWin",
      [kwin = std::make_shared<glib::NameOwnerCheck>(callbacks->bus_, "org.kde.KWin")](
          const std::string& sender) { return kwin->owns(sender); },
      std::move(handler));
  if (!object) return Failure{object.error()};
  callbacks->object_ = std::move(*object);
  return callbacks;
}

Callbacks::~Callbacks() {
  object_.reset();
  if (bus_) glib::gio()->unref(bus_);
}

std::string Callbacks::uniqueName() const {
  return glib::gio()->uniqueName(bus_);
}

}  // namespace tessaloom::platform::kwin
