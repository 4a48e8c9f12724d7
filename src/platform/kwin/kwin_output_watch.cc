#include "platform/kwin/kwin_output_watch.h"

#include "platform/glib/gio.h"
#include "platform/kwin/kwin_agent.h"
#include "platform/kwin/kwin_callbacks.h"
#include "platform/kwin/kwin_report.h"

namespace tessaloom::platform::kwin {
namespace {

constexpr const char* kIntrospection = R"(<node>
  <interface name="org.tessaloom.KWinOutputs"><method name="Changed"/></interface>
</node>)";

}  // namespace

Result<std::unique_ptr<OutputWatch>> OutputWatch::start(Agent& agent,
                                                        std::function<void()> changed) {
  std::unique_ptr<OutputWatch> watch(new OutputWatch(agent));
  auto callbacks = Callbacks::serve(
      kIntrospection, [changed = std::move(changed)](const std::string&, GVariant*,
                                                     GDBusMethodInvocation* invocation) {
        glib::gio()->returnValue(invocation, nullptr);
        changed();
      });
  if (!callbacks) return Failure{callbacks.error()};
  watch->callbacks_ = std::move(*callbacks);
  // Sent again to a script started anew (after KWin restarted, say).
  if (!agent.ask(outputsRequest(watch->callbacks_->uniqueName(), kInterface), true)) {
    watch->callbacks_.reset();  // nothing to undo in the script
    return Failure{"the KWin script does not answer"};
  }
  return watch;
}

OutputWatch::~OutputWatch() {
  if (callbacks_) (void)agent_.ask(outputsRequest("", kInterface), true);
}

}  // namespace tessaloom::platform::kwin
