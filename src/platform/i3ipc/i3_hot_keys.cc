#include "platform/i3ipc/i3_hot_keys.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "platform/i3ipc/i3_config_keys.h"
#include "platform/i3ipc/i3_event_watch.h"
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
  keys->commands_ = std::move(*commands);
  auto events = i3ipc::EventWatch::open(
      path, R"(["binding"])", [self = keys.get()](std::uint32_t type, const std::string& payload) {
        const auto id = type == i3ipc::kBindingEvent ? pressedId(payload) : std::nullopt;
        if (id && self->bound_.count(*id) && self->handler_) self->handler_(*id);
      });
  if (!events) return Failure{events.error()};
  keys->events_ = std::move(*events);
  // The user's own bindings stay theirs: a binding made at run time would replace one.
  std::string why;
  const auto config = keys->commands_->request(i3ipc::kGetConfig);
  const auto parsed = config ? i3ipc::readReply(config.value(), why) : std::nullopt;
  if (parsed && parsed->is_object() && parsed->value("config", json()).is_string())
    keys->taken_ = i3ipc::configuredChords((*parsed)["config"].get<std::string>(),
                                           i3ipc::defaultConfigFolder());
  return keys;
}

I3HotKeys::~I3HotKeys() {
  events_.reset();
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

}  // namespace tessaloom::platform
