#include "platform/x11/desktop_entries.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace tessaloom::platform::x11 {
namespace {

constexpr std::string_view kSuffix = ".desktop";

std::string withoutSuffix(std::string_view id) {
  if (id.size() > kSuffix.size() && id.substr(id.size() - kSuffix.size()) == kSuffix)
    id.remove_suffix(kSuffix.size());
  return std::string(id);
}

// Lowercased with spaces as "-", the form desktop-file ids take.
std::string idForm(std::string_view text) {
  gchar* lower = g_utf8_strdown(text.data(), static_cast<gssize>(text.size()));
  std::string out = lower ? lower : "";
  g_free(lower);
  for (auto& c : out)
    if (c == ' ') c = '-';
  return out;
}

struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};

}  // namespace

DesktopEntryIndex::DesktopEntryIndex(std::vector<DesktopEntry> entries)
    : entries_(std::move(entries)) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    byId_.emplace(entries_[i].id, i);
    if (!entries_[i].startupWMClass.empty()) byWMClass_.emplace(entries_[i].startupWMClass, i);
  }
}

const DesktopEntryIndex& DesktopEntryIndex::installed() {
  static const DesktopEntryIndex index = [] {
    std::vector<DesktopEntry> entries;
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
      auto* info = static_cast<GAppInfo*>(item->data);
      if (!G_IS_DESKTOP_APP_INFO(info)) continue;
      const char* id = g_app_info_get_id(info);
      if (!id) continue;
      DesktopEntry entry;
      entry.id = withoutSuffix(id);
      const char* name = g_app_info_get_name(info);
      entry.name = name ? name : entry.id;
      const char* wmClass = g_desktop_app_info_get_startup_wm_class(G_DESKTOP_APP_INFO(info));
      if (wmClass) entry.startupWMClass = wmClass;
      entries.push_back(std::move(entry));
    }
    g_list_free_full(all, g_object_unref);
    return DesktopEntryIndex(std::move(entries));
  }();
  return index;
}

const DesktopEntry* DesktopEntryIndex::find(std::string_view id) const {
  auto it = byId_.find(std::string(id));
  return it == byId_.end() ? nullptr : &entries_[it->second];
}

const DesktopEntry* DesktopEntryIndex::findByStartupWMClass(std::string_view wmClass) const {
  auto it = byWMClass_.find(std::string(wmClass));
  return it == byWMClass_.end() ? nullptr : &entries_[it->second];
}

AppIdentity identifyApplication(const DesktopEntryIndex& index, const WindowClassHints& hints) {
  const DesktopEntry* entry = nullptr;
  if (!hints.gtkApplicationId.empty()) entry = index.find(hints.gtkApplicationId);
  for (const std::string* hint : {&hints.instance, &hints.wmClass}) {
    if (!entry && !hint->empty()) entry = index.findByStartupWMClass(*hint);
  }
  for (const std::string* hint : {&hints.instance, &hints.wmClass}) {
    if (!entry && !hint->empty()) entry = index.find(*hint);
    if (!entry && !hint->empty()) entry = index.find(idForm(*hint));
  }
  if (entry) return {entry->id, entry->name};
  if (!hints.wmClass.empty()) return {idForm(hints.wmClass), hints.wmClass};
  if (!hints.instance.empty()) return {idForm(hints.instance), hints.instance};
  return {};
}

std::optional<std::string> desktopEntryPath(std::string_view id) {
  if (id.empty() || id.find('/') != std::string_view::npos ||
      id.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::string file = std::string(id) + std::string(kSuffix);
  std::unique_ptr<GDesktopAppInfo, GObjectUnref> info(g_desktop_app_info_new(file.c_str()));
  if (!info) return std::nullopt;
  const char* path = g_desktop_app_info_get_filename(info.get());
  if (!path) return std::nullopt;
  return std::string(path);
}

bool launchDesktopEntry(std::string_view path, const std::string& display) {
  std::string file(path);
  if (file.find('\0') != std::string::npos) return false;
  if (file.rfind("file:", 0) == 0) {
    gchar* local = g_filename_from_uri(file.c_str(), nullptr, nullptr);
    if (!local) return false;
    file = local;
    g_free(local);
  }
  std::unique_ptr<GDesktopAppInfo, GObjectUnref> info(
      g_desktop_app_info_new_from_filename(file.c_str()));
  if (!info) return false;
  std::unique_ptr<GAppLaunchContext, GObjectUnref> context(g_app_launch_context_new());
  if (!display.empty()) g_app_launch_context_setenv(context.get(), "DISPLAY", display.c_str());
  GError* error = nullptr;
  const bool launched = g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error);
  if (error) g_error_free(error);
  return launched;
}

}  // namespace tessaloom::platform::x11
