// The session-bus channel to the Tessaloom GNOME Shell extension: whether its name is owned and
// answering, method calls with a deadline, and its signals. GDBus from GIO.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GVariant GVariant;
typedef struct _GError GError;

namespace tessaloom::platform::gnome {

/// The extension's identity: its uuid (what `gnome-extensions enable` takes) and its object.
inline constexpr const char* kExtensionUuid = "tessaloom@tessaloom.github.io";
inline constexpr const char* kBusName = "org.tessaloom.Shell";
inline constexpr const char* kObjectPath = "/org/tessaloom/Shell";
inline constexpr const char* kInterface = "org.tessaloom.Shell";

/// A reply, released with the object.
using Reply = std::unique_ptr<GVariant, void (*)(GVariant*)>;

/// Where the extension stands in the Shell, as org.gnome.Shell.Extensions reports it.
enum class ExtensionState { unknown, missing, disabled, enabled, outOfDate, error };
struct ExtensionStatus {
  ExtensionState state = ExtensionState::unknown;
  std::string error;         // the Shell's words for an extension in error
  std::string shellVersion;  // "43.9"; empty when the Shell does not say
};
/// The state the Shell reports as a number (GNOME's ExtensionState): 1 enabled, 2 disabled (or
/// inactive), 3 error, 4 out of date, 6 loaded and never enabled, 7 and 8 on the way to
/// disabled and enabled, 99 uninstalled; anything else is unknown.
ExtensionState extensionState(double number);

/// What a failed call of `method` says, in one line: no answer in time, the Shell or the
/// extension gone (closed, no owner, no such object or method), or the Shell's own error.
std::string callFailure(const char* method, int milliseconds, GError* error);

class ShellChannel {
 public:
  /// The session bus; fails, with one line saying why, when it cannot be reached.
  static Result<std::unique_ptr<ShellChannel>> open();
  ~ShellChannel();
  ShellChannel(const ShellChannel&) = delete;
  ShellChannel& operator=(const ShellChannel&) = delete;

  /// Whether the extension owns its name now (it does from the end of the Shell's start-up
  /// until it is disabled). Only the Shell's own connection counts: another owner of the name is
  /// said once on standard error and treated as no extension.
  bool present();
  /// Whether the Shell that answered the last call is still on the bus, as the bus says: it
  /// answers while the Shell is busy drawing.
  bool stillThere();

  /// Calls `method` with `parameters` (floating references are taken) and waits up to
  /// `milliseconds` for a reply of `replyType`; nothing when the call fails, which trouble()
  /// keeps. Once a call has gone unanswered, calls fail at once for kQuietSeconds: a frozen
  /// Shell costs one deadline, not one per call.
  std::optional<Reply> call(const char* method, GVariant* parameters, const char* replyType,
                            int milliseconds = 2000);
  static constexpr double kQuietSeconds = 5;
  /// The first call that failed since the channel opened, as one line; nothing while every call
  /// was answered.
  const std::optional<std::string>& trouble() const { return trouble_; }
  /// Sends the call without waiting; calls go out in the order they are made.
  void send(const char* method, GVariant* parameters);
  /// Sends the call without waiting for it, as send(), but its failure is kept in trouble()
  /// as a call()'s is, and its reply handed to `replied`, once a later call() has been
  /// answered (the Shell answers in order) or drain() finds them come.
  void post(const char* method, GVariant* parameters, std::function<void(GVariant*)> replied = {});
  /// Runs what has come for posted calls and listen()ers, without waiting.
  void drain();
  /// The Facts JSON; nothing when the extension does not answer.
  std::optional<std::string> facts();

  /// Calls `handler` on the main loop with the parameters of every `signal` of the
  /// extension's, until the returned token is dropped.
  std::shared_ptr<void> subscribe(const char* signal, std::function<void(GVariant*)> handler);

  /// As subscribe(), but `handler` runs only where posted calls' replies do: in call() and
  /// drain(), never from the main loop.
  std::shared_ptr<void> listen(const char* signal, std::function<void(GVariant*)> handler);

  /// Calls `handler` on the main loop each time the extension's name appears (true) or goes
  /// (false), until the returned token is dropped.
  std::shared_ptr<void> watch(std::function<void(bool)> handler);
  /// Whether some program hosts StatusNotifier items on the session bus.
  bool statusNotifierHost();

  /// Asks the Shell to enable the extension (as `gnome-extensions enable` does).
  void enableExtension();
  /// Whether the Shell has the extension and in which state, and the Shell's version; the
  /// state is unknown when the Shell does not answer.
  ExtensionStatus extensionStatus();

 private:
  explicit ShellChannel(GDBusConnection* bus);
  void failed(const char* method, int milliseconds, GError* error);
  // The Shell's unique name once it is seen to own the extension's; empty otherwise. Calls go
  // there, never to whoever holds the well-known name at the time.
  const std::string& shell();
  GDBusConnection* bus_;
  // Where the replies of posted calls and listened signals come; only call() and drain() run
  // it, so nothing else runs then.
  GMainContext* posted_;
  std::string shell_;
  bool warned_ = false;
  std::optional<std::string> trouble_;
  std::int64_t quietUntil_ = 0;  // microseconds of the monotonic clock
};

}  // namespace tessaloom::platform::gnome
