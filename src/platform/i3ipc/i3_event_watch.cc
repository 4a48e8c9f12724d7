#include "platform/i3ipc/i3_event_watch.h"

#include <nlohmann/json.hpp>

#include "platform/glib/fd_watch.h"
#include "platform/i3ipc/i3_messages.h"
#include "platform/i3ipc/i3_socket.h"

namespace tessaloom::platform::i3ipc {

Result<std::unique_ptr<EventWatch>> EventWatch::open(const std::string& path,
                                                     std::string_view events, Handler handler) {
  auto socket = IpcSocket::connect(path, "the window manager");
  if (!socket) return Failure{socket.error()};
  std::unique_ptr<EventWatch> watch(new EventWatch());
  watch->socket_ = std::move(*socket);
  watch->handler_ = std::move(handler);
  const auto reply = watch->socket_->request(kSubscribe, events);
  if (!reply) return Failure{reply.error()};
  const auto answer = nlohmann::json::parse(reply.value(), nullptr, false);
  if (!answer.is_object() || !answer.value("success", false))
    return Failure{"the window manager refused to report " + std::string(events)};
  watch->fd_ = std::make_unique<glib::FdWatch>(watch->socket_->fd(),
                                               [w = watch.get()] { return w->dispatch(); });
  return watch;
}

EventWatch::~EventWatch() = default;

bool EventWatch::dispatch() {
  // Whatever has arrived, without waiting for more.
  while (socket_->alive()) {
    auto message = socket_->read(Clock::now());
    if (!message) break;
    if (message->type & kEventBit) handler_(message->type, message->payload);
  }
  return socket_->alive();
}

}  // namespace tessaloom::platform::i3ipc
