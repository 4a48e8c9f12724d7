// Our script inside KWin, over the session bus: loads it, hands it one request at a time and
// waits, with a deadline, for its answer; unloads it when this object goes. The script's calls
// are served on a connection and main context of this object's own, so that waiting for an
// answer never runs the program's other event handlers. Tells a KWin that left the bus or
// stopped answering apart from one that refuses scripts.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/glib/exported_object.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GError GError;
typedef struct _GDBusMethodInvocation GDBusMethodInvocation;
typedef struct _GMainContext GMainContext;
typedef struct _GVariant GVariant;

namespace tessaloom::platform::kwin {

class Agent {
 public:
  using Clock = std::chrono::steady_clock;

  /// Connects to the session bus and starts the script. Fails, with one line saying why, when
  /// there is no bus or KWin is not on it; succeeds without a running script when KWin refuses
  /// scripts or does not answer (see running() and trouble()).
  static Result<std::unique_ptr<Agent>> start();
  /// Ends the script's loop and unloads it.
  ~Agent();
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  /// Whether the script runs and answers.
  bool running() const { return parked_ != nullptr; }
  /// Why the script does not run; empty while it does.
  const std::string& problem() const { return problem_; }
  /// What went wrong with KWin during this run: it left the bus, stopped answering, or our
  /// running script stopped answering; empty while all went well. A KWin that refuses scripts
  /// from the start is no trouble (see problem()).
  const std::string& trouble();

  /// Sends `request` and returns the script's answer; nothing when the script does not answer
  /// in time (then the script is started anew once and the request sent again, unless KWin
  /// itself is gone or does not answer). A request marked sticky is sent again to every later
  /// copy of the script (shortcut bindings).
  std::optional<std::string> ask(const std::string& request, bool sticky = false);
  /// The report the script sent as it started, while no request has been sent since and it is
  /// at most `age` old: what a report asked for now would say, one round trip through KWin
  /// sooner. Given once; nothing otherwise.
  std::optional<std::string> startReport(std::chrono::milliseconds age);
  /// Sends `request` without waiting for the script to carry it out: the next ask() waits for
  /// that first. Where no script waits for a request, the same as ask(). False when the request
  /// could not be sent.
  bool post(const std::string& request);
  /// Answers a request the script has waited on for a while, so that KWin does not give the
  /// call up (it waits 25 s). For long runs; call it every few seconds.
  void keepAlive();
  /// Lets the next request start the script again at once, even right after a failed start.
  void allowRetry() { retryAfter_ = {}; }

  /// How long a script may take to start, and to answer one request.
  static constexpr std::chrono::milliseconds kStartTime{3000};
  static constexpr std::chrono::milliseconds kAnswerTime{2000};
  /// How long after a failed start the script is not tried again.
  static constexpr std::chrono::milliseconds kRetryPause{5000};

 private:
  Agent() = default;
  Outcome load();
  void unload();
  void unloadLeftovers();
  std::optional<std::set<int>> loadedScripts();
  bool kwinAnswers();
  bool waitForCall(Clock::time_point deadline);
  void drain();
  void reply(const std::string& request);
  void kwinLeft(const std::string& owner);
  GVariant* callKWin(const std::string& path, const char* interface, const char* method,
                     GVariant* parameters, const char* replyType = nullptr,
                     int milliseconds = kCallMilliseconds);
  struct KWinCall {
    std::string path;
    const char* interface;
    const char* method;
    const char* replyType = nullptr;
  };
  std::vector<GVariant*> callKWinTogether(const std::vector<KWinCall>& calls);
  void noteFailure(const GError* error, int milliseconds);
  void onNext(GVariant* parameters, GDBusMethodInvocation* invocation);
  static void onOwnerChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                             GVariant* parameters, void* self);

  // KWin's own calls are quick; this only keeps a frozen KWin from holding the program.
  static constexpr int kCallMilliseconds = 2000;

  GMainContext* context_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  std::unique_ptr<glib::ExportedObject> object_;
  unsigned ownerWatch_ = 0;
  std::string kwin_;         // KWin's unique name on the bus; empty once it has left
  bool frozen_ = false;      // KWin's last call timed out
  bool kwinFailed_ = false;  // the last call to KWin failed as KWin left or froze
  std::string lastError_;    // why the last call to KWin failed
  std::string plugin_;
  std::string token_;  // sent by the copy of the script loaded last, and by no other
  unsigned loads_ = 0;
  std::string scriptPath_;
  bool loaded_ = false;
  GDBusMethodInvocation* parked_ = nullptr;  // the script's call waiting for its next request
  Clock::time_point parkedSince_;
  std::string answer_;  // what the script sent with that call
  bool answered_ = false;
  bool startReport_ = false;  // the parked call is the script's first, with its report
  bool posted_ = false;       // a request was sent whose answer has not come yet
  std::string problem_;
  std::string trouble_;
  Clock::time_point retryAfter_;
  std::vector<std::string> sticky_;
};

}  // namespace tessaloom::platform::kwin
