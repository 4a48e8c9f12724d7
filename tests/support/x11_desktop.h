// A private X desktop for tests: Xvfb, a window manager, child processes and a probe connection.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/geometry.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tessaloom::x11test {

using Clock = std::chrono::steady_clock;

inline Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

/// The full path of `program` on PATH; empty when absent.
inline std::string findProgram(const std::string& program) {
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  for (std::size_t at = 0, end; at <= path.size(); at = end + 1) {
    end = std::min(path.find(':', at), path.size());
    const std::string full = path.substr(at, end - at) + "/" + program;
    if (end > at && ::access(full.c_str(), X_OK) == 0) return full;
  }
  return {};
}
inline bool onPath(const std::string& program) {
  return !findProgram(program).empty();
}

/// This process's environment with `overrides` (KEY=VALUE) in place of its own values.
inline std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
  auto key = [](const std::string& e) { return e.substr(0, e.find('=')); };
  std::vector<std::string> environment = overrides;
  for (char** e = environ; *e; ++e)
    if (std::none_of(overrides.begin(), overrides.end(),
                     [&](auto& o) { return key(o) == key(*e); }))
      environment.push_back(*e);
  return environment;
}

/// A child process with its standard output readable line by line; ended (SIGTERM, then
/// SIGKILL) and reaped with the object.
class Process {
 public:
  /// Starts `argv` (a path or a name on PATH) with `env` added to this process's environment,
  /// standard error appended to `errorLog` (dropped when empty). A program that cannot start
  /// ends at once with status 127.
  static std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& env = {},
                                        const std::string& errorLog = "") {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return nullptr;
    std::vector<std::string> environment = environmentWith(env), arguments = argv;
    std::vector<char*> args, envp;
    for (auto& a : arguments) args.push_back(a.data());
    for (auto& e : environment) envp.push_back(e.data());
    args.push_back(nullptr), envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const char* err = errorLog.empty() ? "/dev/null" : errorLog.c_str();
      ::dup2(::open("/dev/null", O_RDONLY), 0), ::dup2(out[1], 1);
      ::dup2(::open(err, O_WRONLY | O_CREAT | O_APPEND, 0644), 2);
      ::execvpe(args[0], args.data(), envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    if (pid < 0) ::close(out[0]);
    return pid < 0 ? nullptr : std::unique_ptr<Process>(new Process(pid, out[0]));
  }
  ~Process() { stop(), ::close(out_); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int sig) { pid_ > 0 && ::kill(pid_, sig); }

  /// The next line of output, without its newline; nothing at the deadline or at the end.
  std::optional<std::string> readLine(Clock::time_point deadline) {
    while (buffer_.find('\n') == std::string::npos) {
      pollfd p{out_, POLLIN, 0};
      char chunk[512];
      if (::poll(&p, 1, 20) == 0 && Clock::now() < deadline) continue;
      const ssize_t n = p.revents ? ::read(out_, chunk, sizeof chunk) : 0;
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    std::string line = buffer_.substr(0, buffer_.find('\n'));
    buffer_.erase(0, line.size() + 1);
    return line;
  }

  /// Waits until the process has ended; false at the deadline.
  bool waitExit(Clock::time_point deadline) {
    for (; pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ::usleep(10000))
      if (Clock::now() >= deadline) return false;
    pid_ = -1;
    return true;
  }
  void stop() {
    signal(SIGCONT), signal(SIGTERM);
    if (!waitExit(after(5))) signal(SIGKILL), waitExit(after(5));
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
  explicit Probe(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
    if (ok()) root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
  }
  ~Probe() { xcb_disconnect(c_); }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_connection_t* raw() const { return c_; }
  xcb_window_t root() const { return root_; }

  xcb_atom_t atom(const char* name) {
    auto* r = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
  }
  /// The bytes of a property of `w` (of `type`, any when not given); empty when it has none.
  std::string text(xcb_window_t w, const char* property,
                   xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY) {
    auto* r = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, atom(property), type, 0, 4096),
                                     nullptr);
    const std::string out =
        r ? std::string(static_cast<const char*>(xcb_get_property_value(r)),
                        static_cast<std::size_t>(xcb_get_property_value_length(r)))
          : "";
    std::free(r);
    return out;
  }
  std::vector<std::uint32_t> longs(xcb_window_t w, const char* property) {
    const std::string bytes = text(w, property);
    std::vector<std::uint32_t> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
  }
  std::vector<xcb_window_t> clients() { return longs(root_, "_NET_CLIENT_LIST"); }
  bool managed(xcb_window_t w) { return std::ranges::count(clients(), w) > 0; }
  /// Whether the manager has taken `w` and framed it (its frame extents are set).
  bool framed(xcb_window_t w) { return managed(w) && longs(w, "_NET_FRAME_EXTENTS").size() == 4; }
  bool hasState(xcb_window_t w, const char* state) {
    return std::ranges::count(longs(w, "_NET_WM_STATE"), atom(state)) > 0;
  }

  /// The manager's frame around `w`: its ancestor below the root, border included.
  std::optional<Rect> outerFrame(xcb_window_t w) {
    for (int depth = 0; depth < 16; ++depth) {
      auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
      const xcb_window_t parent = tree ? tree->parent : root_;
      std::free(tree);
      if (!tree) return std::nullopt;
      if (parent == root_) break;
      w = parent;
    }
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
    const auto r = g ? std::optional<Rect>(Rect(g->x, g->y, g->width + 2 * g->border_width,
                                                g->height + 2 * g->border_width))
                     : std::nullopt;
    std::free(g);
    return r;
  }

  /// Re-checks `done` every 20 ms until it holds; false at the deadline.
  bool waitUntil(const std::function<bool()>& done, double seconds) {
    for (const auto deadline = after(seconds); !done(); ::usleep(20000))
      if (Clock::now() >= deadline || !ok()) return false;
    return true;
  }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
};

