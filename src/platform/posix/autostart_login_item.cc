#include "platform/posix/autostart_login_item.h"

#include <fstream>
#include <string_view>
#include <system_error>

#include "base/files.h"
#include "base/language.h"

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Whether the [Desktop Entry] group of a key file sets Hidden=true.
bool isHidden(std::istream& in) {
  bool inEntry = false;
  std::string line;
  while (std::getline(in, line)) {
    const auto text = trim(line);
    if (text.empty() || text.front() == '#') continue;
    if (text.front() == '[') {
      inEntry = text == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    if (trim(text.substr(0, eq)) == "Hidden") return trim(text.substr(eq + 1)) == "true";
  }
  return false;
}

// One argument of an Exec line: quoted when it holds a reserved character, with the quoted
// form's own escapes; a percent sign is doubled so it is not read as a field code.
std::string execArgument(const std::string& arg) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string out;
  const bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string::npos;
  if (quote) out += '"';
  for (const char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';  // reserved, so always quoted
    out += c;
  }
  if (quote) out += '"';
  return out;
}

// A string value of a key file: backslashes and control characters escaped.
std::string keyFileValue(const std::string& value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::optional<fs::path> AutostartLoginItem::entryPath() {
  const fs::path config = files::configFolder();
  if (config.empty()) return std::nullopt;
  return config / "autostart" / "tessaloom.desktop";
}

std::string AutostartLoginItem::entryText(const std::string& executable) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tessaloom\n"
         "Exec=" +
         keyFileValue(execArgument(executable)) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartLoginItem::enabled() {
  const auto path = entryPath();
  if (!path) return false;
  std::ifstream in(*path);
  return in && !isHidden(in);
}

Outcome AutostartLoginItem::setEnabled(bool enabled) {
  const auto path = entryPath();
  if (!path) return Failure{language::tr("XDG_CONFIG_HOME も HOME も設定されていません")};
  std::error_code ec;
  if (!enabled) {
    fs::remove(*path, ec);
    if (ec) return Failure{path->string() + ": " + ec.message()};
    return {};
  }
  if (executable_.empty() || executable_.front() != '/')
    return Failure{language::tr("起動するプログラムの場所がわかりません")};
  fs::create_directories(path->parent_path(), ec);
  if (ec) return Failure{path->parent_path().string() + ": " + ec.message()};
  return files::replaceFile(*path, entryText(executable_));
}

}  // namespace tessaloom::platform
