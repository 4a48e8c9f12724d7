#include "platform/accessibility.h"
#include "platform/services.h"
#include "platform/workspace.h"
#include "windows/window_manager.h"

namespace tessaloom::WindowManager {

bool isTrusted(bool prompt) {
  return platform::services().accessibility->isProcessTrusted(prompt);
}

void openAccessibilitySettings() {
  platform::services().workspace->openURL(
      "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
}

}  // namespace tessaloom::WindowManager
