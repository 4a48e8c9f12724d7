#include "menubar/installer.h"

#include <string_view>

#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/installation.h"
#include "platform/services.h"
#include "platform/workspace.h"

namespace tessaloom::Installer {
namespace {

constexpr std::string_view kApplications = "/Applications/";

bool failed(const std::string& error) {
  auto& services = platform::services();
  services.alerts->runModal(platform::Alert{
      "移動できませんでした",
      "Finder で Tessaloom.app を「アプリケーション」フォルダへドラッグしてから開いてください。"
      "\n\n" +
          error,
      {}});
  return false;
}

}  // namespace

std::string version() {
  const auto value = platform::services().installation->infoValue("CFBundleShortVersionString");
  if (value)
    if (const auto* text = value->get<std::string>()) return *text;
  return "-";
}

void quitOtherInstances() {
  auto& services = platform::services();
  const auto identifier = services.installation->bundleIdentifier();
  if (!identifier) return;
  const auto self = services.workspace->currentProcessIdentifier();
  for (const auto pid : services.installation->runningInstances(*identifier))
    // Only older copies: two copies started together must not end each other.
    if (pid != self && services.installation->startedBeforeThisProcess(pid))
      services.installation->terminate(pid);
}

bool moveToApplicationsIfNeeded() {
  auto& services = platform::services();
  auto& installation = *services.installation;
  const std::string path = installation.bundlePath();
  if (!path.ends_with(".app")) return false;
  if (path.starts_with(kApplications)) return false;
  if (path.starts_with(installation.homeDirectory() + std::string(kApplications))) return false;

  services.application->activateIgnoringOtherApps();
  const int choice = services.alerts->runModal(platform::Alert{
      "「アプリケーション」フォルダに移動しますか？",
      "Tessaloom "
      "は「アプリケーション」フォルダに入れて使うと、ログイン時の自動起動やウィンドウ操作の"
      "許可が正しく動きます。",
      {"移動して開く", "このまま使う"}});
  if (choice != platform::kAlertFirstButtonReturn) return false;

  const auto slash = path.find_last_of('/');
  const std::string destination =
      std::string(kApplications) + (slash == std::string::npos ? path : path.substr(slash + 1));
  std::string error;
  if (installation.fileExists(destination) && !installation.trashItem(destination, error))
    return failed(error);
  if (!installation.copyItem(path, destination, error)) return failed(error);
  installation.launch("/usr/bin/open", {"-n", destination});
  services.application->terminate();
  return true;
}

}  // namespace tessaloom::Installer
