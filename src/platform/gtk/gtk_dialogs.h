// The application object, modal alerts and the about dialog of the tray application, in GTK.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "platform/about_panel.h"
#include "platform/alerts.h"
#include "platform/application.h"

typedef struct _GtkWidget GtkWidget;

namespace tessaloom::platform::gtk {

class GtkApplicationService final : public Application {
 public:
  /// `quit` ends the event loop.
  explicit GtkApplicationService(std::function<void()> quit) : quit_(std::move(quit)) {}
  /// The next dialog is raised above every other window when it opens.
  void bringToFront() override { raiseNext_ = true; }
  void quit() override;
  /// GDK's monitors-changed signal of the default screen.
  std::shared_ptr<void> watchDisplays(std::function<void()> changed) override;

  /// Whether quit() was asked for (before the loop turned, the loop then never starts).
  bool quitting() const { return quitting_; }
  /// Whether a dialog should come to the front, and forget the request.
  bool takeRaiseRequest() { return std::exchange(raiseNext_, false); }

 private:
  std::function<void()> quit_;
  bool raiseNext_ = false;
  bool quitting_ = false;
};

class GtkAlerts final : public Alerts {
 public:
  explicit GtkAlerts(GtkApplicationService& application) : application_(application) {}
  /// A modal GtkMessageDialog with the buttons in order, the first as default.
  int runModal(const Alert& alert) override;
  /// The same with an entry under the texts; Enter chooses the first button.
  std::optional<std::string> askForText(const Alert& alert) override;
  /// Closes the open dialog as if dismissed, so that a program asked to quit is not held by
  /// the dialog's own loop.
  void dismiss();

 private:
  // Builds the dialog; its response is the index of the button chosen.
  GtkWidget* dialogFor(const Alert& alert);
  int run(GtkWidget* dialog, int buttons);

  GtkApplicationService& application_;
  GtkWidget* open_ = nullptr;
};

class GtkAboutPanel final : public AboutPanel {
 public:
  explicit GtkAboutPanel(GtkApplicationService& application) : application_(application) {}
  ~GtkAboutPanel() override;
  GtkAboutPanel(const GtkAboutPanel&) = delete;
  GtkAboutPanel& operator=(const GtkAboutPanel&) = delete;
  void show(const AboutInfo& info) override;

 private:
  GtkApplicationService& application_;
  GtkWidget* dialog_ = nullptr;
};

}  // namespace tessaloom::platform::gtk
