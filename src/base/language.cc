#include "base/language.h"

#include <libintl.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>

namespace tessaloom::language {
namespace {

constexpr const char* kDomain = "tessaloom";

struct Chosen {
  bool done = false;
  bool translating = false;
  std::optional<std::string> inherited;  // LANGUAGE as the user set it
  std::optional<std::string> ours;       // LANGUAGE as we set it for gettext
};
Chosen& chosen() {
  static Chosen state;
  return state;
}

bool translating() {
  if (!chosen().done) choose();
  return chosen().translating;
}

// Whether a language name stands for the source texts: Japanese, or "C" in a list.
bool isSource(const std::string& name) {
  const std::string language = name.substr(0, name.find_first_of("_.@"));
  return language == "ja" || language == "C" || language == "POSIX";
}

void setLanguageVariable(const std::optional<std::string>& value) {
  if (value)
    ::setenv("LANGUAGE", value->c_str(), 1);
  else
    ::unsetenv("LANGUAGE");
}

}  // namespace

std::vector<std::string> preferences(const std::function<const char*(const char*)>& get) {
  const auto value = [&get](const char* name) {
    const char* v = get(name);
    return std::string(v ? v : "");
  };
  std::string locale = value("LC_ALL");
  if (locale.empty()) locale = value("LC_MESSAGES");
  if (locale.empty()) locale = value("LANG");
  if (locale.empty() || locale == "C" || locale == "POSIX") return {};
  std::string list = value("LANGUAGE");
  if (list.empty()) list = locale;
  std::vector<std::string> out;
  std::istringstream names(list);
  for (std::string name; std::getline(names, name, ':');)
    if (!name.empty()) out.push_back(name);
  return out;
}

void choose() {
  Chosen& c = chosen();
  // LANGUAGE is the user's unless it is what we set ourselves.
  const char* now = std::getenv("LANGUAGE");
  if (!(now && c.ours && *c.ours == now))
    c.inherited = now ? std::optional<std::string>(now) : std::nullopt;
  c.done = true;
  c.translating = false;
  const auto wanted = preferences([&c](const char* name) -> const char* {
    if (std::strcmp(name, "LANGUAGE") == 0) return c.inherited ? c.inherited->c_str() : nullptr;
    return std::getenv(name);
  });
  // The wanted languages up to the first that is the source's; English after them, unless the
  // source texts were wanted there.
  std::string list;
  bool source = false;
  for (const auto& name : wanted) {
    if ((source = isSource(name))) break;
    list += name + ":";
  }
  if (!source) list += "en";
  if (!list.empty() && list.back() == ':') list.pop_back();
  if (list.empty()) {
    setLanguageVariable(c.inherited);
    c.ours.reset();
    return;
  }
  // The program's own prefix, wherever it was installed (the package's /usr, --prefix); none
  // when the program's path cannot be read.
  std::string folder;
  if (const char* dir = std::getenv("TESSALOOM_LOCALEDIR"); dir && *dir) {
    folder = dir;
  } else {
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    folder = (program.parent_path().parent_path() / TESSALOOM_LOCALE_DIR).string();
  }
  ::bindtextdomain(kDomain, folder.c_str());
  ::bind_textdomain_codeset(kDomain, "UTF-8");
  // gettext takes the languages from LANGUAGE, and ignores it under the C locale: where the
  // user's locale is not on the machine, messages take C.UTF-8, which every glibc has. Setting
  // the locale after LANGUAGE also makes gettext forget what it looked up before.
  c.ours = list;
  setLanguageVariable(c.ours);
  const char* messages = std::setlocale(LC_MESSAGES, "");
  if (!messages || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  c.translating = true;
}

std::optional<std::string> inheritedLanguage() {
  if (!chosen().done) choose();
  return chosen().inherited;
}

const char* tr(const char* text) {
  // The empty text is the catalogue's header, never a text of the program.
  if (!translating() || !*text) return text;
  return ::dgettext(kDomain, text);
}

const char* trn(const char* one, const char* many, unsigned long n) {
  if (!translating()) return n == 1 ? one : many;
  return ::dngettext(kDomain, one, many, n);
}

std::string format(const char* pattern, ...) {
  std::va_list args;
  va_start(args, pattern);
  std::va_list again;
  va_copy(again, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int size = std::vsnprintf(nullptr, 0, pattern, args);
  std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(out.data(), out.size() + 1, pattern, again);
#pragma GCC diagnostic pop
  va_end(again);
  va_end(args);
  return out;
}

}  // namespace tessaloom::language
