#include "platform/posix/file_defaults.h"

#include "base/fd.h"
#include "base/language.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "base/files.h"
#include "platform/posix/base64.h"

namespace tessaloom::platform {
namespace {

using Json = nlohmann::json;
using Dictionary = DefaultsValue::Dictionary;

constexpr std::string_view kDataMember = "$data";

// ---- Value <-> JSON -----------------------------------------------------------------------

// A leading "$" is doubled in the file so that member names stay apart from "$data".
std::string escapeName(std::string_view name) {
  std::string out;
  if (!name.empty() && name.front() == '$') out += '$';
  out += name;
  return out;
}

bool isEscaped(std::string_view name) {
  return name.size() >= 2 && name.substr(0, 2) == "$$";
}

std::string unescapeName(const std::string& name) {
  return isEscaped(name) ? name.substr(1) : name;
}

/// The member names that stand for `key`, the one we write first. A hand-written "$x" also
/// means the key "$x"; when both are present the written one wins.
std::vector<std::string> namesOf(std::string_view key) {
  std::vector<std::string> names{escapeName(key)};
  if (names.front() != key && !isEscaped(key)) names.emplace_back(key);
  return names;
}

std::optional<DefaultsValue> fromJson(const Json& j);

Dictionary dictionaryFromJson(const Json& object) {
  Dictionary out;
  for (const auto& [name, member] : object.items()) {
    auto value = fromJson(member);
    if (!value) continue;
    if (isEscaped(name))
      out.insert_or_assign(unescapeName(name), std::move(*value));
    else
      out.emplace(name, std::move(*value));
  }
  return out;
}

/// The value of `key` in a file's top-level object, as dictionaryFromJson would give it.
std::optional<DefaultsValue> memberOf(const Json& object, std::string_view key) {
  for (const auto& name : namesOf(key)) {
    const auto it = object.find(name);
    if (it == object.end()) continue;
    if (auto value = fromJson(*it)) return value;
  }
  return std::nullopt;
}

std::optional<DefaultsValue> fromJson(const Json& j) {
  switch (j.type()) {
    case Json::value_t::boolean:
      return DefaultsValue(j.get<bool>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return DefaultsValue(j.get<double>());
    case Json::value_t::string:
      return DefaultsValue(j.get<std::string>());
    case Json::value_t::array: {
      DefaultsValue::Array out;
      out.reserve(j.size());
      for (const auto& element : j)
        if (auto value = fromJson(element)) out.push_back(std::move(*value));
      return DefaultsValue(std::move(out));
    }
    case Json::value_t::object: {
      if (j.size() == 1) {
        const auto it = j.find(kDataMember);
        if (it != j.end() && it->is_string())
          if (auto bytes = base64::decode(it->get_ref<const std::string&>()))
            return DefaultsValue(Data{std::move(*bytes)});
      }
      return DefaultsValue(dictionaryFromJson(j));
    }
    default:  // null, binary, discarded: no value
      return std::nullopt;
  }
}

std::optional<Json> toJson(const DefaultsValue& value, int depth);

std::optional<Json> dictionaryToJson(const Dictionary& dictionary, int depth) {
  Json out = Json::object();
  for (const auto& [name, member] : dictionary) {
    auto j = toJson(member, depth + 1);
    if (!j) return std::nullopt;
    out[escapeName(name)] = std::move(*j);
  }
  return out;
}

/// The JSON of `value` at nesting `depth`; nothing for a non-finite number or a container
/// deeper than the file may nest.
std::optional<Json> toJson(const DefaultsValue& value, int depth) {
  const auto& storage = value.storage();
  if (const auto* d = std::get_if<double>(&storage)) {
    if (!std::isfinite(*d)) return std::nullopt;
    // Whole numbers are written without a fraction ("gap": 8); they read back exactly.
    constexpr double kInt64Bound = 9223372036854775808.0;  // 2^63
    if (*d == std::trunc(*d) && std::abs(*d) < kInt64Bound && !(*d == 0 && std::signbit(*d)))
      return Json(static_cast<std::int64_t>(*d));
    return Json(*d);
  }
  if (const auto* s = std::get_if<std::string>(&storage)) return Json(*s);
  if (const auto* b = std::get_if<bool>(&storage)) return Json(*b);
  if (depth > FileDefaults::kMaxDepth) return std::nullopt;
  if (const auto* data = std::get_if<Data>(&storage)) {
    Json out = Json::object();
    out[std::string(kDataMember)] = base64::encode(data->bytes);
    return out;
  }
  if (const auto* dictionary = std::get_if<Dictionary>(&storage))
    return dictionaryToJson(*dictionary, depth);
  Json out = Json::array();
  for (const auto& element : std::get<DefaultsValue::Array>(storage)) {
    auto j = toJson(element, depth + 1);
    if (!j) return std::nullopt;
    out.push_back(std::move(*j));
  }
  return out;
}

// ---- Files --------------------------------------------------------------------------------

enum class FileState {
  missing,     // no file: no values
  readable,    // a defaults file (possibly empty)
  unreadable,  // cannot be read or is not a regular file: left alone
  corrupt,     // readable but not a defaults file: kept aside before the next write
};

struct FileText {
  FileState state = FileState::missing;
  std::string text{};  // when readable
};

/// The deepest nesting of arrays and objects in JSON text, the top level counting 1. Exact for
/// valid JSON; invalid text is refused by the parser anyway.
int nestingDepth(std::string_view text) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

/// The top-level object of a defaults file's text; nothing when the text is not one.
std::optional<Json> parseObject(std::string_view text) {
  // Checked before parsing, so that no recursive walk over the values ever meets deeper
  // nesting (a parser callback could do it too, at twice the cost of every parse).
  if (text.size() > FileDefaults::kMaxFileSize || nestingDepth(text) > FileDefaults::kMaxDepth + 1)
    return std::nullopt;
  try {
    Json j = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (!j.is_object()) return std::nullopt;
    return j;
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

/// The text of the file; a corrupt state here only for a file too large to be one.
FileText readText(const std::string& path) {
  if (path.empty()) return {};
  // O_NONBLOCK: a FIFO at the path must not block the open.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return {errno == ENOENT ? FileState::missing : FileState::unreadable};
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {FileState::unreadable};
  if (static_cast<std::uintmax_t>(st.st_size) > FileDefaults::kMaxFileSize)
    return {FileState::corrupt};

  FileText file{FileState::readable, {}};
  file.text.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {FileState::unreadable};
    if (n == 0) break;
    file.text.append(buffer, static_cast<std::size_t>(n));
    if (file.text.size() > FileDefaults::kMaxFileSize) return {FileState::corrupt};
  }
  return file;
}

/// Creates the folder and its missing parents (mode 0700); true when it exists afterwards.
bool makeFolders(const std::string& folder) {
  for (std::size_t end = 1; end <= folder.size(); ++end) {
    if (end != folder.size() && folder[end] != '/') continue;
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// The lock file for the data file at `path`: beside a link's target, so that every path to
/// one file takes one lock.
std::string lockPathOf(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path + ".lock";
  const auto target = std::filesystem::weakly_canonical(path, ec);
  return (ec || target.empty() ? path : target.string()) + ".lock";
}

/// Renames a corrupt file to `<path>.corrupt-<unix time>` (never over an existing file); a
/// symbolic link's target is renamed beside the target, and the link stays.
bool keepAside(const std::string& link) {
  std::error_code ec;
  const std::string path = std::filesystem::canonical(link, ec).string();
  if (ec) return false;
  const std::string stem = path + ".corrupt-" + std::to_string(std::time(nullptr));
  for (int n = 0; n < 100; ++n) {
    const std::string target = n == 0 ? stem : stem + "-" + std::to_string(n);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) continue;
    if (errno != ENOENT) return false;
    return ::rename(path.c_str(), target.c_str()) == 0;
  }
  return false;
}

/// The file text of an object. Text that is not UTF-8 is written with U+FFFD rather than
/// refused; `exact` then tells that the text does not read back as this very object.
std::string dump(const Json& j, bool& exact) {
  exact = true;
  try {
    return j.dump(-1, ' ', false, Json::error_handler_t::strict) + "\n";
  } catch (const Json::type_error&) {
    exact = false;
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  }
}

}  // namespace

/// The last text this store read or wrote and its parsed object. A read still reads the whole
/// file every time; only when its bytes are exactly the remembered ones is the parse skipped,
/// so nothing can be stale.
class FileDefaultsCache {
 public:
  std::shared_ptr<const Json> lookup(const std::string& text) {
    std::lock_guard lock(mutex_);
    return object_ && text == text_ ? object_ : nullptr;
  }
  void remember(std::string text, std::shared_ptr<const Json> object) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
    object_ = std::move(object);
  }

 private:
  std::mutex mutex_;
  std::string text_;
  std::shared_ptr<const Json> object_;
};

std::string FileDefaults::defaultPath() {
  if (const char* explicitPath = std::getenv("TESSALOOM_DEFAULTS"); explicitPath && *explicitPath)
    return explicitPath;
  const auto config = files::configFolder();
  return config.empty() ? std::string() : (config / "tessaloom" / "defaults.json").string();
}

FileDefaults::FileDefaults() : FileDefaults(defaultPath()) {}
FileDefaults::FileDefaults(std::string path)
    : path_(std::move(path)), cache_(std::make_shared<FileDefaultsCache>()) {}

std::shared_ptr<const Json> FileDefaults::currentObject() {
  static const auto empty = std::make_shared<const Json>(Json::object());
  FileText file = readText(path_);
  if (file.state != FileState::readable || file.text.empty()) return empty;
  if (auto cached = cache_->lookup(file.text)) return cached;
  auto parsed = parseObject(file.text);
  if (!parsed) return empty;
  auto object = std::make_shared<const Json>(std::move(*parsed));
  cache_->remember(std::move(file.text), object);
  return object;
}

std::optional<Dictionary> FileDefaults::parse(std::string_view text) {
  try {
    const auto object = parseObject(text);
    if (!object) return std::nullopt;
    return dictionaryFromJson(*object);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> FileDefaults::serialize(const Dictionary& values) {
  try {
    const auto j = dictionaryToJson(values, 0);
    if (!j) return std::nullopt;
    bool exact = true;
    return dump(*j, exact);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

Dictionary FileDefaults::values() {
  try {
    return dictionaryFromJson(*currentObject());
  } catch (const Json::exception&) {
    return {};
  }
}

std::optional<DefaultsValue> FileDefaults::object(std::string_view key) {
  try {
    return memberOf(*currentObject(), key);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

// Writes change only the member of the key; every other member of the file, including ones
// that read as nothing (null, unknown forms), is written back as it was.

bool FileDefaults::setObject(std::string_view key, const DefaultsValue& value) {
  try {
    const auto member = toJson(value, 1);
    if (!member) return false;
    const Outcome written = update([&](Json& object) {
      const auto names = namesOf(key);
      const bool onlyOneSpelling = names.size() == 1 || !object.contains(names[1]);
      if (onlyOneSpelling && memberOf(object, key) == value) return false;
      for (const auto& name : names) object.erase(name);
      object[names.front()] = *member;
      return true;
    });
    report(written);
    return static_cast<bool>(written);
  } catch (const Json::exception&) {
    // The write is dropped; the file is as it was.
    return false;
  }
}

void FileDefaults::removeObject(std::string_view key) {
  try {
    report(update([&](Json& object) {
      bool changed = false;
      for (const auto& name : namesOf(key)) changed = object.erase(name) > 0 || changed;
      return changed;
    }));
  } catch (const Json::exception&) {
    // The write is dropped; the file is as it was.
  }
}

Outcome FileDefaults::update(const std::function<bool(nlohmann::json&)>& change) {
  if (path_.empty()) return {};
  const auto slash = path_.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
  const auto failed = [](const std::string& path, int error) {
    return Failure{path + ": " + std::strerror(error)};
  };
  if (slash + 1 == path_.size()) return failed(path_, EISDIR);
  if (!makeFolders(folder)) return failed(folder, errno);

  // The lock lives in its own file: the data file is replaced by rename, which would leave a
  // lock held on it behind with the old inode.
  const std::string lockPath = lockPathOf(path_);
  Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
  if (!lock) return failed(lockPath, errno);
  while (::flock(lock.get(), LOCK_EX) != 0)
    if (errno != EINTR) return failed(lockPath, errno);

  errno = 0;
  FileText file = readText(path_);
  // What cannot be read cannot be modified; replacing it would lose it. A file made read-only
  // is kept as it is, although the rename could replace it.
  if (file.state == FileState::unreadable) {
    struct stat st {};
    const bool folderAtPath = ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return failed(path_, folderAtPath ? EISDIR : (errno ? errno : EINVAL));
  }
  if (file.state != FileState::missing && ::access(path_.c_str(), W_OK) != 0)
    return failed(path_, errno);
  Json object = Json::object();
  if (file.state == FileState::readable && !file.text.empty()) {
    if (const auto cached = cache_->lookup(file.text))
      object = *cached;
    else if (auto parsed = parseObject(file.text))
      object = std::move(*parsed);
    else
      file.state = FileState::corrupt;
  }
  if (!change(object)) return {};
  bool exact = true;
  std::string text = dump(object, exact);
  if (file.state == FileState::corrupt && !keepAside(path_)) return failed(path_, errno);
  if (auto written = files::replaceFile(path_, text, 0600); !written) return written;
  if (exact) cache_->remember(std::move(text), std::make_shared<const Json>(std::move(object)));
  return {};
}

void FileDefaults::report(const Outcome& outcome) {
  // Once per process: a store that cannot write fails at every write, and one line says it.
  static std::once_flag once;
  if (!outcome)
    std::call_once(once, [&] {
      std::cerr << language::format(language::tr("設定を保存できません（%s）"),
                                    outcome.error().c_str())
                << std::endl;
    });
}

}  // namespace tessaloom::platform
