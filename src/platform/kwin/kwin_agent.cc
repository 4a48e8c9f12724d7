#include "platform/kwin/kwin_agent.h"

#include <unistd.h>

#include <cstdio>

#include "platform/kwin/kwin_gio.h"
#include "platform/kwin/kwin_report.h"
#include "platform/kwin/kwin_script.h"

namespace tessaloom::platform::kwin {
namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kObjectPath = "/org/tessaloom/KWinAgent";
constexpr const char* kInterface = "org.tessaloom.KWinAgent";
constexpr const char* kIntrospection = R"(<node>
  <interface name="org.tessaloom.KWinAgent">
    <method name="Next"><arg type="s" direction="in"/><arg type="s" direction="out"/></method>
  </interface>
</node>)";
// KWin's own calls are quick; these only keep a frozen KWin from holding the program.
constexpr int kCallMilliseconds = 2000;
// KWin gives a call up after 25 s; a parked call is answered well before that.
constexpr auto kKeepAliveAge = std::chrono::seconds(10);

struct ErrorText {
  GError* error = nullptr;
  ~ErrorText() {
    if (error) g_error_free(error);
  }
  std::string text() const { return error ? error->message : "unknown error"; }
};

GVariant* callKWin(GDBusConnection* bus, const std::string& path, const char* interface,
                   const char* method, GVariant* parameters, const char* replyType,
                   ErrorText& error) {
  return gio()->callSync(bus, kKWin, path.c_str(), interface, method, parameters,
                         replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMilliseconds, nullptr, &error.error);
}

// Calls that only succeed or fail.
bool callKWin(GDBusConnection* bus, const std::string& path, const char* interface,
              const char* method, GVariant* parameters) {
  ErrorText error;
  GVariant* reply = callKWin(bus, path, interface, method, parameters, nullptr, error);
  if (reply) g_variant_unref(reply);
  return reply != nullptr;
}

bool kwinOnBus(GDBusConnection* bus) {
  GVariant* reply =
      gio()->callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "NameHasOwner", g_variant_new("(s)", kKWin), G_VARIANT_TYPE("(b)"),
                      G_DBUS_CALL_FLAGS_NONE, kCallMilliseconds, nullptr, nullptr);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

}  // namespace

Result<std::unique_ptr<Agent>> Agent::start() {
  if (!gio()) return Failure{kNoGio};
  std::unique_ptr<Agent> agent(new Agent());
  ErrorText error;
  gchar* address = gio()->busAddress(G_BUS_TYPE_SESSION, nullptr, &error.error);
  if (!address) return Failure{"no session bus: " + error.text()};
  agent->context_ = g_main_context_new();
  // The script's calls are dispatched in the context current when the object is registered.
  g_main_context_push_thread_default(agent->context_);
  agent->bus_ = gio()->connect(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error.error);
  g_free(address);
  if (agent->bus_) {
    GDBusNodeInfo* node = gio()->nodeInfo(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable = {&Agent::onCall, nullptr, nullptr, {}};
    agent->registration_ = gio()->registerObject(agent->bus_, kObjectPath, node->interfaces[0],
                                                 &vtable, agent.get(), nullptr, nullptr);
    gio()->nodeInfoUnref(node);
  }
  g_main_context_pop_thread_default(agent->context_);
  if (!agent->bus_) return Failure{"no session bus: " + error.text()};
  if (!kwinOnBus(agent->bus_)) return Failure{"KWin is not on the session bus"};
  if (auto loaded = agent->load(); !loaded) {
    agent->problem_ = loaded.error();
    agent->retryAfter_ = Clock::now() + kRetryPause;
  }
  return agent;
}

Agent::~Agent() {
  unload();
  if (bus_) {
    if (registration_) gio()->unregisterObject(bus_, registration_);
    gio()->flush(bus_, nullptr, nullptr);
    gio()->close(bus_, nullptr, nullptr);
    gio()->unref(bus_);
  }
  if (context_) {
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_main_context_unref(context_);
  }
}

void Agent::onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                   GVariant* parameters, GDBusMethodInvocation* invocation, void* self) {
  auto* agent = static_cast<Agent*>(self);
  if (std::string(method) != "Next") return;
  // One call waits at a time; an older one belongs to a script that was started anew.
  if (agent->parked_)
    gio()->returnError(agent->parked_, "org.tessaloom.Error.Superseded", "superseded");
  const gchar* text = nullptr;
  g_variant_get(parameters, "(&s)", &text);
  agent->answer_ = text ? text : "";
  agent->parked_ = invocation;
  agent->parkedSince_ = Clock::now();
}

