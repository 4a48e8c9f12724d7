// Sets up, before any test, the desktop entries the backend finds (it reads them once per
// process) and a Japanese message language for their localized names.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/x11/x11_fixture.h"

namespace tessaloom::x11test {
namespace {

class DesktopEntriesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string client = testClientPath();
    dir_.write("applications/org.example.ProbeB.desktop",
               "[Desktop Entry]\nType=Application\nName=Probe B\nName[ja]=プローブ B\n"
               "StartupWMClass=ProbeB\nExec=" +
                   client + " --window --class probeb,ProbeB --title ProbeB\n");
    dir_.write(
        "applications/lowerclass.desktop",
        "[Desktop Entry]\nType=Application\nName=Lower Class\nExec=" + client + " --window\n");
    dir_.write("applications/org.example.GtkApp.desktop",
               "[Desktop Entry]\nType=Application\nName=Gtk App\nExec=" + client + " --window\n");
    dir_.write(
        "applications/org.example.Launchable.desktop",
        "[Desktop Entry]\nType=Application\nName=Launchable\nStartupWMClass=Launchable\nExec=" +
            client + " --window --class launchable,Launchable --title Launched\n");
    ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
    ::setenv("LANGUAGE", "ja", 1);
    path() = dir_.path();
  }

  static std::filesystem::path& path() {
    static std::filesystem::path p;
    return p;
  }

 private:
  TempDir dir_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new DesktopEntriesEnvironment);

}  // namespace

const std::filesystem::path& testDataHome() {
  return DesktopEntriesEnvironment::path();
}

}  // namespace tessaloom::x11test
