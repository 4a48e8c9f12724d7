#include "base/files.h"
#include "base/fd.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tessaloom::files {
namespace {

namespace fs = std::filesystem;

Failure failure(const fs::path& path, int error) {
  return Failure{path.string() + ": " + std::strerror(error)};
}

/// The file a path names once every symbolic link at its end is followed (the links in its
/// folders are left to the kernel). A link to a missing file names that file.
Result<fs::path> finalTarget(fs::path path) {
  // As many links as the kernel follows; the turn after the last reads the target.
  constexpr int kMaxLinks = 40;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) return path;
      return failure(path, errno);
    }
    if (!S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    fs::path next = fs::read_symlink(path, ec);
    if (ec) return failure(path, ec.value());
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return failure(path, ELOOP);
}

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

fs::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && entry->pw_dir[0])
    return entry->pw_dir;
  return {};
}

fs::path configFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
  fs::path home = homeFolder();
  return home.empty() ? home : home / ".config";
}

Outcome replaceFile(const fs::path& path, std::string_view contents, unsigned mode) {
  auto resolved = finalTarget(path);
  if (!resolved) return Failure{resolved.error()};
  const fs::path target = *resolved;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!target.has_filename()) return failure(path, EISDIR);

  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return failure(target, EISDIR);
    mode = existing.st_mode & 07777;
  }

  // mkostemp opens with O_EXCL: the temporary is a new file of ours, and only this call ever
  // removes it. The leading dot keeps it out of folder listings.
  std::string temporary = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return failure(folder, errno);
  int error = 0;
  errno = 0;
  if (::fchmod(fd.get(), static_cast<mode_t>(mode & 07777)) != 0 || !writeAll(fd.get(), contents) ||
      ::fsync(fd.get()) != 0)
    error = errno ? errno : EIO;
  if (!fd.close() && error == 0) error = errno ? errno : EIO;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return failure(target, error);
  }
  // The rename is durable only once the folder's entry is on disk too.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return {};
}

}  // namespace tessaloom::files
