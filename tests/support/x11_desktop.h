// A private X desktop for the tests on real X servers: a fresh Xvfb found through -displayfd, a
// window manager, scriptable test clients, and a probe connection that checks what the server
// says independently of the backend. Every wait is bounded and wakes on output or X events.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/geometry.h"

extern char** environ;

namespace tessaloom::x11test {

using Clock = std::chrono::steady_clock;

inline Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

inline int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

/// The full path of `program` on PATH; empty when absent.
inline std::string findProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0)
      return dir + "/" + program;
  return {};
}

/// Whether `program` is an executable somewhere on PATH.
inline bool onPath(const std::string& program) {
  return !findProgram(program).empty();
}

/// This process's environment with `overrides` (KEY=VALUE) in place of its own values.
inline std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const auto& o : overrides)
      if (o.substr(0, o.find('=')) == key) overridden = true;
    if (!overridden) environment.push_back(entry);
  }
  environment.insert(environment.end(), overrides.begin(), overrides.end());
  return environment;
}

/// A started child and the read end of its standard output.
struct Spawned {
  pid_t pid = -1;
  int out = -1;
};

/// Starts `argv` (a path or a name on PATH) with `env` (KEY=VALUE) added to this process's
/// environment, standard input from /dev/null, standard output into a pipe and standard error
/// appended to `errorLog` (or dropped when empty). Nothing when the program cannot be started.
inline std::optional<Spawned> spawnReading(const std::vector<std::string>& argv,
                                           const std::vector<std::string>& env,
                                           const std::string& errorLog) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errorLog.empty() ? "/dev/null" : errorLog.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  const std::vector<std::string> environment = environmentWith(env);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (failed) {
    ::close(out[0]);
    return std::nullopt;
  }
  return Spawned{pid, out[0]};
}

/// A temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaloom-x11-XXXXXX");
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::filesystem::path& relative, const std::string& text) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative) << text;
  }

 private:
  std::filesystem::path path_;
};

/// A child process with its standard output readable line by line. The destructor ends it
/// (SIGTERM, then SIGKILL after a grace period) and reaps it.
class Process {
 public:
  /// Starts `argv` with `env` (KEY=VALUE) added to this process's environment; stderr goes to
  /// `errorLog` when given. Nothing when the program cannot be started.
  static std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& env = {},
                                        const std::string& errorLog = "") {
    const auto spawned = spawnReading(argv, env, errorLog);
    if (!spawned) return nullptr;
    return std::unique_ptr<Process>(new Process(spawned->pid, spawned->out));
  }

  ~Process() {
    stop();
    if (out_ >= 0) ::close(out_);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }

  /// The next line of output, without its newline; nothing at the deadline or at the end.
  std::optional<std::string> readLine(Clock::time_point deadline) {
    for (;;) {
      const auto newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, millisecondsUntil(deadline)) <= 0) return std::nullopt;
      char chunk[512];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  void signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }

  /// Waits until the process has ended; false at the deadline.
  bool waitExit(Clock::time_point deadline) {
    while (pid_ > 0) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || r < 0) {
        pid_ = -1;
        return true;
      }
      if (Clock::now() >= deadline) return false;
      // No child-exit event to wait on without a handler; poll the output pipe briefly.
      pollfd p{out_, POLLIN, 0};
      ::poll(&p, 1, std::min(10, millisecondsUntil(deadline)));
      char drain[512];
      if (p.revents & POLLIN) (void)!::read(out_, drain, sizeof drain);
    }
    return true;
  }

  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGCONT);
    ::kill(pid_, SIGTERM);
    if (!waitExit(after(5))) {
      ::kill(pid_, SIGKILL);
      waitExit(after(5));
    }
  }

 private:
  Process(pid_t pid, int out) : pid_(pid), out_(out) {}
  pid_t pid_;
  int out_;
  std::string buffer_;
};

/// A test's own connection to the server, to set up and check what the backend reports.
class Probe {
 public:
  explicit Probe(const std::string& display) {
    c_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
  }
  ~Probe() { xcb_disconnect(c_); }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_connection_t* raw() const { return c_; }
  xcb_window_t root() const { return root_; }

