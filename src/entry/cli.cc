#include "entry/cli.h"

#include <algorithm>
#include <memory>

#include "arrange/arranger.h"
#include "catalog/text.h"
#include "base/records.h"
#include "platform/main_queue.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::entry {
namespace {

constexpr std::string_view kUsage =
    "使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save | --restore";
constexpr std::size_t kTitleCharacters = 40;

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string layoutNames() {
  std::string line = "レイアウト名: ";
  for (std::size_t i = 0; i < kAllLayoutKinds.size(); ++i) {
    if (i) line += ", ";
    line += rawValue(kAllLayoutKinds[i]);
  }
  return line;
}

void list(std::ostream& out) {
  for (const auto& d : WindowManager::displays())
    out << "display " << text::sanitize(d.name()) << " frame=" << describe(d.frame())
        << " visible=" << describe(d.visible()) << "\n";
  for (const auto& w : WindowManager::targetWindows())
    out << "[" << label(w.kind()) << "] " << text::sanitize(w.appName()) << " | "
        << text::prefixCharacters(w.title(), kTitleCharacters) << " | " << describe(w.frame())
        << "\n";
}

int restoreAndWait() {
  auto finished = std::make_shared<bool>(false);
  auto count = std::make_shared<int>(0);
  Arranger::restoreSaved([finished, count](int n) {
    *count = n;
    *finished = true;
  });
  auto& queue = *platform::services().mainQueue;
  while (!*finished) queue.runUntil(queue.now() + 0.1);
  return *count;
}

// Runs the command named by args[0]; nothing when it is not a command.
std::optional<int> runCommand(const std::vector<std::string>& args, std::ostream& out) {
  const std::string& command = args.front();
  if (command == "--list") {
    list(out);
  } else if (command == "--apply") {
    auto kind = args.size() > 1 ? layoutKindFromRaw(args[1]) : std::nullopt;
    if (!kind) {
      out << layoutNames() << "\n";
      return 1;
    }
    const int count = Arranger::arrange(*kind);
    out << title(*kind) << ": " << count << "枚\n";
  } else if (command == "--undo") {
    out << "元に戻した: " << Arranger::undo() << "枚\n";
  } else if (command == "--save") {
    out << "保存: " << Arranger::saveCurrent() << "枚\n";
  } else if (command == "--restore") {
    out << "復元: " << restoreAndWait() << "枚\n";
  } else {
    return std::nullopt;
  }
  return 0;
}

}  // namespace

std::vector<std::string> filterArguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i] ? argv[i] : "";
    if (startsWith(a, "-NS") || startsWith(a, "-Apple")) continue;
    args.emplace_back(a);
  }
  return args;
}

bool isCommandLineMode(const std::vector<std::string>& args) {
  return !args.empty() && startsWith(args.front(), "--");
}

int runCLI(const std::vector<std::string>& args, std::ostream& out) {
  if (!WindowManager::isTrusted(false)) {
    out << "アクセシビリティの許可がありません\n";
    return 2;
  }
  auto& settings = Settings::shared();
  const DisplayMode remembered = settings.displayMode();
  if (std::find(args.begin(), args.end(), "--mouse") != args.end())
    settings.setDisplayMode(DisplayMode::mouseDisplay);
  if (std::find(args.begin(), args.end(), "--per-display") != args.end())
    settings.setDisplayMode(DisplayMode::perDisplay);

  std::optional<int> status = args.empty() ? std::nullopt : runCommand(args, out);
  if (!status) {
    out << kUsage << "\n";
    status = 1;
  }
  settings.setDisplayMode(remembered);
  return *status;
}

}  // namespace tessaloom::entry
