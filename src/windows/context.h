// What every operation of the core works against, passed down explicitly: the desktop's
// windows, the user's settings and the main queue's clock. The entry makes one per run; tests
// make one over the simulated desktop.
#pragma once

namespace tessaloom {
namespace platform {
class WindowSystem;
class MainQueue;
}  // namespace platform
class Settings;

struct Context {
  platform::WindowSystem& desktop;
  Settings& settings;
  platform::MainQueue& queue;
};

}  // namespace tessaloom
