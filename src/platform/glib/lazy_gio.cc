#include "platform/glib/lazy_gio.h"

namespace tessaloom::platform::glib {

void* gioLibrary() {
  // Loaded once and kept for the life of the process.
  static void* const library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  return library;
}

}  // namespace tessaloom::platform::glib
