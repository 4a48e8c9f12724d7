// Events of sway or i3 on a connection of their own, subscribed once and watched from the GLib
// main loop: the handler runs for each event that has arrived, never waiting for more.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tessaloom::platform {
namespace glib {
class FdWatch;
}
namespace i3ipc {

class IpcSocket;

class EventWatch {
 public:
  using Handler = std::function<void(std::uint32_t type, const std::string& payload)>;
  /// Connects to the socket at `path`, subscribes to `events` (a JSON array of event names) and
  /// calls `handler` on the main loop for each event. Fails, with one line, when the socket
  /// does not answer or refuses the subscription.
  static Result<std::unique_ptr<EventWatch>> open(const std::string& path, std::string_view events,
                                                  Handler handler);
  ~EventWatch();
  EventWatch(const EventWatch&) = delete;
  EventWatch& operator=(const EventWatch&) = delete;

  /// Handles every event waiting (the main loop calls this when the socket is readable). False
  /// once the connection is lost; the watch then ends.
  bool dispatch();

 private:
  EventWatch() = default;

  std::unique_ptr<IpcSocket> socket_;
  Handler handler_;
  std::unique_ptr<glib::FdWatch> fd_;  // last: it goes first
};

}  // namespace i3ipc
}  // namespace tessaloom::platform
