#include "platform/i3ipc/i3_hot_keys.h"

#include <glib-unix.h>

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "platform/i3ipc/i3_config_keys.h"
#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"
#include "platform/i3ipc/i3_tree.h"

namespace tessaloom::platform {
namespace {

using nlohmann::json;

// The command every binding runs: sway does nothing with it but report it.
constexpr std::string_view kCommandPrefix = "nop tessaloom ";

bool succeeded(const Result<std::string>& reply) {
  if (!reply) return false;
  const json parsed = json::parse(reply.value(), nullptr, false);
  return !parsed.is_discarded() && i3ipc::commandsSucceeded(parsed);
}

}  // namespace

Result<std::unique_ptr<I3HotKeys>> I3HotKeys::connect(const std::string& path) {
  std::unique_ptr<I3HotKeys> keys(new I3HotKeys());
  auto commands = i3ipc::IpcSocket::connect(path, "the window manager");
  if (!commands) return Failure{commands.error()};
  auto events = i3ipc::IpcSocket::connect(path, "the window manager");
  if (!events) return Failure{events.error()};
  keys->commands_ = std::move(*commands);
  keys->events_ = std::move(*events);
  auto subscribed = keys->events_->request(i3ipc::kSubscribe, R"(["binding"])");
  if (!subscribed) return Failure{subscribed.error()};
  // The user's own bindings stay theirs: a binding made at run time would replace one.
  std::string why;
  const auto config = keys->commands_->request(i3ipc::kGetConfig);
  const auto parsed = config ? i3ipc::readReply(config.value(), why) : std::nullopt;
  if (parsed && parsed->is_object() && parsed->value("config", json()).is_string())
    keys->taken_ = i3ipc::configuredChords((*parsed)["config"].get<std::string>(),
                                           i3ipc::defaultConfigFolder());
  keys->watch_ = g_unix_fd_add(
      keys->events_->fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
      [](gint, GIOCondition, gpointer self) -> gboolean {
        auto* hotKeys = static_cast<I3HotKeys*>(self);
        if (hotKeys->dispatch()) return G_SOURCE_CONTINUE;
        hotKeys->watch_ = 0;
        return G_SOURCE_REMOVE;
      },
      keys.get());
  return keys;
}

I3HotKeys::~I3HotKeys() {
  if (watch_) g_source_remove(watch_);
  std::string all;
  for (const auto& [id, name] : bound_) all += (all.empty() ? "" : "; ") + ("unbindsym " + name);
  if (!all.empty() && commands_) (void)commands_->request(i3ipc::kRunCommand, all);
}

std::optional<std::string> I3HotKeys::bindingName(Chord chord) {
  if (chord.letter < 'a' || chord.letter > 'z') return std::nullopt;
  std::string name;
  if (chord.modifiers & kControl) name += "Ctrl+";
  if (chord.modifiers & kAlt) name += "Mod1+";
  if (chord.modifiers & kShift) name += "Shift+";
  if (chord.modifiers & kSuper) name += "Mod4+";
  return name + chord.letter;
}

std::optional<HotKeyId> I3HotKeys::pressedId(const std::string& payload) {
  const json event = json::parse(payload, nullptr, false);
  if (!event.is_object() || event.value("change", "") != "run") return std::nullopt;
  const auto binding = event.find("binding");
  if (binding == event.end() || !binding->is_object()) return std::nullopt;
  const std::string command = binding->value("command", "");
  if (command.rfind(kCommandPrefix, 0) != 0) return std::nullopt;
  const std::string_view digits = std::string_view(command).substr(kCommandPrefix.size());
  HotKeyId id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return id;
}

void I3HotKeys::setPressedHandler(std::function<void(HotKeyId)> handler) {
  handler_ = std::move(handler);
}

bool I3HotKeys::registerHotKey(HotKeyId id, Chord chord) {
  const auto name = bindingName(chord);
  if (!name || bound_.count(id) || std::ranges::count(taken_, chord)) return false;
  for (const auto& [other, taken] : bound_)
    if (taken == *name) return false;
  const std::string command =
      "bindsym " + *name + " " + std::string(kCommandPrefix) + std::to_string(id);
  if (!succeeded(commands_->request(i3ipc::kRunCommand, command))) return false;
  bound_[id] = *name;
  return true;
}

void I3HotKeys::unregisterHotKey(HotKeyId id) {
  auto it = bound_.find(id);
  if (it == bound_.end()) return;
  (void)commands_->request(i3ipc::kRunCommand, "unbindsym " + it->second);
  bound_.erase(it);
}

bool I3HotKeys::dispatch() {
  // Whatever has arrived, without waiting for more.
  while (events_->alive()) {
    auto message = events_->read(i3ipc::Clock::now());
    if (!message) break;
    if (message->type != i3ipc::kBindingEvent) continue;
    const auto id = pressedId(message->payload);
    if (id && bound_.count(*id) && handler_) handler_(*id);
  }
  return events_->alive();
}

}  // namespace tessaloom::platform
