// A file descriptor watched from the GLib main loop: the handler runs each time it can be read
// or has closed, until the handler says the source is spent or the watch goes.
#pragma once

#include <functional>

namespace tessaloom::platform::glib {

class FdWatch {
 public:
  /// Watches `fd`; `readable` returns false once nothing more can come.
  FdWatch(int fd, std::function<bool()> readable);
  ~FdWatch();
  FdWatch(const FdWatch&) = delete;
  FdWatch& operator=(const FdWatch&) = delete;

 private:
  std::function<bool()> readable_;
  unsigned source_ = 0;
};

}  // namespace tessaloom::platform::glib
