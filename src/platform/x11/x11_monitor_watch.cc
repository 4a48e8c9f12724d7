#include "platform/x11/x11_monitor_watch.h"

#include <xcb/randr.h>

#include <cstdlib>

#include "platform/glib/fd_watch.h"
#include "platform/x11/x11_connection.h"

namespace tessaloom::platform::x11 {

Result<std::unique_ptr<MonitorWatch>> MonitorWatch::open(const std::string& display,
                                                         std::function<void()> changed) {
  std::string error;
  auto connection = Connection::open(display, error);
  if (!connection) return Failure{error};
  const auto* randr = xcb_get_extension_data(connection->raw(), &xcb_randr_id);
  if (!randr || !randr->present) return Failure{"the X server has no RandR"};
  std::unique_ptr<MonitorWatch> watch(new MonitorWatch());
  watch->connection_ = std::move(connection);
  watch->changed_ = std::move(changed);
  xcb_randr_select_input(watch->connection_->raw(), watch->connection_->root(),
                         XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                             XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
  xcb_flush(watch->connection_->raw());
  watch->fd_ = std::make_unique<glib::FdWatch>(xcb_get_file_descriptor(watch->connection_->raw()),
                                               [w = watch.get()] { return w->dispatch(); });
  return watch;
}

MonitorWatch::~MonitorWatch() = default;

bool MonitorWatch::dispatch() {
  xcb_connection_t* c = connection_->raw();
  bool any = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
    // Only RandR's events are asked for; errors and others are dropped.
    any = any || (event->response_type & 0x7f) != 0;
    std::free(event);
  }
  // One report per batch: a monitor that comes brings a CRTC, an output and a screen change.
  if (any) changed_();
  return !xcb_connection_has_error(c);
}

}  // namespace tessaloom::platform::x11
