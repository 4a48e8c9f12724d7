#include "menubar/installer.h"

#include <algorithm>
#include <string_view>

namespace tessaloom::Installer {
namespace {

bool failed(platform::UiServices& ui, const std::string& error) {
  ui.alerts.runModal(platform::Alert{
      "移動できませんでした",
      "Finder で Tessaloom.app を「アプリケーション」フォルダへドラッグしてから開いてください。"
      "\n\n" +
          error,
      {}});
  return false;
}

}  // namespace

std::string version(platform::Installation& installation) {
  std::string value = installation.version();
  return value.empty() ? "-" : value;
}

void quitOlderCopies(platform::Installation& installation) {
  // Only older copies: two copies started together must not end each other.
  for (const auto pid : installation.olderCopies()) installation.quitCopy(pid);
}

bool moveToApplicationsIfNeeded(platform::UiServices& ui) {
  auto& installation = ui.installation;
  const std::string path = installation.packagePath();
  if (path.empty()) return false;
  const auto folders = installation.installFolders();
  if (folders.empty()) return false;
  if (std::any_of(folders.begin(), folders.end(),
                  [&path](const std::string& folder) { return path.starts_with(folder); }))
    return false;

  ui.application.bringToFront();
  const int choice = ui.alerts.runModal(platform::Alert{
      "「アプリケーション」フォルダに移動しますか？",
      "Tessaloom "
      "は「アプリケーション」フォルダに入れて使うと、ログイン時の自動起動やウィンドウ操作の"
      "許可が正しく動きます。",
      {"移動して開く", "このまま使う"}});
  if (choice != 0) return false;

  const auto slash = path.find_last_of('/');
  const std::string destination =
      folders.front() + (slash == std::string::npos ? path : path.substr(slash + 1));
  if (installation.fileExists(destination))
    if (auto trashed = installation.trashItem(destination); !trashed)
      return failed(ui, trashed.error());
  if (auto copied = installation.copyItem(path, destination); !copied)
    return failed(ui, copied.error());
  installation.openCopy(destination);
  ui.application.quit();
  return true;
}

}  // namespace tessaloom::Installer
