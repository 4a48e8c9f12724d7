// The opaque, reference-counted handle to an application or window object of the desktop.
// Backends subclass Element; the core only copies, compares and passes handles.
#pragma once

#include <memory>

namespace tessaloom::platform {

class Element {
 public:
  virtual ~Element() = default;
};

/// Copies share the element; the last copy to go releases it.
using ElementRef = std::shared_ptr<Element>;

}  // namespace tessaloom::platform
