#include "base/language.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>

namespace tessaloom::language {
namespace {

constexpr const char* kDomain = "tessaloom";
constexpr std::size_t kMaxCatalogueBytes = 4 << 20;

// The plural rule of a catalogue's header ("plural=(n != 1);"), a C expression of n, evaluated
// by precedence climbing. A malformed rule gives form 0.
class PluralRule {
 public:
  explicit PluralRule(std::string expression) : text_(std::move(expression)) {}
  unsigned long operator()(unsigned long n) const {
    pos_ = 0;
    n_ = n;
    const unsigned long value = condition();
    return pos_ == text_.size() ? value : 0;
  }

 private:
  // A position past the end marks a malformed rule: nothing more matches.
  bool eat(std::string_view token) const {
    if (pos_ > text_.size()) return false;
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    if (text_.compare(pos_, token.size(), token) != 0) return false;
    pos_ += token.size();
    return true;
  }
  unsigned long condition() const {
    const unsigned long test = binary(0);
    if (!eat("?")) return test;
    const unsigned long yes = condition();
    if (!eat(":")) pos_ = text_.size() + 1;
    const unsigned long no = condition();
    return test ? yes : no;
  }
  // Binary operators by level, loosest first; a longer one before its prefix ("<=" before "<").
  unsigned long binary(int level) const {
    static constexpr std::string_view kLevels[][4] = {
        {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/", "%"}};
    if (level == 6) return unary();
    unsigned long value = binary(level + 1);
    for (bool more = true; more;) {
      more = false;
      for (const std::string_view op : kLevels[level]) {
        if (op.empty() || !eat(op)) continue;
        const unsigned long r = binary(level + 1);
        if (op == "||") value = value || r;
        if (op == "&&") value = value && r;
        if (op == "==") value = value == r;
        if (op == "!=") value = value != r;
        if (op == "<=") value = value <= r;
        if (op == ">=") value = value >= r;
        if (op == "<") value = value < r;
        if (op == ">") value = value > r;
        if (op == "+") value += r;
        if (op == "-") value -= r;
        if (op == "*") value *= r;
        if (op == "/") value = r ? value / r : 0;
        if (op == "%") value = r ? value % r : 0;
        more = true;
        break;
      }
    }
    return value;
  }
  unsigned long unary() const {
    if (eat("!")) return !unary();
    if (eat("n")) return n_;
    if (eat("(")) {
      const unsigned long value = condition();
      if (!eat(")")) pos_ = text_.size() + 1;
      return value;
    }
    unsigned long value = 0;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
      value = value * 10 + static_cast<unsigned long>(text_[pos_++] - '0');
    if (pos_ == start) pos_ = text_.size() + 1;
    return value;
  }

  std::string text_;
  mutable std::size_t pos_ = 0;
  mutable unsigned long n_ = 0;
};

// A compiled catalogue (msgfmt's .mo file): source text to translation, the forms of a plural
// entry separated by NUL, as the file holds them.
struct Catalogue {
  std::unordered_map<std::string, std::string> texts;
  PluralRule plural{"0"};
};

std::optional<Catalogue> readCatalogue(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (data.size() < 28 || data.size() > kMaxCatalogueBytes) return std::nullopt;
  const auto word = [&data](std::size_t at, bool swapped) {
    std::uint32_t w = 0;
    std::memcpy(&w, data.data() + at, 4);
    return swapped ? __builtin_bswap32(w) : w;
  };
  std::uint32_t magic = word(0, false);
  const bool swapped = magic == 0xde120495;
  if (!swapped && magic != 0x950412de) return std::nullopt;
  const std::uint64_t count = word(8, swapped), sources = word(12, swapped),
                      targets = word(16, swapped);
  // Every string of the table must lie inside the file.
  const auto text = [&](std::uint64_t table, std::uint64_t i) -> std::optional<std::string> {
    const std::uint64_t at = table + 8 * i;
    if (at + 8 > data.size()) return std::nullopt;
    const std::uint64_t length = word(at, swapped), offset = word(at + 4, swapped);
    if (offset + length > data.size()) return std::nullopt;
    return data.substr(offset, length);
  };
  Catalogue catalogue;
  for (std::uint64_t i = 0; i < count; ++i) {
    auto source = text(sources, i), target = text(targets, i);
    if (!source || !target) return std::nullopt;
    // A plural entry is found by its first form.
    catalogue.texts.emplace(source->substr(0, source->find('\0')), std::move(*target));
  }
  const std::string& header = catalogue.texts[""];
  if (const auto at = header.find("plural="); at != std::string::npos)
    catalogue.plural = PluralRule(header.substr(at + 7, header.find_first_of(";\n", at) - at - 7));
  return catalogue;
}

// The catalogue names a language name stands for, most precise first: "de_DE.UTF-8@euro" is
// tried as itself, "de_DE@euro", "de_DE" and "de".
std::vector<std::string> variants(const std::string& name) {
  const std::string modifier =
      name.find('@') == std::string::npos ? "" : name.substr(name.find('@'));
  const std::string base = name.substr(0, name.find_first_of(".@"));
  std::vector<std::string> out{name};
  for (const std::string& v : {base + modifier, base, base.substr(0, base.find('_'))})
    if (!v.empty() && v != out.back()) out.push_back(v);
  return out;
}

struct Chosen {
  bool done = false;
  std::optional<Catalogue> catalogue;
};
Chosen& chosen() {
  static Chosen state;
  return state;
}

const std::optional<Catalogue>& current() {
  if (!chosen().done) choose();
  return chosen().catalogue;
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
  // The program's own prefix, wherever it was installed (the package's /usr, --prefix); none
  // when the program's path cannot be read.
  std::string folder;
  if (const char* dir = std::getenv("TESSALOOM_LOCALEDIR"); dir && *dir) {
    folder = dir;
  } else {
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) folder = (program.parent_path().parent_path() / TESSALOOM_LOCALE_DIR).string();
  }
  const auto path = [&folder](const std::string& name) {
    return folder.empty() ? std::string() : folder + "/" + name + "/LC_MESSAGES/" + kDomain + ".mo";
  };
  chosen().done = true;
  auto& catalogue = chosen().catalogue;
  catalogue.reset();
  const auto wanted = preferences(std::getenv);
  if (wanted.empty()) return;
  for (const auto& name : wanted) {
    for (const auto& v : variants(name)) {
      // The source texts are Japanese; "C" in a list stands for them too.
      if (v == "ja" || v == "C" || v == "POSIX") return;
      if ((catalogue = readCatalogue(path(v)))) return;
    }
  }
  catalogue = readCatalogue(path("en"));
}

const char* tr(const char* text) {
  const auto& catalogue = current();
  // The empty text is the catalogue's header, never a text of the program.
  if (!catalogue || !*text) return text;
  const auto found = catalogue->texts.find(text);
  return found == catalogue->texts.end() || found->second.empty() ? text : found->second.c_str();
}

const char* trn(const char* one, const char* many, unsigned long n) {
  const auto& catalogue = current();
  if (!catalogue) return n == 1 ? one : many;
  const auto found = catalogue->texts.find(one);
  if (found == catalogue->texts.end()) return n == 1 ? one : many;
  // The forms follow each other, each ended by NUL but the last.
  const char* form = found->second.c_str();
  const char* end = form + found->second.size();
  for (unsigned long i = catalogue->plural(n); i > 0 && form < end; --i)
    form += std::strlen(form) + 1;
  return form < end ? form : found->second.c_str();
}

unsigned long pluralForm(const std::string& rule, unsigned long n) {
  return PluralRule(rule)(n);
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
