// The application seam: bringing this program to the front and ending it. The backend owns the
// event loop; the core only asks.
#pragma once

namespace tessaloom::platform {

class Application {
 public:
  virtual ~Application() = default;

  /// Brings this program to the front even while another application is active, so that a
  /// dialog of a program without windows is not hidden behind it.
  virtual void bringToFront() = 0;
  /// Asks the event loop to end; the program quits once the current work has returned.
  virtual void quit() = 0;
};

}  // namespace tessaloom::platform
