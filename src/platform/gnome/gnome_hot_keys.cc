#include "platform/gnome/gnome_hot_keys.h"

#include <glib.h>

namespace tessaloom::platform::gnome {

std::string accelerator(Chord chord) {
  // The extension binds nothing less: a key logger would need no more than a bare key.
  const int held =
      !!(chord.modifiers & kControl) + !!(chord.modifiers & kAlt) + !!(chord.modifiers & kSuper);
  if (chord.letter < 'a' || chord.letter > 'z' || held < 2) return "";
  std::string text;
  if (chord.modifiers & kControl) text += "<Control>";
  if (chord.modifiers & kAlt) text += "<Alt>";
  if (chord.modifiers & kShift) text += "<Shift>";
  if (chord.modifiers & kSuper) text += "<Super>";
  return text + chord.letter;
}

GnomeHotKeys::GnomeHotKeys(ShellChannel& channel) : channel_(channel) {
  subscription_ = channel_.subscribe("KeyPressed", [this](GVariant* parameters) {
    guint32 slot = 0;
    g_variant_get(parameters, "(u)", &slot);
    for (const auto& [id, s] : slots_)
      if (s == slot && handler_) handler_(id);
  });
  // A Shell that comes back (or an extension enabled late) starts without our bindings.
  watch_ = channel_.watch([this](bool present) {
    slots_.clear();
    if (present)
      for (const auto& [id, chord] : wanted_) bind(id, chord);
  });
}

GnomeHotKeys::~GnomeHotKeys() {
  subscription_.reset();
  watch_.reset();
  while (!wanted_.empty()) unregisterHotKey(wanted_.begin()->first);
}

void GnomeHotKeys::setPressedHandler(std::function<void(HotKeyId)> handler) {
  handler_ = std::move(handler);
}

bool GnomeHotKeys::registerHotKey(HotKeyId id, Chord chord) {
  if (accelerator(chord).empty()) return false;
  unregisterHotKey(id);
  // Without the extension the chord waits for it; only its refusal is final.
  const auto bound = bind(id, chord);
  if (bound && !*bound) return false;
  wanted_[id] = chord;
  return true;
}

std::optional<bool> GnomeHotKeys::bind(HotKeyId id, Chord chord) {
  const std::string keys = accelerator(chord);
  unsigned slot = 0;
  for (bool taken = true; taken && slot < kSlots;) {
    taken = false;
    for (const auto& [other, s] : slots_) taken = taken || s == slot;
    if (taken) ++slot;
  }
  if (slot >= kSlots) return false;
  auto reply = channel_.call("BindKey", g_variant_new("(us)", slot, keys.c_str()), "(b)");
  if (!reply) return std::nullopt;
  gboolean bound = FALSE;
  g_variant_get(reply->get(), "(b)", &bound);
  if (bound) slots_[id] = slot;
  return bound != FALSE;
}

void GnomeHotKeys::unregisterHotKey(HotKeyId id) {
  wanted_.erase(id);
  const auto it = slots_.find(id);
  if (it == slots_.end()) return;
  channel_.send("UnbindKey", g_variant_new("(u)", it->second));
  slots_.erase(it);
}

}  // namespace tessaloom::platform::gnome
