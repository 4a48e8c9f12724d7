#include "platform/kwin/kwin_agent.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "platform/glib/bus_calls.h"
#include "platform/glib/gio.h"
#include "platform/kwin/kwin_report.h"
#include "platform/kwin/kwin_script.h"
#include "platform/kwin/kwin_script_notes.h"

namespace tessaloom::platform::kwin {
namespace {

using glib::gio;

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kScripting = "org.kde.kwin.Scripting";
constexpr const char* kObjectPath = "/org/tessaloom/KWinAgent";
constexpr const char* kInterface = "org.tessaloom.KWinAgent";
// Next(token, report) → request.
constexpr const char* kIntrospection = R"(<node>
  <interface name="org.tessaloom.KWinAgent">
    <method name="Next">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="out"/>
    </method>
  </interface>
</node>)";
// KWin gives a call up after 25 s; a parked call is answered well before that.
constexpr auto kKeepAliveAge = std::chrono::seconds(10);
// Whether KWin itself still answers, asked when our script did not.
constexpr int kPingMilliseconds = 1000;

struct ErrorText {
  GError* error = nullptr;
  ~ErrorText() {
    if (error) g_error_free(error);
  }
  std::string text() const { return error ? error->message : "unknown error"; }
};

// An error only the callee sends (the bus answers for a callee that has gone).
bool refusedByKWin(const GError* error) {
  for (const GDBusError code :
       {G_DBUS_ERROR_UNKNOWN_OBJECT, G_DBUS_ERROR_UNKNOWN_METHOD, G_DBUS_ERROR_UNKNOWN_INTERFACE})
    if (g_error_matches(error, gio()->dbusError(), code)) return true;
  return false;
}

// Frees a call's reply, which may be none.
void drop(GVariant* reply) {
  if (reply) g_variant_unref(reply);
}

}  // namespace

Result<std::unique_ptr<Agent>> Agent::start() {
  auto bus = glib::connectToSessionBus();
  if (!bus) return Failure{"no session bus: " + bus.error()};
  std::unique_ptr<Agent> agent(new Agent());
  agent->bus_ = *bus;
  agent->context_ = g_main_context_new();
  // The script's calls and KWin's leaving are dispatched in the context current when the object
  // is registered and the signal subscribed.
  g_main_context_push_thread_default(agent->context_);
  // Only our script calls, from KWin's own connection: any other program on the bus could
  // report forged windows or take the waiting call over.
  auto object = glib::ExportedObject::serve(
      agent->bus_, kObjectPath, kIntrospection, "KWin",
      [self = agent.get()](const std::string& sender) {
        return !self->kwin_.empty() && self->kwin_ == sender;
      },
      [self = agent.get()](const std::string&, GVariant* parameters,
                           GDBusMethodInvocation* invocation) {
        self->onNext(parameters, invocation);
      });
  if (object) agent->object_ = std::move(*object);
  agent->ownerWatch_ =
      gio()->subscribe(agent->bus_, "org.freedesktop.DBus", "org.freedesktop.DBus",
                       "NameOwnerChanged", "/org/freedesktop/DBus", kKWin, G_DBUS_SIGNAL_FLAGS_NONE,
                       &Agent::onOwnerChanged, agent.get(), nullptr);
  g_main_context_pop_thread_default(agent->context_);
  if (!object) return Failure{object.error()};
  agent->kwin_ = glib::nameOwner(agent->bus_, kKWin);
  if (agent->kwin_.empty()) return Failure{"KWin is not on the session bus"};
  if (auto loaded = agent->load(); !loaded) {
    agent->problem_ = loaded.error();
    agent->retryAfter_ = Clock::now() + kRetryPause;
  }
  return agent;
}

Agent::~Agent() {
  unload();
  if (bus_) {
    if (ownerWatch_) gio()->unsubscribe(bus_, ownerWatch_);
    object_.reset();
    // Nothing left to send matters: unload() has flushed what must reach KWin.
    gio()->close(bus_, nullptr, nullptr);
    gio()->unref(bus_);
  }
  if (context_) {
    drain();
    g_main_context_unref(context_);
  }
}

const std::string& Agent::trouble() {
  drain();
  return trouble_;
}

void Agent::onNext(GVariant* parameters, GDBusMethodInvocation* invocation) {
  const gchar* token = nullptr;
  const gchar* text = nullptr;
  g_variant_get(parameters, "(&s&s)", &token, &text);
  // An earlier copy of ours (started anew since) is told to end, and so unloads itself.
  if (token_.empty() || token_ != token) {
    gio()->returnValue(invocation, g_variant_new("(s)", quitRequest().c_str()));
    return;
  }
  // One call waits at a time.
  if (parked_) gio()->returnError(parked_, "org.tessaloom.Error.Superseded", "superseded");
  answer_ = text ? text : "";
  parked_ = invocation;
  parkedSince_ = Clock::now();
}