Outcome Agent::load() {
  plugin_ = "tessaloom-" + std::to_string(::getpid());
  // KWin reads the script from a file of this user's: the runtime folder, else the cache.
  const std::string dir = g_get_user_runtime_dir();
  g_mkdir_with_parents(dir.c_str(), 0700);
  scriptPath_ = dir + "/" + plugin_ + ".js";
  const std::string script = agentScript({gio()->uniqueName(bus_), kObjectPath, kInterface});
  if (!g_file_set_contents(scriptPath_.c_str(), script.data(), static_cast<gssize>(script.size()),
                           nullptr))
    return Failure{"cannot write " + scriptPath_};
  ErrorText error;
  gint id = -1;
  // A name still loaded (by an earlier process with this pid) is unloaded first.
  for (int attempt = 0; attempt < 2 && id < 0; ++attempt) {
    GVariant* reply =
        callKWin(bus_, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                 g_variant_new("(ss)", scriptPath_.c_str(), plugin_.c_str()), "(i)", error);
    if (!reply) break;
    g_variant_get(reply, "(i)", &id);
    g_variant_unref(reply);
    if (id < 0)
      callKWin(bus_, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
               g_variant_new("(s)", plugin_.c_str()));
  }
  if (id < 0) {
    std::remove(scriptPath_.c_str());
    return Failure{"KWin does not load scripts (" + error.text() + ")"};
  }
  loaded_ = true;
  // KWin 6 puts the script at /Scripting/Script<id>, KWin 5 at /<id>.
  const std::string id6 = "/Scripting/Script" + std::to_string(id);
  const std::string id5 = "/" + std::to_string(id);
  if (!callKWin(bus_, id6, "org.kde.kwin.Script", "run", nullptr) &&
      !callKWin(bus_, id5, "org.kde.kwin.Script", "run", nullptr)) {
    unload();
    return Failure{"KWin does not run scripts"};
  }
  const bool answered = waitForCall(Clock::now() + kStartTime);
  std::remove(scriptPath_.c_str());
  if (!answered) {
    unload();
    return Failure{"the KWin script did not answer"};
  }
  for (const std::string& request : sticky_) {
    reply(request);
    if (!waitForCall(Clock::now() + kAnswerTime)) return Failure{"the KWin script stopped"};
  }
  return {};
}

void Agent::unload() {
  if (parked_) reply(quitRequest());
  if (loaded_) {
    gio()->flush(bus_, nullptr, nullptr);
    callKWin(bus_, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
             g_variant_new("(s)", plugin_.c_str()));
    loaded_ = false;
  }
}

bool Agent::waitForCall(Clock::time_point deadline) {
  while (!parked_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    // Wakes the iteration at the deadline when nothing else does.
    GSource* timer = g_timeout_source_new(static_cast<guint>(left));
    g_source_set_callback(
        timer, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context_);
    g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  return true;
}

void Agent::reply(const std::string& request) {
  gio()->returnValue(parked_, g_variant_new("(s)", request.c_str()));
  parked_ = nullptr;
}

std::optional<std::string> Agent::ask(const std::string& request, bool sticky) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    while (!parked_ && g_main_context_iteration(context_, FALSE)) {
    }
    // A KWin that just failed to start the script is not asked again at once: a frozen one
    // would hold every request of a command for the whole of its deadlines.
    if (!parked_ && Clock::now() < retryAfter_) return std::nullopt;
    if (parked_) {
      reply(request);
      if (waitForCall(Clock::now() + kAnswerTime)) {
        if (sticky) sticky_.push_back(request);
        return answer_;
      }
    }
    // The script is gone (KWin restarted it, or gave its call up): start it anew, once.
    if (attempt > 0) break;
    unload();
    if (auto loaded = load(); !loaded) {
      problem_ = loaded.error();
      retryAfter_ = Clock::now() + kRetryPause;
      return std::nullopt;
    }
    problem_.clear();
  }
  return std::nullopt;
}

void Agent::keepAlive() {
  while (g_main_context_iteration(context_, FALSE)) {
  }
  if (parked_ && Clock::now() - parkedSince_ > kKeepAliveAge) (void)ask(idleRequest());
}

}  // namespace tessaloom::platform::kwin
