// The element handles of the X11 backend: an application (by the pid the backend gave it) and
// a managed top-level window (by its X id). Plain data: no connection, no back pointers.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

#include "platform/element.h"

namespace tessaloom::platform::x11 {

class ApplicationElement final : public Element {
 public:
  explicit ApplicationElement(std::int32_t pid) : pid_(pid) {}
  std::int32_t pid() const { return pid_; }

 private:
  std::int32_t pid_;
};

class WindowElement final : public Element {
 public:
  explicit WindowElement(xcb_window_t id) : id_(id) {}
  xcb_window_t id() const { return id_; }

 private:
  xcb_window_t id_;
};

}  // namespace tessaloom::platform::x11