void Agent::onOwnerChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                           GVariant* parameters, void* self) {
  auto* agent = static_cast<Agent*>(self);
  const gchar* from = nullptr;
  const gchar* to = nullptr;
  g_variant_get(parameters, "(&s&s&s)", nullptr, &from, &to);
  if (from && to && agent->kwin_ == from) agent->kwinLeft(to);
}

void Agent::kwinLeft(const std::string& owner) {
  // Our script went with that KWin; a KWin that came back loads it anew on the next request.
  if (!kwin_.empty()) {
    trouble_ = owner.empty() ? "KWin left the session bus" : "KWin was restarted";
    if (loaded_) dropNote(plugin_);
    loaded_ = false;
    frozen_ = false;
    if (parked_) gio()->returnError(parked_, "org.tessaloom.Error.Gone", "KWin left");
    parked_ = nullptr;
  }
  kwin_ = owner;
}

GVariant* Agent::callKWin(const std::string& path, const char* interface, const char* method,
                          GVariant* parameters, const char* replyType, int milliseconds) {
  kwinFailed_ = false;
  lastError_.clear();
  if (kwin_.empty()) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    lastError_ = "KWin is not on the session bus";
    kwinFailed_ = true;
    return nullptr;
  }
  // KWin by its unique name: a KWin started since then holds none of our scripts.
  ErrorText error;
  GVariant* reply =
      gio()->callSync(bus_, kwin_.c_str(), path.c_str(), interface, method, parameters,
                      replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                      G_DBUS_CALL_FLAGS_NO_AUTO_START, milliseconds, nullptr, &error.error);
  if (reply) {
    frozen_ = false;
    return reply;
  }
  noteFailure(error.error, milliseconds);
  return nullptr;
}

// Why a call failed; no error is a call that has not ended.
void Agent::noteFailure(const GError* error, int milliseconds) {
  if (kwinFailed_) return;  // one of several calls found it already
  lastError_ = error ? error->message : "no answer";
  if (!error || g_error_matches(error, gio()->ioError(), G_IO_ERROR_TIMED_OUT)) {
    trouble_ = "KWin did not answer within " + std::to_string(milliseconds / 1000) + " s";
    lastError_ = trouble_;
    frozen_ = kwinFailed_ = true;
    retryAfter_ = Clock::now() + kRetryPause;
  } else if (refusedByKWin(error)) {
    // Only KWin itself says it has no such object or method: it is still there.
  } else if (const std::string owner = glib::nameOwner(bus_, kKWin); owner != kwin_) {
    kwinLeft(owner);
    lastError_ = trouble_;
    kwinFailed_ = true;
  }
}

namespace {

// The replies of calls sent together; held by each call's slot too, so that a reply that comes
// after its caller stopped waiting has somewhere to go.
struct Replies {
  std::vector<GVariant*> values;
  std::vector<GError*> errors;
  std::size_t pending = 0;
  ~Replies() {
    for (GVariant* value : values) drop(value);
    for (GError* error : errors)
      if (error) g_error_free(error);
  }
};
struct ReplySlot {
  std::shared_ptr<Replies> replies;
  std::size_t index;
};

void onReply(GObject* connection, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<ReplySlot> slot(static_cast<ReplySlot*>(data));
  Replies& replies = *slot->replies;
  replies.values[slot->index] = gio()->callFinish(reinterpret_cast<GDBusConnection*>(connection),
                                                  result, &replies.errors[slot->index]);
  --replies.pending;
}

}  // namespace

// All calls are sent before any reply is waited for: KWin answers them in the time of one.
std::vector<GVariant*> Agent::callKWinTogether(const std::vector<KWinCall>& calls) {
  kwinFailed_ = false;
  lastError_.clear();
  std::vector<GVariant*> out(calls.size(), nullptr);
  if (kwin_.empty()) {
    lastError_ = "KWin is not on the session bus";
    kwinFailed_ = true;
    return out;
  }
  auto replies = std::make_shared<Replies>();
  replies->values.assign(calls.size(), nullptr);
  replies->errors.assign(calls.size(), nullptr);
  replies->pending = calls.size();
  // The replies come in our own context, as the script's calls do.
  g_main_context_push_thread_default(context_);
  for (std::size_t i = 0; i < calls.size(); ++i)
    gio()->call(bus_, kwin_.c_str(), calls[i].path.c_str(), calls[i].interface, calls[i].method,
                nullptr, calls[i].replyType ? G_VARIANT_TYPE(calls[i].replyType) : nullptr,
                G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallMilliseconds, nullptr, &onReply,
                new ReplySlot{replies, i});
  g_main_context_pop_thread_default(context_);
  // GDBus ends every call at its timeout; the margin only guards against a stalled process.
  glib::runUntil(context_, Clock::now() + std::chrono::milliseconds(kCallMilliseconds + 1000),
                 [&replies] { return replies->pending == 0; });
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if ((out[i] = std::exchange(replies->values[i], nullptr)))
      frozen_ = false;
    else
      noteFailure(replies->errors[i], kCallMilliseconds);
  }
  return out;
}

