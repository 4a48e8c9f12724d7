#include "platform/kwin/kwin_output_watch.h"

#include "platform/glib/bus_calls.h"
#include "platform/glib/gio.h"
#include "platform/kwin/kwin_agent.h"
#include "platform/kwin/kwin_report.h"

namespace tessaloom::platform::kwin {
namespace {

constexpr const char* kPath = "/org/tessaloom/KWinAgent";
constexpr const char* kIntrospection = R"(<node>
  <interface name="org.tessaloom.KWinOutputs"><method name="Changed"/></interface>
</node>)";

}  // namespace

Result<std::unique_ptr<OutputWatch>> OutputWatch::start(Agent& agent,
                                                        std::function<void()> changed) {
  const glib::Gio* gio = glib::gio();
  if (!gio) return Failure{glib::kNoGio};
  std::unique_ptr<OutputWatch> watch(new OutputWatch(agent));
  GError* error = nullptr;
  // The connection the main loop serves, where the hot keys' calls arrive too.
  watch->bus_ = gio->busGet(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!watch->bus_) {
    std::string why = error ? error->message : "unknown error";
    g_clear_error(&error);
    return Failure{"no session bus: " + why};
  }
  // Anyone else calling would make the tray restore arrangements at will.
  auto object = glib::ExportedObject::serve(
      watch->bus_, kPath, kIntrospection, "KWin",
      [kwin = std::make_shared<glib::NameOwnerCheck>(watch->bus_, "org.kde.KWin")](
          const std::string& sender) { return kwin->owns(sender); },
      [changed = std::move(changed)](const std::string&, GVariant*,
                                     GDBusMethodInvocation* invocation) {
        glib::gio()->returnValue(invocation, nullptr);
        changed();
      });
  if (!object) return Failure{object.error()};
  watch->object_ = std::move(*object);
  // Sent again to a script started anew (after KWin restarted, say).
  if (!agent.ask(outputsRequest(gio->uniqueName(watch->bus_), kInterface), true)) {
    watch->object_.reset();  // nothing to undo in the script
    return Failure{"the KWin script does not answer"};
  }
  return watch;
}

OutputWatch::~OutputWatch() {
  if (object_) (void)agent_.ask(outputsRequest("", kInterface), true);
  object_.reset();
  if (bus_) glib::gio()->unref(bus_);
}

}  // namespace tessaloom::platform::kwin
