#include "platform/kwin/kwin_hot_keys.h"

#include "platform/glib/gio.h"
#include "platform/kwin/kwin_agent.h"
#include "platform/kwin/kwin_callbacks.h"
#include "platform/kwin/kwin_report.h"

namespace tessaloom::platform {
namespace {

constexpr const char* kIntrospection = R"(<node>
  <interface name="org.tessaloom.KWinAgent">
    <method name="Pressed"><arg type="s" direction="in"/></method>
  </interface>
</node>)";

}  // namespace

Result<std::unique_ptr<KWinHotKeys>> KWinHotKeys::connect(kwin::Agent& agent) {
  std::unique_ptr<KWinHotKeys> keys(new KWinHotKeys(agent));
  auto callbacks = kwin::Callbacks::serve(
      kIntrospection, [self = keys.get()](const std::string&, GVariant* parameters,
                                          GDBusMethodInvocation* invocation) {
        const gchar* name = nullptr;
        g_variant_get(parameters, "(&s)", &name);
        const std::string chord = name ? name : "";
        glib::gio()->returnValue(invocation, nullptr);
        self->pressed(chord);
      });
  if (!callbacks) return Failure{callbacks.error()};
  keys->callbacks_ = std::move(*callbacks);
  keys->keepAlive_ = g_timeout_add_seconds(
      kKeepAliveSeconds,
      [](gpointer self) -> gboolean {
        static_cast<KWinHotKeys*>(self)->agent_.keepAlive();
        return G_SOURCE_CONTINUE;
      },
      keys.get());
  return keys;
}

KWinHotKeys::~KWinHotKeys() {
  if (keepAlive_) g_source_remove(keepAlive_);
  callbacks_.reset();
}

std::optional<std::string> KWinHotKeys::shortcutName(Chord chord) {
  const auto keys = kwin::keySequence(chord);
  if (!keys) return std::nullopt;
  return "Tessaloom " + *keys;
}

void KWinHotKeys::setPressedHandler(std::function<void(HotKeyId)> handler) {
  handler_ = std::move(handler);
}

bool KWinHotKeys::registerHotKey(HotKeyId id, Chord chord) {
  const auto name = shortcutName(chord);
  if (!name || bound_.count(id)) return false;
  for (const auto& [other, taken] : bound_)
    if (taken == *name) return false;
  if (!sent_.count(*name)) {
    const std::string request =
        kwin::bindRequest(*name, *kwin::keySequence(chord), callbacks_->uniqueName());
    if (!agent_.ask(request, true)) return false;
    sent_.insert(*name);
  }
  bound_[id] = *name;
  return true;
}

void KWinHotKeys::unregisterHotKey(HotKeyId id) {
  bound_.erase(id);
}

void KWinHotKeys::pressed(const std::string& name) {
  for (const auto& [id, bound] : bound_)
    if (bound == name && handler_) {
      handler_(id);
      return;
    }
}

}  // namespace tessaloom::platform
