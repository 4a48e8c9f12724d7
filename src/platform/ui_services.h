// The tray application's desktop services in one bundle, handed to the tray application when it
// starts. Command-line runs have none of them.
#pragma once

#include "platform/about_panel.h"
#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/hot_keys.h"
#include "platform/installation.h"
#include "platform/login_item.h"
#include "platform/overlay.h"
#include "platform/status_item.h"

namespace tessaloom::platform {

struct UiServices {
  Application& application;
  StatusItem& statusItem;
  Alerts& alerts;
  AboutPanel& aboutPanel;
  Overlay& overlay;
  HotKeys& hotKeys;
  LoginItem& loginItem;
  Installation& installation;
};

}  // namespace tessaloom::platform
