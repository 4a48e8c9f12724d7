#include "entry/cli.h"

#include <algorithm>
#include <memory>

#include "arrange/arranger.h"
#include "base/records.h"
#include "catalog/text.h"
#include "platform/main_queue.h"
#include "platform/window_system.h"
#include "windows/window_manager.h"

namespace tessaloom::entry {
namespace {

constexpr std::string_view kUsage =
    "使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save | --restore";
constexpr std::string_view kHelp =
    "使い方: tessaloom [コマンド]\n"
    "  （なし）           トレイに常駐し、Ctrl+Alt+G などのホットキーで整列します\n"
    "  --list             ディスプレイと、整列するウィンドウを一覧します\n"
    "  --apply <layout>   ウィンドウを整列します: grid, columns, aiSplit, cascade, sameSize\n"
    "  --mouse            --apply で、マウスのあるディスプレイにすべて集めます\n"
    "  --per-display      --apply で、各ディスプレイの中で整列します\n"
    "  --undo             直前の配置に戻します（もう一度で元に戻ります）\n"
    "  --save             今の配置を保存します\n"
    "  --restore          保存したアプリを開いて、保存した配置に戻します\n"
    "  --help             この使い方を表示します\n"
    "  --version          バージョンを表示します\n";
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

// Valid UTF-8 with its control characters written out, so that every listed item stays on one
// line, reads in its own order and sends the terminal no command: C0 and DEL as "\x1B"; C1, the
// line and paragraph separators and the bidirectional embeddings, overrides and isolates as
// "\u0085", "\u202E".
std::string printable(const std::string& valid) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = [&valid](std::size_t i) {
    return i < valid.size() ? static_cast<unsigned char>(valid[i]) : 0u;
  };
  std::string out;
  out.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const unsigned c = byte(i), next = byte(i + 1), third = byte(i + 2);
    unsigned code = 0;
    if (c < 0x20 || c == 0x7F) {
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
      continue;
    }
    if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      code = next;
    } else if (c == 0xE2 && ((next == 0x80 && third >= 0xA8 && third <= 0xAE) ||
                             (next == 0x81 && third >= 0xA6 && third <= 0xA9))) {
      code = 0x2000 | (next & 0x3F) << 6 | (third & 0x3F);
      ++i;
    } else {
      out += valid[i];
      continue;
    }
    out +=
        {'\\', 'u', kHex[code >> 12], kHex[code >> 8 & 15], kHex[code >> 4 & 15], kHex[code & 15]};
    ++i;
  }
  return out;
}

void list(Context& ctx, std::ostream& out) {
  for (const auto& d : WindowManager::displays(ctx))
    out << "display " << printable(text::sanitize(d.name())) << " frame=" << describe(d.frame())
        << " visible=" << describe(d.visible()) << "\n";
  for (const auto& w : WindowManager::targetWindows(ctx))
    out << "[" << label(w.kind()) << "] " << printable(text::sanitize(w.appName())) << " | "
        << printable(text::prefixCharacters(w.title(), kTitleCharacters)) << " | "
        << describe(w.frame()) << "\n";
}

int restoreAndWait(Context& ctx) {
  auto finished = std::make_shared<bool>(false);
  auto count = std::make_shared<int>(0);
  Arranger::restoreSaved(ctx, [finished, count](int n) {
    *count = n;
    *finished = true;
  });
  auto& queue = ctx.queue;
  while (!*finished) queue.runUntil(queue.now() + 0.1);
  return *count;
}

// Runs the command named by args[0]; nothing when it is not a command.
std::optional<int> runCommand(Context& ctx, const std::vector<std::string>& args,
                              std::optional<DisplayMode> mode, std::ostream& out) {
  const std::string& command = args.front();
  if (command == "--list") {
    list(ctx, out);
  } else if (command == "--apply") {
    auto kind = args.size() > 1 ? layoutKindFromRaw(args[1]) : std::nullopt;
    if (!kind) {
      out << layoutNames() << "\n";
      return 1;
    }
    const int count = Arranger::arrange(ctx, *kind, mode);
    out << title(*kind) << ": " << count << "枚\n";
  } else if (command == "--undo") {
    out << "元に戻した: " << Arranger::undo(ctx) << "枚\n";
  } else if (command == "--save") {
    // The store has said on standard error why nothing was saved.
    const auto saved = Arranger::saveCurrent(ctx);
    if (!saved) return 1;
    out << "保存: " << *saved << "枚\n";
  } else if (command == "--restore") {
    out << "復元: " << restoreAndWait(ctx) << "枚\n";
  } else {
    return std::nullopt;
  }
  return 0;
}

}  // namespace

std::vector<std::string> arguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return args;
}

std::optional<int> runWithoutDesktop(const std::vector<std::string>& args, std::ostream& out) {
  if (args.empty()) return std::nullopt;
  if (args.front() == "--help")
    out << kHelp;
  else if (args.front() == "--version")
    out << "tessaloom " << TESSALOOM_VERSION << "\n";
  else
    return std::nullopt;
  return 0;
}

bool isCommandLineMode(const std::vector<std::string>& args) {
  return !args.empty() && startsWith(args.front(), "--");
}

int runCLI(Context& ctx, const std::vector<std::string>& args, std::ostream& out) {
  if (!ctx.desktop.controlAvailable()) {
    const auto prompt = ctx.desktop.controlPrompt();
    out << (prompt ? prompt->line : "アクセシビリティの許可がありません") << "\n";
    return 2;
  }
  // Both flags given: the later check wins, as it always has.
  std::optional<DisplayMode> mode;
  if (std::find(args.begin(), args.end(), "--mouse") != args.end())
    mode = DisplayMode::mouseDisplay;
  if (std::find(args.begin(), args.end(), "--per-display") != args.end())
    mode = DisplayMode::perDisplay;

  std::optional<int> status = args.empty() ? std::nullopt : runCommand(ctx, args, mode, out);
  if (!status) {
    out << kUsage << "\n";
    status = 1;
  }
  return *status;
}

}  // namespace tessaloom::entry
