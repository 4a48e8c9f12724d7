// What every operation of the core works against, passed down explicitly: the desktop's
// windows, the user's settings, the main queue's clock and the pids that name applications. The
// entry makes one per run; tests make one over the simulated desktop.
#pragma once

#include "windows/pid_assigner.h"

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
  /// Kept for the run, so that an application keeps its pid from one look to the next.
  WindowManager::PidAssigner pids{};
};

}  // namespace tessaloom
