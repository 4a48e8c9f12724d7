#include "platform/posix/posix_installation.h"

#include <pwd.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace tessaloom::platform {

namespace fs = std::filesystem;

std::string PosixInstallation::executablePath() {
  std::error_code ec;
  const auto path = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

PosixInstallation::~PosixInstallation() {
  if (enrolled_) registry_->withdraw(static_cast<std::int32_t>(::getpid()));
}

bool PosixInstallation::enrollThisProcess() {
  if (!registry_) return false;
  enrolled_ = registry_->enroll(static_cast<std::int32_t>(::getpid()));
  return enrolled_;
}

std::optional<DefaultsValue> PosixInstallation::infoValue(std::string_view key) {
  if (key == "CFBundleShortVersionString") return DefaultsValue(TESSALOOM_VERSION);
  if (key == "CFBundleIdentifier") return DefaultsValue(std::string(kIdentifier));
  if (key == "CFBundleName") return DefaultsValue("Tessaloom");
  return std::nullopt;
}

std::string PosixInstallation::homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return {};
}

bool PosixInstallation::fileExists(std::string_view path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(fs::path(path), ec));
}

bool PosixInstallation::trashItem(std::string_view path, std::string& error) {
  error = std::string(path) + ": ごみ箱に移せません";
  return false;
}

bool PosixInstallation::copyItem(std::string_view from, std::string_view to, std::string& error) {
  std::error_code ec;
  fs::copy(fs::path(from), fs::path(to),
           fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) return true;
  error = std::string(to) + ": " + ec.message();
  return false;
}

bool PosixInstallation::launch(std::string_view executable,
                               const std::vector<std::string>& arguments) {
  std::vector<std::string> words{std::string(executable)};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  return ::posix_spawn(&child, words.front().c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

std::vector<std::int32_t> PosixInstallation::runningInstances(std::string_view bundleIdentifier) {
  if (!registry_ || bundleIdentifier != kIdentifier) return {};
  return registry_->instances();
}

bool PosixInstallation::startedBeforeThisProcess(std::int32_t pid) {
  return registry_ && registry_->startedBefore(pid, static_cast<std::int32_t>(::getpid()));
}

void PosixInstallation::terminate(std::int32_t pid) {
  if (registry_ && registry_->terminate(pid)) InstanceRegistry::waitForExit(pid, kQuitWaitSeconds);
}

}  // namespace tessaloom::platform
