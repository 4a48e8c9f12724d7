#include "platform/x11/x11_connection.h"

#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include <poll.h>
#include <signal.h>

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace tessaloom::platform::x11 {
namespace {

int millisecondsUntil(Deadline deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 60000));
}

// Blocks until the connection's socket has data or the deadline passes.
void pollSocket(xcb_connection_t* c, Deadline deadline) {
  pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
  ::poll(&p, 1, millisecondsUntil(deadline));
}

xcb_intern_atom_cookie_t internAtom(Connection& connection, const char* name) {
  return xcb_intern_atom(connection.raw(), 0, static_cast<std::uint16_t>(std::strlen(name)), name);
}

xcb_atom_t atomFrom(Connection& connection, xcb_intern_atom_cookie_t cookie, Deadline deadline) {
  connection.flush();
  auto reply = connection.awaitReply(cookie.sequence, deadline);
  if (!reply) return XCB_ATOM_NONE;
  return static_cast<xcb_intern_atom_reply_t*>(reply.get())->atom;
}

}  // namespace

// xcb_connect waits for the server's greeting without a time limit, so a stopped server would
// hold the program forever. It runs on a thread of its own; past the limit the attempt is
// abandoned (and its connection closed whenever it completes). Nothing when that happens.
std::optional<xcb_connection_t*> connectWithin(const std::string& display, int& screen,
                                               Clock::duration limit) {
  struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    xcb_connection_t* connection = nullptr;
    int screen = 0;
  };
  auto attempt = std::make_shared<Attempt>();
  std::thread([attempt, display] {
    int number = 0;
    xcb_connection_t* c = xcb_connect(display.empty() ? nullptr : display.c_str(), &number);
    std::lock_guard lock(attempt->mutex);
    if (attempt->abandoned) {
      xcb_disconnect(c);
      return;
    }
    attempt->connection = c;
    attempt->screen = number;
    attempt->finished = true;
    attempt->done.notify_one();
  }).detach();
  std::unique_lock lock(attempt->mutex);
  if (!attempt->done.wait_for(lock, limit, [&] { return attempt->finished; })) {
    attempt->abandoned = true;
    return std::nullopt;
  }
  screen = attempt->screen;
  return attempt->connection;
}

std::unique_ptr<Connection> Connection::open(const std::string& display, std::string& error) {
  // A write to a server that has gone must fail as a lost connection, not end the program.
  struct sigaction current {};
  if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
    ::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<Connection> connection(new Connection());
  const char* name = display.empty() ? std::getenv("DISPLAY") : display.c_str();
  connection->displayName_ = name ? name : "";
  int screen = 0;
  const auto made = connectWithin(display, screen, kConnectTimeout);
  if (!made) {
    error = "the X server at " + connection->displayName_ + " does not answer";
    return nullptr;
  }
  connection->c_ = *made;
  if (!connection->c_ || xcb_connection_has_error(connection->c_)) {
    error = connection->displayName_.empty()
                ? "cannot reach an X server: DISPLAY is not set"
                : "cannot reach the X server at " + connection->displayName_;
    return nullptr;
  }
  connection->screenNumber_ = screen;
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection->c_));
  for (int i = 0; i < screen && roots.rem > 0; ++i) xcb_screen_next(&roots);
  if (roots.rem <= 0 || !roots.data) {
    error =
        "the X server at " + connection->displayName_ + " has no screen " + std::to_string(screen);
    return nullptr;
  }
  connection->root_ = roots.data->root;

  // Every question that does not depend on another answer goes out at once: a command makes
  // only a few round trips, and each one waits for the server to be scheduled.
  xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(connection->c_, &connection->ewmh_);
  const auto compoundText = internAtom(*connection, "COMPOUND_TEXT");
  const auto gtkApplicationId = internAtom(*connection, "_GTK_APPLICATION_ID");
  const auto i3SocketPath = xcb_intern_atom(connection->c_, 1, 14, "I3_SOCKET_PATH");
  xcb_prefetch_extension_data(connection->c_, &xcb_randr_id);
  // xcb-ewmh collects its replies without a deadline: wait for a later reply first, so that
  // every answer it collects has already arrived.
  const auto marker = xcb_get_input_focus(connection->c_);
  connection->flush();
  const Deadline deadline = connection->replyDeadline();
  if (!connection->awaitReply(marker.sequence, deadline)) {
    std::free(cookies);
    error = "the X server at " + connection->displayName_ + " stopped answering";
    return nullptr;
  }
  if (!cookies || !xcb_ewmh_init_atoms_replies(&connection->ewmh_, cookies, nullptr)) {
    error = "the X server at " + connection->displayName_ + " stopped answering";
    return nullptr;
  }
  connection->ewmhReady_ = true;

  connection->atoms_.compoundText = atomFrom(*connection, compoundText, deadline);
  connection->atoms_.gtkApplicationId = atomFrom(*connection, gtkApplicationId, deadline);
  connection->atoms_.i3SocketPath = atomFrom(*connection, i3SocketPath, deadline);

  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection->c_, &xcb_randr_id);
  if (randr && randr->present) {
    auto cookie = xcb_randr_query_version(connection->c_, 1, 5);
    connection->flush();
    auto reply = connection->awaitReply(cookie.sequence, deadline);
    if (reply) {
      auto* version = static_cast<xcb_randr_query_version_reply_t*>(reply.get());
      connection->hasMonitors_ = version->major_version > 1 ||
                                 (version->major_version == 1 && version->minor_version >= 5);
    }
  }
  if (!connection->alive()) {
    error = "lost the connection to the X server at " + connection->displayName_;
    return nullptr;
  }
  return connection;
}

Connection::~Connection() {
  if (ewmhReady_) xcb_ewmh_connection_wipe(&ewmh_);
  if (c_) xcb_disconnect(c_);
}

Deadline Connection::replyDeadline() const {
  return Clock::now() + std::chrono::seconds(1);
}

XPtr<void> Connection::awaitReply(unsigned sequence, Deadline deadline, int* errorCode) {
  if (errorCode) *errorCode = 0;
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(c_, sequence, &reply, &error)) {
      if (error) {
        if (errorCode) *errorCode = error->error_code;
        std::free(error);
        std::free(reply);
        return nullptr;
      }
      return XPtr<void>(reply);
    }
    if (!alive()) return nullptr;
    if (Clock::now() >= deadline) {
      discard(sequence);
      return nullptr;
    }
    pollSocket(c_, deadline);
  }
}

void Connection::drainEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) std::free(event);
}

bool Connection::waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& wanted,
                              Deadline deadline) {
  flush();
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
      XPtr<xcb_generic_event_t> owned(event);
      if (wanted(*owned)) return true;
    }
    if (!alive() || Clock::now() >= deadline) return false;
    pollSocket(c_, deadline);
  }
}

}  // namespace tessaloom::platform::x11
