// The element handles of the simulated desktop: an application or one of its windows, named by
// process identifier and window index. Plain data; never reaches back into the desktop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/element.h"

namespace tessaloom::platform {

class SimElement final : public Element {
 public:
  SimElement(const void* desktop, std::int32_t pid, std::optional<std::size_t> window)
      : desktop_(desktop), pid_(pid), window_(window) {}

  /// The desktop that made the handle; compared, never followed.
  const void* desktop() const { return desktop_; }
  std::int32_t pid() const { return pid_; }
  /// The window's index in its application's scene list; nothing for the application.
  std::optional<std::size_t> window() const { return window_; }
  bool isApplication() const { return !window_; }

  /// Application elements only: the messaging timeout set on this handle, 0 when none was set.
  double messagingTimeout() const { return messagingTimeout_; }
  void setMessagingTimeout(double seconds) { messagingTimeout_ = seconds; }

 private:
  const void* desktop_;
  std::int32_t pid_;
  std::optional<std::size_t> window_;
  double messagingTimeout_ = 0;
};

/// "app:101" or "win:101/0"; "null" for an empty handle, "foreign" for another backend's.
std::string describeElement(const ElementRef& element);
/// Whether two handles denote the same application or window of the same desktop, however
/// they were obtained.
bool sameElement(const ElementRef& a, const ElementRef& b);

}  // namespace tessaloom::platform