/// A fresh Xvfb (one 1920x1080 screen) on a display number it picks itself.
struct XServer {
  static std::unique_ptr<XServer> start(const std::string& log, std::string& error) {
    auto process = Process::start(
        {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "1920x1080x24"},
        {}, log);
    const auto line = process ? process->readLine(after(15)) : std::nullopt;
    if (line && !line->empty())
      return std::unique_ptr<XServer>(new XServer{std::move(process), ":" + *line});
    error = "Xvfb did not start or report a display";
    return nullptr;
  }
  const std::string& display() const { return display_; }
  Process& process() { return *process_; }
  std::unique_ptr<Process> process_;
  std::string display_;
};

/// A private desktop for one test: Xvfb, the test's own probe connection and a window manager
/// ("openbox" or "fluxbox") configured in a temporary folder.
struct PrivateDesktop {
  /// The empty string, or why the desktop did not come up.
  std::string startDesktop(const std::string& manager) {
    std::string error;
    server_ = XServer::start(dir_.file("xvfb.log"), error);
    if (!server_) return error;
    probe_ = std::make_unique<Probe>(server_->display());
    if (!probe_->ok()) return "cannot reach the private X server";
    // fluxbox: no toolbar and no wallpaper (setting one pops up a message when it fails).
    dir_.write(".fluxbox/init",
               "session.screen0.toolbar.visible: false\n"
               "session.styleOverlay: ~/.fluxbox/overlay\n");
    dir_.write(".fluxbox/overlay", "background: none\n");
    std::vector<std::string> argv = {manager};
    if (manager == "openbox") argv.push_back("--sm-disable");  // never the user's session
    wm_ = Process::start(argv,
                         {"DISPLAY=" + server_->display(), "HOME=" + dir_.path().string(),
                          "XDG_CONFIG_HOME=" + dir_.file("config")},
                         dir_.file(manager + ".log"));
    if (!wm_) return manager + " could not be started";
    // Some managers announce themselves before they take windows and drop early maps: a
    // sentinel window is mapped until the manager puts WM_STATE on it.
    xcb_connection_t* c = probe_->raw();
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, probe_->root(), 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const bool taken = probe_->waitUntil(
        [&] {
          xcb_unmap_window(c, w), xcb_map_window(c, w), xcb_flush(c);
          return probe_->waitUntil([&] { return !probe_->text(w, "WM_STATE").empty(); }, 0.25);
        },
        20);
    xcb_destroy_window(c, w), xcb_flush(c);
    if (!taken || !probe_->waitUntil([&] { return !probe_->managed(w); }, 5))
      return manager + " does not manage new windows";
    return "";
  }

  /// The server goes first: managers and clients leave at once when their display goes.
  void stopDesktop() { probe_.reset(), server_.reset(), wm_.reset(); }

  testing::TempDir dir_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<Probe> probe_;
  std::unique_ptr<Process> wm_;
};

}  // namespace tessaloom::x11test
