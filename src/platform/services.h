// The one place where the core finds the platform: the backend in use installs its services
// here at start-up (tests install the simulated desktop). Holds pointers, owns nothing.
#pragma once

namespace tessaloom::platform {

class Accessibility;
class Workspace;
class Screens;
class DefaultsStore;
class MainQueue;

struct Services {
  Accessibility* accessibility = nullptr;
  Workspace* workspace = nullptr;
  Screens* screens = nullptr;
  DefaultsStore* defaults = nullptr;
  MainQueue* mainQueue = nullptr;
};

/// The services in force; every member is set once a backend is installed.
Services& services();
void install(const Services& services);

}  // namespace tessaloom::platform
