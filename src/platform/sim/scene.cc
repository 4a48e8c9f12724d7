#include "platform/sim/scene.h"

#include <cmath>
#include <initializer_list>
#include <limits>
#include <map>

namespace tessaloom::platform {
namespace {

using Json = nlohmann::ordered_json;

/// Thrown inside the reader only; readScene turns it into the error line.
struct SceneError {
  std::string where;
  std::string problem;
};

[[noreturn]] void fail(std::string where, std::string problem) {
  throw SceneError{std::move(where), std::move(problem)};
}

std::string jsonText(std::string_view text) {
  return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string memberPath(const std::string& parent, std::string_view key) {
  return parent.empty() ? jsonText(key) : parent + "." + jsonText(key);
}

std::string indexPath(const std::string& parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

/// One JSON object being read, with its place in the document for messages.
class Object {
 public:
  Object(const Json& json, std::string path, const std::vector<std::string_view>& known)
      : json_(json), path_(std::move(path)) {
    if (!json.is_object()) {
      if (path_.empty()) fail("the scene", "must be a JSON object");
      fail(path_, "must be an object");
    }
    for (const auto& item : json.items()) {
      bool isKnown = false;
      for (std::string_view k : known) isKnown = isKnown || item.key() == k;
      if (!isKnown) fail(memberPath(path_, item.key()), "is not a known member");
    }
  }

  const Json* find(std::string_view key) const {
    const auto it = json_.find(std::string(key));
    return it == json_.end() ? nullptr : &*it;
  }
  std::string path(std::string_view key) const { return memberPath(path_, key); }
  const std::string& path() const { return path_; }

  bool boolean(std::string_view key, bool fallback) const {
    const Json* v = find(key);
    if (!v) return fallback;
    if (!v->is_boolean()) fail(path(key), "must be true or false");
    return v->get<bool>();
  }
  /// Absent gives `fallback`, null gives nothing.
  std::optional<bool> nullableBoolean(std::string_view key, bool fallback) const {
    const Json* v = find(key);
    if (!v) return fallback;
    if (v->is_null()) return std::nullopt;
    if (!v->is_boolean()) fail(path(key), "must be true, false or null");
    return v->get<bool>();
  }
  std::optional<std::string> string(std::string_view key) const {
    const Json* v = find(key);
    if (!v) return std::nullopt;
    if (!v->is_string()) fail(path(key), "must be a string");
    return v->get<std::string>();
  }
  /// Absent gives `fallback`, null gives nothing.
  std::optional<std::string> nullableString(std::string_view key, const char* fallback) const {
    const Json* v = find(key);
    if (!v) return std::string(fallback);
    if (v->is_null()) return std::nullopt;
    if (!v->is_string()) fail(path(key), "must be a string or null");
    return v->get<std::string>();
  }
  std::optional<double> nonNegative(std::string_view key) const {
    const Json* v = find(key);
    if (!v) return std::nullopt;
    if (!v->is_number() || !std::isfinite(v->get<double>()) || v->get<double>() < 0) {
      fail(path(key), "must be a number not below 0");
    }
    return v->get<double>();
  }
  std::set<std::string, std::less<>> strings(std::string_view key) const {
    std::set<std::string, std::less<>> result;
    const Json* v = find(key);
    if (!v) return result;
    if (!v->is_array()) fail(path(key), "must be an array of strings");
    for (const Json& item : *v) {
      if (!item.is_string()) fail(path(key), "must be an array of strings");
      result.insert(item.get<std::string>());
    }
    return result;
  }
  /// The index of the member's text in `choices`; `fallback` when absent.
  std::size_t choice(std::string_view key, std::initializer_list<const char*> choices,
                     std::size_t fallback) const {
    const Json* v = find(key);
    if (!v) return fallback;
    std::size_t index = 0;
    std::string names;
    for (const char* c : choices) {
      if (v->is_string() && v->get<std::string>() == c) return index;
      names += (index ? ", " : "") + jsonText(c);
      ++index;
    }
    fail(path(key), "must be one of " + names);
  }

 private:
  const Json& json_;
  std::string path_;
};

std::vector<double> numbers(const Json& json, const std::string& path, std::size_t count) {
  const std::string problem = "must be an array of " + std::to_string(count) + " numbers";
  if (!json.is_array() || json.size() != count) fail(path, problem);
  std::vector<double> result;
  for (const Json& item : json) {
    if (!item.is_number() || !std::isfinite(item.get<double>())) fail(path, problem);
    result.push_back(item.get<double>());
  }
  return result;
}

Rect rect(const Json& json, const std::string& path) {
  const std::vector<double> n = numbers(json, path, 4);
  if (n[2] < 0 || n[3] < 0) fail(path, "must not have a negative width or height");
  return {n[0], n[1], n[2], n[3]};
}

const Json& required(const Object& object, std::string_view key) {
  const Json* v = object.find(key);
  if (!v) fail(object.path(key), "is missing");
  return *v;
}

const Json* array(const Object& object, std::string_view key) {
  const Json* v = object.find(key);
  if (v && !v->is_array()) fail(object.path(key), "must be an array");
  return v;
}

std::int32_t pid(const Json& json, const std::string& path) {
  // The reader keeps every non-negative whole number unsigned.
  if (!json.is_number_unsigned() || json.get<std::uint64_t>() < 1 ||
      json.get<std::uint64_t>() > std::numeric_limits<std::int32_t>::max()) {
    fail(path, "must be a process identifier (a whole number from 1 to 2147483647)");
  }
  return static_cast<std::int32_t>(json.get<std::uint64_t>());
}

SceneWindow readWindow(const Json& json, const std::string& path) {
  const Object o(json, path,
                 {"title", "frame", "role", "subrole", "minimized", "fullScreen", "failRead",
                  "failWrite", "ignoresWrites", "minSize", "vanishes", "writeDelay",
                  "positionValue", "sizeValue", "tiled", "floatAnswer"});
  SceneWindow w;
  w.title = o.string("title");
  w.frame = rect(required(o, "frame"), o.path("frame"));
  w.role = o.nullableString("role", "AXWindow");
  w.subrole = o.nullableString("subrole", "AXStandardWindow");
  w.minimized = o.nullableBoolean("minimized", false);
  w.fullScreen = o.nullableBoolean("fullScreen", false);
  w.failRead = o.strings("failRead");
  w.failWrite = o.strings("failWrite");
  w.ignoresWrites = o.boolean("ignoresWrites", false);
  w.tiled = o.boolean("tiled", false);
  if (const Json* v = o.find("minSize")) {
    const std::vector<double> n = numbers(*v, o.path("minSize"), 2);
    if (n[0] < 0 || n[1] < 0) fail(o.path("minSize"), "must not be negative");
    w.minSize = Size{n[0], n[1]};
  }
  w.vanishes = o.boolean("vanishes", false);
  w.writeDelay = o.nonNegative("writeDelay").value_or(0);
  w.floatAnswer = o.nonNegative("floatAnswer").value_or(0);
  w.positionValue = static_cast<ValueShape>(o.choice("positionValue", {"point", "number"}, 0));
  w.sizeValue = static_cast<ValueShape>(o.choice("sizeValue", {"size", "number"}, 0));
  return w;
}

/// The members an app has in "apps" and in "installed" alike.
void readAppBody(const Object& o, SceneApp& app) {
  app.bundleID = o.string("bundleID");
  app.name = o.string("name");
  app.policy =
      static_cast<AppPolicy>(o.choice("policy", {"regular", "accessory", "prohibited"}, 0));
  if (const Json* windows = array(o, "windows")) {
    for (std::size_t i = 0; i < windows->size(); ++i) {
      app.windows.push_back(readWindow((*windows)[i], indexPath(o.path("windows"), i)));
    }
  }
  app.unresponsive = o.boolean("unresponsive", false);
  app.failRead = o.strings("failRead");
  if (o.boolean("failWindows", false)) app.failRead.insert("AXWindows");
  app.windowsValue =
      static_cast<WindowsShape>(o.choice("windowsValue", {"elements", "string", "withNull"}, 0));
}

/// The known members of an app, with those of its own list; "hidden", "enhancedUI" and
/// "failWrite" had no effect on Linux and are only accepted, so older scenes still read.
std::vector<std::string_view> appMembers(std::string_view extra) {
  return {extra,     "bundleID",     "name",        "policy",   "hidden",    "enhancedUI",
          "windows", "unresponsive", "failWindows", "failRead", "failWrite", "windowsValue"};
}

Scene readDocument(Json document) {
  Scene scene;
  const Object root(document, "",
                    {"trusted", "trustedAt", "screens", "mouse", "frontmost", "self", "boxingFails",
                     "apps", "installed"});
  scene.trusted = root.boolean("trusted", true);
  if (const Json* v = root.find("trustedAt")) {
    if (!v->is_number() || !std::isfinite(v->get<double>())) {
      fail(root.path("trustedAt"), "must be a number");
    }
    scene.trustedAt = v->get<double>();
  }
  // The file keeps the bottom-left convention; the seam's space has its origin at the
  // primary screen's top.
  double reference = 0;
  const auto flipped = [&reference](const Rect& r) {
    return Rect{r.x, reference - r.maxY(), r.width, r.height};
  };
  if (const Json* screens = array(root, "screens")) {
    for (std::size_t i = 0; i < screens->size(); ++i) {
      const Object s((*screens)[i], indexPath(root.path("screens"), i),
                     {"name", "frame", "visible"});
      const Rect frame = rect(required(s, "frame"), s.path("frame"));
      const Json* visible = s.find("visible");
      const Rect usable = visible ? rect(*visible, s.path("visible")) : frame;
      if (i == 0) reference = frame.maxY();
      scene.screens.push_back({flipped(frame), flipped(usable), s.string("name").value_or("")});
    }
  }
  if (const Json* v = root.find("mouse")) {
    const std::vector<double> n = numbers(*v, root.path("mouse"), 2);
    scene.mouse = {n[0], n[1]};
  }
  scene.mouse.y = reference - scene.mouse.y;
  for (const std::string& kind : root.strings("boxingFails")) {
    if (kind == "point") {
      scene.pointBoxingFails = true;
    } else if (kind == "size") {
      scene.sizeBoxingFails = true;
    } else {
      fail(root.path("boxingFails"), "may hold only \"point\" and \"size\"");
    }
  }

  std::map<std::int32_t, std::size_t> pids;  // pid -> index in "apps"
  if (const Json* apps = array(root, "apps")) {
    for (std::size_t i = 0; i < apps->size(); ++i) {
      const Object o((*apps)[i], indexPath(root.path("apps"), i), appMembers("pid"));
      SceneApp app;
      app.pid = pid(required(o, "pid"), o.path("pid"));
      if (const auto [it, fresh] = pids.emplace(app.pid, i); !fresh) {
        fail(o.path("pid"), "repeats the pid " + std::to_string(app.pid) + " of " +
                                indexPath(root.path("apps"), it->second));
      }
      readAppBody(o, app);
      scene.apps.push_back(std::move(app));
    }
  }
  if (const Json* installed = array(root, "installed")) {
    std::map<std::string, std::size_t> bundles;
    for (std::size_t i = 0; i < installed->size(); ++i) {
      const Object o((*installed)[i], indexPath(root.path("installed"), i),
                     appMembers("launchDelay"));
      SceneInstalled entry;
      readAppBody(o, entry.app);
      if (!entry.app.bundleID) fail(o.path("bundleID"), "is missing");
      if (const auto [it, fresh] = bundles.emplace(*entry.app.bundleID, i); !fresh) {
        fail(o.path("bundleID"), "repeats " + jsonText(it->first) + " of " +
                                     indexPath(root.path("installed"), it->second));
      }
      entry.launchDelay = o.nonNegative("launchDelay").value_or(0);
      scene.installed.push_back(std::move(entry));
    }
  }
  if (const Json* v = root.find("frontmost")) {
    const std::int32_t front = pid(*v, root.path("frontmost"));
    if (!pids.count(front)) fail(root.path("frontmost"), "names no application of \"apps\"");
    scene.frontmost = front;
  }
  if (const Json* v = root.find("self")) {
    scene.self = pid(*v, root.path("self"));
  } else {
    scene.self = 1;
    while (pids.count(scene.self)) ++scene.self;
  }
  scene.document = std::move(document);
  return scene;
}

/// nlohmann's message without its "[json.exception.…] " prefix.
std::string jsonProblem(const char* what) {
  std::string text(what);
  if (text.rfind("[json.exception.", 0) == 0) {
    const std::size_t end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

Result<Scene> readScene(std::string_view text, std::string_view name) {
  Json document;
  try {
    document = Json::parse(text.begin(), text.end(), nullptr, true, true);
  } catch (const nlohmann::json::exception& e) {
    return Failure{std::string(name) + ": not valid JSON: " + jsonProblem(e.what())};
  }
  try {
    return readDocument(std::move(document));
  } catch (const SceneError& e) {
    return Failure{std::string(name) + ": " + e.where + " " + e.problem};
  } catch (const nlohmann::json::exception& e) {
    // Not expected once every member is checked; refused rather than let through.
    return Failure{std::string(name) + ": " + jsonProblem(e.what())};
  }
}

nlohmann::ordered_json frameJson(const Rect& frame) {
  nlohmann::ordered_json result = nlohmann::ordered_json::array();
  for (const double v : {frame.x, frame.y, frame.width, frame.height}) {
    if (v == std::trunc(v) && std::fabs(v) <= 9007199254740992.0) {
      result.push_back(static_cast<std::int64_t>(v));
    } else {
      result.push_back(v);
    }
  }
  return result;
}

}  // namespace tessaloom::platform
