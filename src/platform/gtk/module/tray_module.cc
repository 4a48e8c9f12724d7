// The entry of the tray module: the GTK tray services behind the loader's interface.
#include "platform/desktop/tray_module.h"

#include "platform/gtk/gtk_tray.h"

namespace tessaloom::platform::gtk {
namespace {

class Handle final : public TrayServicesHandle {
 public:
  UiServices& ui() override { return tray_.ui(); }
  void run() override { tray_.run(); }

 private:
  TrayServices tray_;
};

const TrayModule kModule = {
    [] { return TrayServices::startToolkit(); },
    []() -> TrayServicesHandle* { return new Handle(); },
};

}  // namespace
}  // namespace tessaloom::platform::gtk

extern "C" __attribute__((visibility("default"))) const tessaloom::platform::TrayModule*
tessaloom_tray_module() {
  return &tessaloom::platform::gtk::kModule;
}
