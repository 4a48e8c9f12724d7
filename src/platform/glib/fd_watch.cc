#include "platform/glib/fd_watch.h"

#include <glib-unix.h>

namespace tessaloom::platform::glib {

FdWatch::FdWatch(int fd, std::function<bool()> readable) : readable_(std::move(readable)) {
  source_ = g_unix_fd_add(
      fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
      [](gint, GIOCondition, gpointer self) -> gboolean {
        auto* watch = static_cast<FdWatch*>(self);
        if (watch->readable_()) return G_SOURCE_CONTINUE;
        watch->source_ = 0;  // GLib removes the source as this returns
        return G_SOURCE_REMOVE;
      },
      this);
}

FdWatch::~FdWatch() {
  if (source_) g_source_remove(source_);
}

}  // namespace tessaloom::platform::glib
