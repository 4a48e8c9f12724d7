#include "platform/xdg/desktop_entries.h"

#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

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

// The application entry in the key file `bytes` (or, without them, the file at `path`);
// nothing when it cannot be read, is no application or is hidden.
std::optional<DesktopEntry> readEntry(const std::string& id, const std::string& path,
                                      std::optional<std::string_view> bytes = std::nullopt) {
  std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
  if (!(bytes ? g_key_file_load_from_data(file.get(), bytes->data(), bytes->size(), G_KEY_FILE_NONE,
                                          nullptr)
              : g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)))
    return std::nullopt;
  GKeyFile* k = file.get();
  if (take(g_key_file_get_string(k, kGroup, "Type", nullptr)) != "Application") return std::nullopt;
  if (g_key_file_get_boolean(k, kGroup, "Hidden", nullptr)) return std::nullopt;
  DesktopEntry entry;
  entry.id = id;
  entry.name = take(g_key_file_get_locale_string(k, kGroup, "Name", nullptr, nullptr));
  if (entry.name.empty()) entry.name = id;
  entry.startupWMClass = take(g_key_file_get_string(k, kGroup, "StartupWMClass", nullptr));
  entry.path = path;
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

DesktopEntryIndex::DesktopEntryIndex(std::vector<DesktopEntry> entries) {
  for (auto& e : entries) add({e.id, e.path, true, std::move(e)});
}

void DesktopEntryIndex::add(Slot slot) {
  if (!byId_.emplace(slot.id, slots_.size()).second) return;
  if (slot.entry && !slot.entry->startupWMClass.empty())
    byWMClass_[slot.entry->startupWMClass].push_back(slots_.size());
  slots_.push_back(std::move(slot));
}

DesktopEntryIndex DesktopEntryIndex::read(
    const std::vector<std::filesystem::path>& dataDirectories) {
  DesktopEntryIndex index;
  for (const auto& directory : dataDirectories) {
    for (auto& [id, path] : desktopFiles(directory / "applications")) {
      if (index.byId_.contains(id)) continue;  // hidden by an earlier directory
      gchar* bytes = nullptr;
      gsize size = 0;
      Slot slot{id, path.string(), false, std::nullopt};
      if (!g_file_get_contents(slot.path.c_str(), &bytes, &size, nullptr)) {
        slot.read = true;  // unreadable: no entry, and still hides the id
      } else if (std::string_view(bytes, size).find("StartupWMClass") != std::string_view::npos) {
        slot.read = true;  // found by its window class too: parsed now
        slot.entry = readEntry(slot.id, slot.path, std::string_view(bytes, size));
      }
      g_free(bytes);
      index.add(std::move(slot));
    }
  }
  return index;
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

const DesktopEntry* DesktopEntryIndex::usable(std::size_t index) const {
  Slot& slot = slots_[index];
  if (!slot.read) slot.read = true, slot.entry = readEntry(slot.id, slot.path);
  if (slot.entry && slot.usable < 0) slot.usable = programsPresent(*slot.entry) ? 1 : 0;
  return slot.entry && slot.usable == 1 ? &*slot.entry : nullptr;
}

const DesktopEntry* DesktopEntryIndex::find(std::string_view id) const {
  auto it = byId_.find(std::string(id));
  return it == byId_.end() ? nullptr : usable(it->second);
}

const DesktopEntry* DesktopEntryIndex::findByStartupWMClass(std::string_view wmClass) const {
  auto it = byWMClass_.find(std::string(wmClass));
  if (it == byWMClass_.end()) return nullptr;
  for (const std::size_t i : it->second)
    if (const DesktopEntry* entry = usable(i)) return entry;
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
