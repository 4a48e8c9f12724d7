// An object this program serves on a bus connection that answers only the callers it trusts:
// the check is part of the object, so no method is ever served without one. A refused caller
// gets AccessDenied and learns nothing; the first refusal is said on standard error.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/result.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GDBusMethodInvocation GDBusMethodInvocation;
typedef struct _GVariant GVariant;

namespace tessaloom::platform::glib {

class ExportedObject {
 public:
  /// Whether the connection `sender` (a unique name) may call.
  using Trusted = std::function<bool(const std::string& sender)>;
  /// Serves a trusted call; it answers `invocation`, now or later.
  using Handler = std::function<void(const std::string& method, GVariant* parameters,
                                     GDBusMethodInvocation* invocation)>;

  /// Serves the interface that `xml` describes at `path` on `connection`, dispatched in the
  /// thread's default main context of now. `who` names the callers `trusted` lets in ("KWin").
  /// Fails, with one line, when the path is taken or GIO is missing.
  static Result<std::unique_ptr<ExportedObject>> serve(GDBusConnection* connection,
                                                       const char* path, const char* xml,
                                                       std::string who, Trusted trusted,
                                                       Handler handler);
  /// Stops serving; a call already dispatched is not answered.
  ~ExportedObject();
  ExportedObject(const ExportedObject&) = delete;
  ExportedObject& operator=(const ExportedObject&) = delete;

 private:
  ExportedObject(GDBusConnection* connection, std::string who, Trusted trusted, Handler handler)
      : connection_(connection),
        who_(std::move(who)),
        trusted_(std::move(trusted)),
        handler_(std::move(handler)) {}
  static void dispatch(GDBusConnection*, const char* sender, const char*, const char*,
                       const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                       void* self);

  GDBusConnection* connection_;
  std::string who_;
  Trusted trusted_;
  Handler handler_;
  unsigned registration_ = 0;
  bool refusalSaid_ = false;
};

}  // namespace tessaloom::platform::glib
