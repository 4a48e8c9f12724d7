// The application seam: bringing this program to the front and ending it. The backend owns the
// event loop; the core only asks.
#pragma once

#include <functional>
#include <memory>

namespace tessaloom::platform {

class Application {
 public:
  virtual ~Application() = default;

  /// Brings this program to the front even while another application is active, so that a
  /// dialog of a program without windows is not hidden behind it.
  virtual void bringToFront() = 0;
  /// Asks the event loop to end; the program quits once the current work has returned.
  virtual void quit() = 0;
  /// Calls `changed` on the main loop each time the toolkit hears that a monitor came, went or
  /// changed size, until the returned token is dropped; nothing where it hears of none. Some
  /// desktops tell their clients of a change they tell no other way (sway before 1.8 of a
  /// monitor that only changes size).
  virtual std::shared_ptr<void> watchDisplays(std::function<void()> changed) {
    (void)changed;
    return nullptr;
  }
};

}  // namespace tessaloom::platform
