// An object our KWin script calls back (hot keys, output changes): served on the session-bus
// connection the main loop serves, where it answers KWin's own connection alone.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "platform/glib/exported_object.h"

typedef struct _GDBusConnection GDBusConnection;

namespace tessaloom::platform::kwin {

class Callbacks {
 public:
  /// Where the script calls back, whatever the interface.
  static constexpr const char* kPath = "/org/tessaloom/KWinAgent";

  /// Serves the interface `xml` describes; `handler` answers each call KWin makes. Fails, with
  /// one line, without GIO or a session bus.
  static Result<std::unique_ptr<Callbacks>> serve(const char* xml,
                                                  glib::ExportedObject::Handler handler);
  ~Callbacks();
  Callbacks(const Callbacks&) = delete;
  Callbacks& operator=(const Callbacks&) = delete;

  /// This connection's unique name, which the script calls.
  std::string uniqueName() const;

 private:
  Callbacks() = default;

  GDBusConnection* bus_ = nullptr;
  std::unique_ptr<glib::ExportedObject> object_;
};

}  // namespace tessaloom::platform::kwin