  xcb_atom_t atom(const char* name) {
    auto cookie = xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    auto* reply = xcb_intern_atom_reply(c_, cookie, nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
  }

  std::vector<std::uint32_t> longs(xcb_window_t w, const char* property) {
    auto cookie = xcb_get_property(c_, 0, w, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096);
    auto* reply = xcb_get_property_reply(c_, cookie, nullptr);
    std::vector<std::uint32_t> out;
    if (reply && reply->format == 32) {
      auto* v = static_cast<std::uint32_t*>(xcb_get_property_value(reply));
      out.assign(v, v + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return out;
  }

  /// The bytes of a format-8 property of `w` (of `type`, any when not given); empty when the
  /// window has none.
  std::string text(xcb_window_t w, const char* property,
                   xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY) {
    auto cookie = xcb_get_property(c_, 0, w, atom(property), type, 0, 256);
    auto* reply = xcb_get_property_reply(c_, cookie, nullptr);
    std::string out;
    if (reply && reply->format == 8)
      out.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                 static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return out;
  }

  std::vector<xcb_window_t> clients() { return longs(root_, "_NET_CLIENT_LIST"); }
  bool managed(xcb_window_t w) {
    for (auto c : clients())
      if (c == w) return true;
    return false;
  }
  /// Whether the manager has taken `w` and framed it (its frame extents are set).
  bool framed(xcb_window_t w) { return managed(w) && longs(w, "_NET_FRAME_EXTENTS").size() == 4; }
  bool hasState(xcb_window_t w, const char* state) {
    const xcb_atom_t a = atom(state);
    for (auto s : longs(w, "_NET_WM_STATE"))
      if (s == a) return true;
    return false;
  }

  /// Asks the window manager, as a pager would, to act on `w` with an EWMH client message.
  void request(xcb_window_t w, const char* message, std::vector<std::uint32_t> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = atom(message);
    data.resize(5);
    for (int i = 0; i < 5; ++i) event.data.data32[i] = data[static_cast<std::size_t>(i)];
    xcb_send_event(c_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c_);
  }

  /// Whether a window manager has announced itself (_NET_SUPPORTING_WM_CHECK names a window
  /// that names itself).
  bool windowManagerReady() {
    const auto check = longs(root_, "_NET_SUPPORTING_WM_CHECK");
    if (check.empty()) return false;
    const auto self = longs(check[0], "_NET_SUPPORTING_WM_CHECK");
    return !self.empty() && self[0] == check[0];
  }

  /// Whether the window manager takes new windows: some managers announce themselves before
  /// they handle map requests and drop the early ones. Maps a sentinel window (again every
  /// 250 ms) until the manager puts WM_STATE on it, then destroys it and waits until it has
  /// left the client list.
  bool windowManagerTakesWindows(double seconds) {
    const auto deadline = after(seconds);
    const xcb_window_t w = xcb_generate_id(c_);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &mask);
    const xcb_atom_t wmState = atom("WM_STATE");
    auto hasState = [&] {
      auto* r =
          xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, wmState, wmState, 0, 2), nullptr);
      const bool yes = r && r->type == wmState;
      std::free(r);
      return yes;
    };
    bool taken = false;
    while (!taken && Clock::now() < deadline) {
      xcb_unmap_window(c_, w);
      xcb_map_window(c_, w);
      const double slice =
          std::min(0.25, std::chrono::duration<double>(deadline - Clock::now()).count());
      taken = waitUntil(hasState, std::max(slice, 0.0));
    }
    xcb_destroy_window(c_, w);
    xcb_flush(c_);
    return taken && waitUntil([&] { return !managed(w); }, 5);
  }

  /// The window manager's frame around `w` as X reports it: the ancestor that is a child of
  /// the root, with its border. Nothing when the window is gone.
  std::optional<Rect> outerFrame(xcb_window_t w) {
    xcb_window_t current = w;
    for (int depth = 0; depth < 16; ++depth) {
      auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, current), nullptr);
      if (!tree) return std::nullopt;
      const xcb_window_t parent = tree->parent;
      std::free(tree);
      if (parent == root_) break;
      current = parent;
    }
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, current), nullptr);
    if (!g) return std::nullopt;
    const Rect r(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
    std::free(g);
    return r;
  }

  /// Re-checks `done` whenever the server reports a change on the root or among its children
  /// (and at least every 20 ms) until it holds; false at the deadline.
  bool waitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = after(seconds);
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= deadline || !ok()) return false;
      xcb_flush(c_);
      pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
      ::poll(&p, 1, std::min(20, millisecondsUntil(deadline)));
      takeEvents();
    }
  }

  /// How many client messages named `message` about `w` were sent to the root so far (the
  /// probe sees them as it watches the root's children).
  int messagesSeen(xcb_window_t w, const char* message) {
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    takeEvents();
    const xcb_atom_t type = atom(message);
    int n = 0;
    for (const auto& [t, window] : messages_) n += t == type && window == w;
    return n;
  }

 private:
  void takeEvents() {
    while (auto* e = xcb_poll_for_event(c_)) {
      if ((e->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
        const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
        messages_.emplace_back(m->type, m->window);
      }
      std::free(e);
    }
  }

  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  std::vector<std::pair<xcb_atom_t, xcb_window_t>> messages_;
};

