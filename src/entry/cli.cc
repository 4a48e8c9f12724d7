#include "entry/cli.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <memory>

#include "arrange/arranger.h"
#include "base/language.h"
#include "base/records.h"
#include "catalog/text.h"
#include "platform/main_queue.h"
#include "platform/window_system.h"
#include "settings/settings.h"
#include "windows/window_manager.h"

namespace tessaloom::entry {
namespace {

constexpr const char* kUsage =
    N_("使い方: --list | --apply <layout> [--mouse|--per-display] | --undo | --save [名前] | "
       "--restore [名前] | --saved | --forget <名前>");
constexpr const char* kHelp =
    N_("使い方: tessaloom [コマンド]\n"
       "  （なし）           トレイに常駐し、Ctrl+Alt+G などのホットキーで整列します\n"
       "  --list             ディスプレイと、整列するウィンドウを一覧します\n"
       "  --apply <layout>   ウィンドウを整列します: grid, columns, aiSplit, cascade, sameSize\n"
       "  --mouse            --apply で、マウスのあるディスプレイにすべて集めます\n"
       "  --per-display      --apply で、各ディスプレイの中で整列します\n"
       "  --undo             直前の配置に戻します（もう一度で元に戻ります）\n"
       "  --save [名前]      今の配置を保存します（名前を付けると、いくつでも別に保存できます）\n"
       "  --restore [名前]   保存したアプリを開いて、保存した配置に戻します\n"
       "  --saved            名前を付けて保存した配置を一覧します\n"
       "  --forget <名前>    名前を付けて保存した配置を削除します\n"
       "  --help             この使い方を表示します\n"
       "  --version          バージョンを表示します\n");
constexpr std::size_t kTitleCharacters = 40;

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string layoutNames() {
  std::string line = language::tr("レイアウト名: ");
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
  const auto facts = ctx.desktop.snapshot();
  for (const auto& d : WindowManager::displays(facts.screens))
    out << "display " << printable(text::sanitize(d.name())) << " frame=" << describe(d.frame())
        << " visible=" << describe(d.visible()) << "\n";
  for (const auto& w : WindowManager::targetWindows(ctx, facts))
    out << "[" << label(w.kind()) << "] " << printable(text::sanitize(w.appName())) << " | "
        << printable(text::prefixCharacters(w.title(), kTitleCharacters)) << " | "
        << describe(w.frame()) << "\n";
}

// Runs the main loop until the restore `start` begins has completed; nothing when it never
// began.
std::optional<int> restoreAndWait(Context& ctx,
                                  const std::function<bool(std::function<void(int)>)>& start) {
  auto finished = std::make_shared<bool>(false);
  auto count = std::make_shared<int>(0);
  if (!start([finished, count](int n) {
        *count = n;
        *finished = true;
      }))
    return std::nullopt;
  auto& queue = ctx.queue;
  while (!*finished) queue.runUntil(queue.now() + 0.1);
  return *count;
}

// The name after a command, when one is given (an option is none).
std::optional<std::string> nameArgument(const std::vector<std::string>& args) {
  if (args.size() < 2 || startsWith(args[1], "--")) return std::nullopt;
  return args[1];
}

std::string inBrackets(std::string_view name) {
  return language::format(language::tr("「%s」"), printable(text::sanitize(name)).c_str());
}

// "4枚": a count of windows.
std::string windows(std::size_t n) {
  return language::format(language::trn("%zu枚", "%zu枚", n), n);
}

std::string localTime(double secondsSinceEpoch) {
  const auto t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm local{};
  char text[32] = "";
  if (localtime_r(&t, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

void listNamed(Context& ctx, std::ostream& out) {
  const auto list = ctx.settings.namedArrangements();
  if (list.empty()) out << language::tr("名前を付けて保存した配置はありません") << "\n";
  for (const auto& entry : list) {
    out << printable(entry.name) << " | " << windows(entry.frames.size()) << " | ";
    for (std::size_t i = 0; i < entry.monitors.size(); ++i)
      out << (i ? ", " : "") << printable(text::sanitize(entry.monitors[i].name)) << " "
          << entry.monitors[i].width << "x" << entry.monitors[i].height;
    out << " | " << localTime(entry.savedAt) << "\n";
  }
}

int saveCommand(Context& ctx, const std::vector<std::string>& args, std::ostream& out) {
  const auto name = nameArgument(args);
  if (!name) {
    // The store has said on standard error why nothing was saved.
    const auto saved = Arranger::saveCurrent(ctx);
    if (!saved) return 1;
    out << language::format(language::trn("保存: %d枚", "保存: %d枚", *saved), *saved) << "\n";
    return 0;
  }
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  const auto saved = Arranger::saveNamed(ctx, *name, std::floor(now));
  if (!saved) {
    out << saved.error() << "\n";
    return 1;
  }
  out << language::format(language::trn("保存%s: %d枚", "保存%s: %d枚", *saved),
                          inBrackets(*arrangementName(*name)).c_str(), *saved)
      << "\n";
  return 0;
}

int restoreCommand(Context& ctx, const std::vector<std::string>& args, std::ostream& out) {
  const auto name = nameArgument(args);
  const auto count = restoreAndWait(ctx, [&](std::function<void(int)> done) {
    if (name) return Arranger::restoreNamed(ctx, *name, std::move(done));
    Arranger::restoreSaved(ctx, std::move(done));
    return true;
  });
  if (!count) {
    out << language::format(language::tr("保存した配置%sはありません"), inBrackets(*name).c_str())
        << "\n";
    return 1;
  }
  if (name)
    out << language::format(language::trn("復元%s: %d枚", "復元%s: %d枚", *count),
                            inBrackets(*arrangementName(*name)).c_str(), *count);
  else
    out << language::format(language::trn("復元: %d枚", "復元: %d枚", *count), *count);
  out << "\n";
  return 0;
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
    out << title(*kind) << ": " << windows(count) << "\n";
  } else if (command == "--undo") {
    const int count = Arranger::undo(ctx);
    out << language::format(language::trn("元に戻した: %d枚", "元に戻した: %d枚", count), count)
        << "\n";
  } else if (command == "--save") {
    return saveCommand(ctx, args, out);
  } else if (command == "--restore") {
    return restoreCommand(ctx, args, out);
  } else if (command == "--saved") {
    listNamed(ctx, out);
  } else if (command == "--forget") {
    const auto name = nameArgument(args);
    if (!name) return std::nullopt;
    if (!Arranger::forgetNamed(ctx, *name)) {
      out << language::format(language::tr("保存した配置%sはありません"), inBrackets(*name).c_str())
          << "\n";
      return 1;
    }
    out << language::format(language::tr("削除%s"), inBrackets(*arrangementName(*name)).c_str())
        << "\n";
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
    out << language::tr(kHelp);
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
    out << (prompt ? prompt->line : language::tr("ウィンドウを動かせません")) << "\n";
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
    out << language::tr(kUsage) << "\n";
    status = 1;
  }
  return *status;
}

}  // namespace tessaloom::entry
