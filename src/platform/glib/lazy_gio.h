// GIO loaded on first use instead of with the program: a command that starts no application
// and talks to no bus must not pay for loading it.
#pragma once

#include <dlfcn.h>

namespace tessaloom::platform::glib {

/// The loaded library; null when it cannot be loaded.
void* gioLibrary();

/// Points `function` at GIO's symbol `name`; false when GIO or the symbol is missing.
template <class Function>
bool gioSymbol(Function& function, const char* name) {
  void* library = gioLibrary();
  function = library ? reinterpret_cast<Function>(::dlsym(library, name)) : nullptr;
  return function != nullptr;
}

}  // namespace tessaloom::platform::glib