/// A fresh Xvfb (one 1920x1080 screen) on a display number it picks itself.
class XServer {
 public:
  static std::unique_ptr<XServer> start(const std::string& log, std::string& error) {
    auto process = Process::start(
        {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "1920x1080x24"},
        {}, log);
    if (!process) {
      error = "Xvfb could not be started";
      return nullptr;
    }
    auto line = process->readLine(after(15));
    if (!line || line->empty()) {
      error = "Xvfb did not report a display";
      return nullptr;
    }
    return std::unique_ptr<XServer>(new XServer(std::move(process), ":" + *line));
  }
  const std::string& display() const { return display_; }
  Process& process() { return *process_; }

 private:
  XServer(std::unique_ptr<Process> p, std::string d)
      : process_(std::move(p)), display_(std::move(d)) {}
  std::unique_ptr<Process> process_;
  std::string display_;
};

/// Starts `name` ("openbox" or "fluxbox") on `display` with a private configuration in
/// `home`, and waits until it has announced itself. Nothing on failure.
inline std::unique_ptr<Process> startWindowManager(const std::string& name,
                                                   const std::string& display, const TempDir& home,
                                                   Probe& probe, std::string& error) {
  std::vector<std::string> env = {"DISPLAY=" + display, "HOME=" + home.path().string(),
                                  "XDG_CONFIG_HOME=" + (home.path() / "config").string()};
  std::vector<std::string> argv;
  if (name == "openbox") {
    argv = {"openbox", "--sm-disable"};
  } else if (name == "fluxbox") {
    // No toolbar and no wallpaper (setting it pops up a message window when it fails).
    home.write(".fluxbox/init",
               "session.configVersion: 13\n"
               "session.screen0.toolbar.visible: false\n"
               "session.styleOverlay: ~/.fluxbox/overlay\n");
    home.write(".fluxbox/overlay", "background: none\n");
    argv = {"fluxbox"};
  } else {
    error = "unknown window manager " + name;
    return nullptr;
  }
  auto process = Process::start(argv, env, (home.path() / (name + ".log")).string());
  if (!process) {
    error = name + " could not be started";
    return nullptr;
  }
  if (!probe.waitUntil([&] { return probe.windowManagerReady(); }, 20)) {
    error = name + " did not announce itself";
    return nullptr;
  }
  if (!probe.windowManagerTakesWindows(20)) {
    error = name + " does not manage new windows";
    return nullptr;
  }
  return process;
}

/// A private desktop for one test: Xvfb, the test's own probe connection and a window manager,
/// configured in a temporary folder. Fixtures take these members as their own.
struct PrivateDesktop {
  /// Starts the server, the probe and `manager`; the empty string, or why one did not come up.
  std::string startDesktop(const std::string& manager) {
    std::string error;
    server_ = XServer::start((dir_.path() / "xvfb.log").string(), error);
    if (!server_) return error;
    probe_ = std::make_unique<Probe>(server_->display());
    if (!probe_->ok()) return "cannot reach the private X server";
    wm_ = startWindowManager(manager, server_->display(), dir_, *probe_, error);
    return wm_ ? "" : error;
  }

  /// Ends what startDesktop started (whatever uses the server should be gone by now).
  void stopDesktop() {
    probe_.reset();
    // The server first: some managers take their time over SIGTERM but leave at once when
    // their display goes away; so do the clients.
    server_.reset();
    wm_.reset();
  }

  TempDir dir_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<Probe> probe_;
  std::unique_ptr<Process> wm_;
};

}  // namespace tessaloom::x11test
