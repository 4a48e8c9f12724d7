// The one place where the core finds the platform: the backend in use installs its services
// here at start-up (tests install the simulated desktop). Holds pointers, owns nothing.
#pragma once

namespace tessaloom::platform {

class Accessibility;
class Workspace;
class Screens;
class DefaultsStore;
class MainQueue;
class Application;
class StatusItem;
class Alerts;
class AboutPanel;
class Overlay;
class HotKeys;
class LoginItem;
class Installation;
class Updater;

struct Services {
  Accessibility* accessibility = nullptr;
  Workspace* workspace = nullptr;
  Screens* screens = nullptr;
  DefaultsStore* defaults = nullptr;
  MainQueue* mainQueue = nullptr;
  // The tray application's services; command-line runs leave them null.
  Application* application = nullptr;
  StatusItem* statusItem = nullptr;
  Alerts* alerts = nullptr;
  AboutPanel* aboutPanel = nullptr;
  Overlay* overlay = nullptr;
  HotKeys* hotKeys = nullptr;
  LoginItem* loginItem = nullptr;
  Installation* installation = nullptr;
  /// Null where no update machinery exists (Linux): the update item is then disabled.
  Updater* updater = nullptr;
};

/// The services in force; the members up to mainQueue are set once a backend is installed.
Services& services();
void install(const Services& services);

}  // namespace tessaloom::platform
