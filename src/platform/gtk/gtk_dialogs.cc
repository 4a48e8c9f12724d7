#include "platform/gtk/gtk_dialogs.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <string>

#include "platform/gtk/gtk_symbols.h"

namespace tessaloom::platform::gtk {
namespace {

void present(GtkWindow* window, bool raise) {
  gtk_window_set_keep_above(window, raise);
  gtk_window_present_with_time(window, gtk_get_current_event_time());
}

}  // namespace

void GtkApplicationService::quit() {
  quitting_ = true;
  if (quit_) quit_();
}

std::shared_ptr<void> GtkApplicationService::watchDisplays(std::function<void()> changed) {
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return nullptr;
  using Changed = std::function<void()>;
  const gulong id = g_signal_connect_data(
      screen, "monitors-changed",
      G_CALLBACK(+[](GdkScreen*, gpointer f) { (*static_cast<Changed*>(f))(); }),
      new Changed(std::move(changed)),
      [](gpointer f, GClosure*) { delete static_cast<Changed*>(f); }, GConnectFlags{});
  g_object_ref(screen);
  return std::shared_ptr<void>(nullptr, [screen, id](void*) {
    g_signal_handler_disconnect(screen, id);
    g_object_unref(screen);
  });
}

GtkWidget* GtkAlerts::dialogFor(const Alert& alert) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), "Tessaloom");
  if (!alert.informativeText.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             alert.informativeText.c_str());
  const std::vector<std::string> buttons =
      alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
  // Response ids are the button indices; GTK's own responses are negative.
  for (std::size_t i = 0; i < buttons.size(); ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<int>(i));
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
  return dialog;
}

int GtkAlerts::run(GtkWidget* dialog, int buttons) {
  present(GTK_WINDOW(dialog), application_.takeRaiseRequest());
  open_ = dialog;
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  open_ = nullptr;
  const int last = std::max(buttons, 1) - 1;
  // Closed by the window manager or Escape: the last button, as the caller expects.
  return response < 0 || response > last ? last : response;
}

int GtkAlerts::runModal(const Alert& alert) {
  GtkWidget* dialog = dialogFor(alert);
  const int chosen = run(dialog, static_cast<int>(alert.buttons.size()));
  gtk_widget_destroy(dialog);
  return chosen;
}

std::optional<std::string> GtkAlerts::askForText(const Alert& alert) {
  GtkWidget* dialog = dialogFor(alert);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_box_pack_end(GTK_BOX(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))), entry,
                   FALSE, FALSE, 0);
  gtk_widget_show(entry);
  const bool chosen = run(dialog, static_cast<int>(alert.buttons.size())) == 0;
  std::optional<std::string> text;
  if (chosen) text = gtk_entry_get_text(GTK_ENTRY(entry));
  gtk_widget_destroy(dialog);
  return text;
}

void GtkAlerts::dismiss() {
  if (open_) gtk_dialog_response(GTK_DIALOG(open_), GTK_RESPONSE_DELETE_EVENT);
}

GtkAboutPanel::~GtkAboutPanel() {
  if (dialog_) gtk_widget_destroy(dialog_);
}

void GtkAboutPanel::show(const AboutInfo& info) {
  if (!dialog_) {
    dialog_ = gtk_about_dialog_new();
    g_signal_connect(dialog_, "response", G_CALLBACK(gtk_widget_hide), nullptr);
    g_signal_connect(dialog_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  }
  auto* about = GTK_ABOUT_DIALOG(dialog_);
  gtk_about_dialog_set_program_name(about, info.applicationName.c_str());
  gtk_about_dialog_set_version(about, info.version.c_str());
  gtk_about_dialog_set_comments(about, info.credits.c_str());
  gtk_about_dialog_set_logo_icon_name(about, std::string(kAppIconName).c_str());
  present(GTK_WINDOW(dialog_), application_.takeRaiseRequest());
}

}  // namespace tessaloom::platform::gtk
