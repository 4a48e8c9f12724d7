#include "platform/xdg/desktop_entries.h"

#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

#include "platform/glib/gio.h"

namespace tessaloom::platform::xdg {
namespace {

constexpr std::string_view kSuffix = ".desktop";
constexpr const char* kGroup = "Desktop Entry";

// Lowercased with spaces as "-", the form desktop-file ids take.
std::string idForm(std::string_view text) {
  gchar* lower = g_utf8_strdown(text.data(), static_cast<gssize>(text.size()));
  std::string out = lower ? lower : "";
  g_free(lower);
  for (auto& c : out)
    if (c == ' ') c = '-';
  return out;
}

// A string GLib allocated, as a std::string; empty for none.
std::string take(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

struct KeyFileFree {
  void operator()(GKeyFile* k) const { g_key_file_free(k); }
};

// The desktop files under `applications`, each with its id (the path below it with "/" as
// "-", without ".desktop"), in a fixed order.
std::vector<std::pair<std::string, std::filesystem::path>> desktopFiles(
    const std::filesystem::path& applications) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, fs::path>> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(applications, fs::directory_options::skip_permission_denied,
                                      ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& path = it->path();
    const std::string name = path.filename().string();
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) continue;
    std::error_code ignored;
    if (!it->is_regular_file(ignored)) continue;
    std::string id = path.lexically_relative(applications).string();
    id.resize(id.size() - kSuffix.size());
    std::replace(id.begin(), id.end(), '/', '-');
    files.emplace_back(std::move(id), path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The application entry in `path`; nothing when the file cannot be read, is no application
// or is hidden.
std::optional<DesktopEntry> readEntry(const std::string& id, const std::filesystem::path& path) {
  std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
    return std::nullopt;
  GKeyFile* k = file.get();
  if (take(g_key_file_get_string(k, kGroup, "Type", nullptr)) != "Application") return std::nullopt;
  if (g_key_file_get_boolean(k, kGroup, "Hidden", nullptr)) return std::nullopt;
  DesktopEntry entry;
  entry.id = id;
  entry.name = take(g_key_file_get_locale_string(k, kGroup, "Name", nullptr, nullptr));
  if (entry.name.empty()) entry.name = id;
  entry.startupWMClass = take(g_key_file_get_string(k, kGroup, "StartupWMClass", nullptr));
  entry.path = path.string();
  entry.tryExec = take(g_key_file_get_string(k, kGroup, "TryExec", nullptr));
  entry.exec = take(g_key_file_get_string(k, kGroup, "Exec", nullptr));
  return entry;
}

// Whether `program` is an executable file, named by path or found on PATH.
bool findable(const std::string& program) {
  gchar* found = g_find_program_in_path(program.c_str());
  g_free(found);
  return found != nullptr;
}

// Whether the programs the entry names exist, as GIO requires of an installed application.
bool programsPresent(const DesktopEntry& entry) {
  if (!entry.tryExec.empty() && !findable(entry.tryExec)) return false;
  if (entry.exec.empty()) return true;
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(entry.exec.c_str(), nullptr, &argv, nullptr)) return false;
  const bool present = argv && argv[0] && findable(argv[0]);
  g_strfreev(argv);
  return present;
}

}  // namespace

DesktopEntryIndex::DesktopEntryIndex(std::vector<DesktopEntry> entries)
    : entries_(std::move(entries)), usable_(entries_.size(), -1) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    byId_.emplace(entries_[i].id, i);
    if (!entries_[i].startupWMClass.empty()) byWMClass_[entries_[i].startupWMClass].push_back(i);
  }
}

DesktopEntryIndex DesktopEntryIndex::read(
    const std::vector<std::filesystem::path>& dataDirectories) {
  std::vector<DesktopEntry> entries;
  std::set<std::string, std::less<>> seen;
  for (const auto& directory : dataDirectories) {
    for (const auto& [id, path] : desktopFiles(directory / "applications")) {
      if (!seen.insert(id).second) continue;  // hidden by an earlier directory
      if (auto entry = readEntry(id, path)) entries.push_back(std::move(*entry));
    }
  }
  return DesktopEntryIndex(std::move(entries));
}

const DesktopEntryIndex& DesktopEntryIndex::installed() {
  static const DesktopEntryIndex index = [] {
    std::vector<std::filesystem::path> directories = {g_get_user_data_dir()};
    for (const gchar* const* d = g_get_system_data_dirs(); d && *d; ++d)
      directories.emplace_back(*d);
    return read(directories);
  }();
  return index;
}

bool DesktopEntryIndex::usable(std::size_t index) const {
  if (usable_[index] < 0) usable_[index] = programsPresent(entries_[index]) ? 1 : 0;
  return usable_[index] == 1;
}

const DesktopEntry* DesktopEntryIndex::find(std::string_view id) const {
  auto it = byId_.find(std::string(id));
  return it == byId_.end() || !usable(it->second) ? nullptr : &entries_[it->second];
}

const DesktopEntry* DesktopEntryIndex::findByStartupWMClass(std::string_view wmClass) const {
  auto it = byWMClass_.find(std::string(wmClass));
  if (it == byWMClass_.end()) return nullptr;
  for (const std::size_t i : it->second)
    if (usable(i)) return &entries_[i];
  return nullptr;
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
  const DesktopEntry* entry = DesktopEntryIndex::installed().find(id);
  if (!entry || entry->path.empty()) return std::nullopt;
  return entry->path;
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
  const glib::Gio* g = glib::gio();
  if (!g) return false;
  auto unref = [g](gpointer object) { g->unref(object); };
  std::unique_ptr<GDesktopAppInfo, decltype(unref)> info(g->appInfoFromFile(file.c_str()), unref);
  if (!info) return false;
  std::unique_ptr<GAppLaunchContext, decltype(unref)> context(g->launchContext(), unref);
  if (!display.empty()) g->launchSetenv(context.get(), "DISPLAY", display.c_str());
  // The application gets none of our standard streams: what it prints must not mix with the
  // command's own output, and a reader of that output must not wait for the application to
  // end before it sees the end of ours.
  const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  GError* error = nullptr;
  // This process ignores SIGPIPE (see the X connection); the application gets the default.
  auto defaultSignals = [](gpointer) { ::signal(SIGPIPE, SIG_DFL); };
  const bool launched =
      g->launch(info.get(), nullptr, context.get(), G_SPAWN_SEARCH_PATH, defaultSignals, nullptr,
                nullptr, nullptr, nothing, nothing, nothing, &error);
  if (error) g_error_free(error);
  if (nothing >= 0) ::close(nothing);
  return launched;
}

}  // namespace tessaloom::platform::xdg
