#include "platform/posix/autostart_login_item.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>

namespace tessaloom::platform {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> absoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return std::nullopt;
  return fs::path(value);
}

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

std::string describe(const fs::path& path, const std::error_code& ec) {
  return path.string() + ": " + ec.message();
}

}  // namespace

std::optional<fs::path> AutostartLoginItem::entryPath() {
  auto base = absoluteFromEnvironment("XDG_CONFIG_HOME");
  if (!base) {
    auto home = absoluteFromEnvironment("HOME");
    if (!home) return std::nullopt;
    base = *home / ".config";
  }
  return *base / "autostart" / "tessaloom.desktop";
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

LoginItemStatus AutostartLoginItem::status() {
  const auto path = entryPath();
  if (!path) return LoginItemStatus::notFound;
  std::ifstream in(*path);
  if (!in) return LoginItemStatus::notRegistered;
  return isHidden(in) ? LoginItemStatus::notRegistered : LoginItemStatus::enabled;
}

bool AutostartLoginItem::registerItem(std::string& error) {
  const auto path = entryPath();
  if (!path) {
    error = "XDG_CONFIG_HOME も HOME も設定されていません";
    return false;
  }
  if (executable_.empty() || executable_.front() != '/') {
    error = "起動するプログラムの場所がわかりません";
    return false;
  }
  std::error_code ec;
  fs::create_directories(path->parent_path(), ec);
  if (ec) {
    error = describe(path->parent_path(), ec);
    return false;
  }
  fs::path temporary = *path;
  temporary += ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << entryText(executable_);
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      error = temporary.string() + ": 書き込めませんでした";
      return false;
    }
  }
  fs::rename(temporary, *path, ec);
  if (ec) {
    error = describe(*path, ec);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

bool AutostartLoginItem::unregisterItem(std::string& error) {
  const auto path = entryPath();
  if (!path) {
    error = "XDG_CONFIG_HOME も HOME も設定されていません";
    return false;
  }
  std::error_code ec;
  fs::remove(*path, ec);
  if (ec) {
    error = describe(*path, ec);
    return false;
  }
  return true;
}

}  // namespace tessaloom::platform
