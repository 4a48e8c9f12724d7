#include "platform/i3ipc/i3_config_keys.h"

#include <strings.h>
#include <wordexp.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <utility>

namespace tessaloom::platform::i3ipc {
namespace {

// sway's modifier names, any case; the ones a chord cannot hold count as none of its own.
std::optional<std::uint32_t> modifierBit(std::string_view name) {
  static constexpr std::pair<const char*, std::uint32_t> kNames[] = {
      {"Ctrl", kControl}, {"Control", kControl}, {"Alt", kAlt},     {"Mod1", kAlt},
      {"Shift", kShift},  {"Mod4", kSuper},      {"Super", kSuper}, {"Lock", 16},
      {"Mod2", 16},       {"Mod3", 16},          {"Mod5", 16},      {"Caps", 16}};
  for (const auto& [known, bit] : kNames)
    if (name.size() == std::strlen(known) && ::strncasecmp(name.data(), known, name.size()) == 0)
      return bit;
  return std::nullopt;
}

// "Ctrl+Mod1+G": a chord when it is modifiers and one letter (sway reads key names in any case).
std::optional<Chord> chordOf(std::string_view combination) {
  Chord chord;
  for (std::size_t from = 0; from <= combination.size();) {
    const std::size_t end = std::min(combination.find('+', from), combination.size());
    const std::string_view part = combination.substr(from, end - from);
    from = end + 1;
    if (const auto bit = modifierBit(part)) {
      chord.modifiers |= *bit;
    } else if (part.size() == 1 && std::isalpha(static_cast<unsigned char>(part[0])) &&
               !chord.letter) {
      chord.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(part[0])));
    } else {
      return std::nullopt;
    }
  }
  if (!chord.letter || chord.modifiers > (kControl | kAlt | kShift | kSuper)) return std::nullopt;
  return chord;
}

// The words of a line as sway splits them: quotes hold spaces. A quote left open ends with the
// line, as what follows the key of a binding is the command's, not ours to judge.
std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  char quote = 0;
  bool inWord = false;
  for (const char c : line) {
    if (!quote && (c == ' ' || c == '\t')) {
      inWord = false;
      continue;
    }
    if (!inWord) out.emplace_back(), inWord = true;
    if (quote ? c == quote : c == '"' || c == '\'')
      quote = quote ? 0 : c;
    else
      out.back() += c;
  }
  return out;
}

class Reader {
 public:
  std::vector<Chord> chords;

  void read(std::string_view text, const std::string& folder, int depth) {
    std::vector<std::string> blocks;
    std::string line;
    for (std::size_t from = 0; from < text.size();) {
      const std::size_t end = std::min(text.find('\n', from), text.size());
      line += text.substr(from, end - from);
      from = end + 1;
      if (line.ends_with('\\')) {  // continued on the next line
        line.pop_back();
        continue;
      }
      const std::string whole = trimmed(std::exchange(line, {}));
      if (whole.empty() || whole.starts_with('#')) continue;
      if (whole == "}") {
        if (!blocks.empty()) blocks.pop_back();
        continue;
      }
      std::string full;
      for (const auto& b : blocks) full += b + " ";
      if (whole.ends_with('{')) {
        blocks.push_back(trimmed(whole.substr(0, whole.size() - 1)));
        continue;
      }
      apply(replaced(full + whole), folder, depth);
    }
  }

 private:
  static std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == s.npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t\r") - first + 1));
  }

  // sway replaces at each '$' the longest variable whose name starts there.
  std::string replaced(const std::string& line) const {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const std::map<std::string, std::string>::value_type* best = nullptr;
      if (line[i] == '$')
        for (const auto& v : variables_)
          if (line.compare(i, v.first.size(), v.first) == 0 &&
              (!best || v.first.size() > best->first.size()))
            best = &v;
      if (!best) {
        out += line[i];
        continue;
      }
      out += best->second;
      i += best->first.size() - 1;
    }
    return out;
  }

  void apply(const std::string& line, const std::string& folder, int depth) {
    const auto w = words(line);
    if (w.size() >= 3 && w[0] == "set" && w[1].starts_with('$')) {
      // The value is the rest of the line as written.
      const std::size_t at = line.find(w[1]) + w[1].size();
      variables_[w[1]] = trimmed(line.substr(at));
    } else if (w.size() >= 2 && w[0] == "bindsym") {
      auto key = std::find_if(w.begin() + 1, w.end(), [](auto& s) { return !s.starts_with("--"); });
      if (key == w.end()) return;
      if (const auto chord = chordOf(*key)) chords.push_back(*chord);
    } else if (w.size() == 2 && w[0] == "include") {
      include(w[1], folder, depth);
    }
  }

  // sway expands an include pattern as the shell expands a word, without commands.
  void include(const std::string& pattern, const std::string& folder, int depth) {
    if (depth >= kMaxDepth) return;
    std::string path = pattern;
    if (!path.starts_with('/') && !path.starts_with('~') && !path.starts_with('$'))
      path = folder + "/" + path;
    wordexp_t expanded;
    if (::wordexp(path.c_str(), &expanded, WRDE_NOCMD) != 0) return;
    for (std::size_t i = 0; i < expanded.we_wordc; ++i) {
      const std::filesystem::path file = expanded.we_wordv[i];
      std::ifstream in(file);
      if (!in || !seen_.insert(file.lexically_normal().string()).second) continue;
      const std::string text((std::istreambuf_iterator<char>(in)), {});
      read(text, file.parent_path().string(), depth + 1);
    }
    ::wordfree(&expanded);
  }

  static constexpr int kMaxDepth = 8;
  std::map<std::string, std::string> variables_;
  std::set<std::string> seen_;
};

}  // namespace

std::vector<Chord> configuredChords(std::string_view config, const std::string& folder) {
  Reader reader;
  reader.read(config, folder, 0);
  return reader.chords;
}

std::string defaultConfigFolder() {
  const char* home = std::getenv("HOME");
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string h = home ? home : "";
  const std::string config = xdg && *xdg ? xdg : h + "/.config";
  for (const std::string& folder : {h + "/.sway", config + "/sway", h + "/.i3", config + "/i3",
                                    std::string("/etc/sway"), std::string("/etc/i3")})
    if (std::filesystem::is_regular_file(folder + "/config")) return folder;
  return {};
}

}  // namespace tessaloom::platform::i3ipc