bool Agent::kwinAnswers() {
  drain();
  GVariant* pong =
      callKWin("/", "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr, kPingMilliseconds);
  const bool answered = pong != nullptr;
  drop(pong);
  return answered || !kwinFailed_;
}

std::optional<std::set<int>> Agent::loadedScripts() {
  constexpr const char* kIntrospectable = "org.freedesktop.DBus.Introspectable";
  const auto replies = callKWinTogether({{"/", kIntrospectable, "Introspect", "(s)"},
                                         {"/Scripting", kIntrospectable, "Introspect", "(s)"}});
  std::string xml[2];
  for (std::size_t i = 0; i < 2; ++i) {
    if (!replies[i]) continue;
    const gchar* text = nullptr;
    g_variant_get(replies[i], "(&s)", &text);
    xml[i] = text ? text : "";
    g_variant_unref(replies[i]);
  }
  if (kwinFailed_) return std::nullopt;
  return loadedScriptIds(xml[0], xml[1]);
}

void Agent::unloadLeftovers() {
  const std::string self = gio()->uniqueName(bus_);
  for (const ScriptNote& note : readNotes()) {
    if (note.owner == self) continue;
    // Unique names are never given twice: a program whose name has no owner has ended.
    const bool here = note.kwin == kwin_;
    if (here && !glib::nameOwner(bus_, note.owner.c_str()).empty()) continue;
    if (here) {
      GVariant* done = callKWin("/Scripting", kScripting, "unloadScript",
                                g_variant_new("(s)", note.plugin.c_str()), "(b)");
      if (!done && kwinFailed_) return;
      if (done) g_variant_unref(done);
    }
    dropNote(note.plugin);
  }
}

Outcome Agent::load() {
  drain();
  if (kwin_.empty()) return Failure{"KWin is not on the session bus"};
  const std::string self = gio()->uniqueName(bus_);
  plugin_ = "tessaloom-" + std::to_string(::getpid()) + "-" + std::to_string(++loads_);
  gchar* token = g_uuid_string_random();
  token_ = token;
  g_free(token);
  // KWin reads the script from a file of this user's: the runtime folder, else the cache.
  const std::string dir = g_get_user_runtime_dir();
  g_mkdir_with_parents(dir.c_str(), 0700);
  scriptPath_ = dir + "/" + plugin_ + ".js";
  const std::string script = agentScript({self, kObjectPath, kInterface, plugin_, token_});
  if (!g_file_set_contents(scriptPath_.c_str(), script.data(), static_cast<gssize>(script.size()),
                           nullptr))
    return Failure{"cannot write " + scriptPath_};
  unloadLeftovers();
  const auto before = loadedScripts();
  if (!before) {
    std::remove(scriptPath_.c_str());
    return Failure{lastError_};
  }
  // From here on the script may be loaded, even by a KWin that answers too late.
  writeNote({plugin_, kwin_, self});
  loaded_ = true;
  gint id = -1;
  // A name still loaded (by an earlier process with this pid) is unloaded first.
  for (int attempt = 0; attempt < 2 && id < 0; ++attempt) {
    GVariant* reply = callKWin("/Scripting", kScripting, "loadScript",
                               g_variant_new("(ss)", scriptPath_.c_str(), plugin_.c_str()), "(i)");
    if (!reply) break;
    g_variant_get(reply, "(i)", &id);
    g_variant_unref(reply);
    if (id < 0)
      drop(callKWin("/Scripting", kScripting, "unloadScript",
                    g_variant_new("(s)", plugin_.c_str())));
  }
  const auto fail = [&](const std::string& why) {
    std::remove(scriptPath_.c_str());
    const std::string line = kwinFailed_ ? lastError_ : why;
    unload();
    return Failure{line};
  };
  if (id < 0)
    return fail("KWin does not load scripts" +
                (lastError_.empty() ? std::string() : " (" + lastError_ + ")"));
  // KWin 5.27 numbers a script by the count of scripts loaded, so after an unload ours can get
  // the number, and the D-Bus path, of one loaded before it: running that path would run the
  // other. Ours then starts with every loaded script not yet running, as at KWin's start.
  bool started = false;
  if (!before->count(id)) {
    // KWin 6 puts the script at /Scripting/Script<id>, KWin 5 at /<id>: both are asked at once,
    // and one of them has no such object.
    for (GVariant* ran :
         callKWinTogether({{"/Scripting/Script" + std::to_string(id), "org.kde.kwin.Script", "run"},
                           {"/" + std::to_string(id), "org.kde.kwin.Script", "run"}})) {
      started = started || ran;
      drop(ran);
    }
  }
  if (!started && !kwinFailed_) {
    GVariant* done = callKWin("/Scripting", kScripting, "start", nullptr);
    started = done != nullptr;
    drop(done);
  }
  if (!started) return fail("KWin does not run scripts");
  if (!waitForCall(Clock::now() + kStartTime))
    return fail(kwinAnswers() ? "the KWin script did not answer" : lastError_);
  startReport_ = true;
  std::remove(scriptPath_.c_str());
  for (const std::string& request : sticky_) {
    reply(request);
    if (!waitForCall(Clock::now() + kAnswerTime)) return Failure{"the KWin script stopped"};
  }
  answered_ = true;
  return {};
}

void Agent::unload() {
  if (parked_) reply(quitRequest());
  if (!loaded_) return;
  loaded_ = false;
  // Not waited for (0.6-1.4 ms of every command): KWin carries out the calls it gets in order,
  // so a call made after this one finds the script gone, and a frozen KWin unloads it once it
  // runs again (after loading it, if it had not yet). Flushed, as closing drops what is queued.
  if (!kwin_.empty()) {
    gio()->call(bus_, kwin_.c_str(), "/Scripting", kScripting, "unloadScript",
                g_variant_new("(s)", plugin_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1,
                nullptr, nullptr, nullptr);
    gio()->flush(bus_, nullptr, nullptr);
  }
  // The note of a script a frozen KWin holds stays for a later run to check.
  if (!frozen_) dropNote(plugin_);
}

void Agent::drain() {
  while (g_main_context_iteration(context_, FALSE)) {
  }
}

bool Agent::waitForCall(Clock::time_point deadline) {
  glib::runUntil(context_, deadline, [this] { return parked_ || kwin_.empty(); });
  return parked_ != nullptr;
}

void Agent::reply(const std::string& request) {
  gio()->returnValue(parked_, g_variant_new("(s)", request.c_str()));
  parked_ = nullptr;
  startReport_ = false;
}

std::optional<std::string> Agent::startReport(std::chrono::milliseconds age) {
  drain();
  if (!std::exchange(startReport_, false) || !parked_ || Clock::now() - parkedSince_ > age)
    return std::nullopt;
  answered_ = true;
  return answer_;
}

std::optional<std::string> Agent::ask(const std::string& request, bool sticky) {
  // The script calls again once it has carried out a posted request.
  if (std::exchange(posted_, false)) (void)waitForCall(Clock::now() + kAnswerTime);
  for (int attempt = 0; attempt < 2; ++attempt) {
    drain();
    // A KWin that just failed to start the script, or did not answer, is not asked again at
    // once: a frozen one would hold every request of a command for the whole of its deadlines.
    if (!parked_ && Clock::now() < retryAfter_) break;
    if (parked_) {
      reply(request);
      if (waitForCall(Clock::now() + kAnswerTime)) {
        if (sticky) sticky_.push_back(request);
        answered_ = true;
        return answer_;
      }
      // A KWin that left or froze is not asked to start the script anew.
      if (!kwinAnswers()) break;
    }
    // The script is gone (KWin restarted it, or gave its call up): start it anew, once.
    if (attempt > 0) break;
    unload();
    if (auto loaded = load(); !loaded) {
      problem_ = loaded.error();
      retryAfter_ = Clock::now() + kRetryPause;
      break;
    }
    problem_.clear();
  }
  // A request lost after the script had answered is a failure of the run, whatever the cause.
  if (answered_ && trouble_.empty())
    trouble_ =
        "the KWin script stopped answering" + (problem_.empty() ? "" : " (" + problem_ + ")");
  return std::nullopt;
}

bool Agent::post(const std::string& request) {
  drain();
  if (!parked_ || posted_) return ask(request).has_value();
  reply(request);
  posted_ = true;
  return true;
}

void Agent::keepAlive() {
  drain();
  if (parked_ && Clock::now() - parkedSince_ > kKeepAliveAge) (void)ask(idleRequest());
}

}  // namespace tessaloom::platform::kwin
