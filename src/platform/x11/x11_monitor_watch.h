// RandR's screen, CRTC and output notifications on a connection of their own, watched from the
// GLib main loop: each batch that arrives is reported once, never polled for.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/result.h"

namespace tessaloom::platform {
namespace glib {
class FdWatch;
}
namespace x11 {

class Connection;

class MonitorWatch {
 public:
  /// Connects to `display` and asks for RandR's notifications on its root window; `changed`
  /// runs on the main loop for each batch of them. Fails, with one line, without RandR.
  static Result<std::unique_ptr<MonitorWatch>> open(const std::string& display,
                                                    std::function<void()> changed);
  ~MonitorWatch();
  MonitorWatch(const MonitorWatch&) = delete;
  MonitorWatch& operator=(const MonitorWatch&) = delete;

 private:
  MonitorWatch() = default;
  // Reads every event waiting; false once the connection is lost.
  bool dispatch();

  std::unique_ptr<Connection> connection_;
  std::function<void()> changed_;
  std::unique_ptr<glib::FdWatch> fd_;  // last: it goes first
};

}  // namespace x11
}  // namespace tessaloom::platform
