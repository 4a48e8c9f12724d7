// A private X desktop for tests: Xvfb, a window manager and a probe connection.
#pragma once

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "base/geometry.h"
#include "run_program.h"  // by their folder: the benchmarks include these too
#include "temp_dir.h"

namespace tessaloom::x11test {

using namespace tessaloom::testing;

/// A test's own connection to the server, to set up and check what the backend reports.
class Probe {
  template <class T>
  using Reply = std::unique_ptr<T, decltype([](T* r) { std::free(r); })>;

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
    const Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  /// The bytes of a property of `w` (of `type`, any when not given); empty when it has none.
  std::string text(xcb_window_t w, const char* property,
                   xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY) {
    const Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, w, atom(property), type, 0, 4096), nullptr));
    return r ? std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                           static_cast<std::size_t>(xcb_get_property_value_length(r.get())))
             : "";
  }
  std::vector<std::uint32_t> longs(xcb_window_t w, const char* property) {
    const std::string bytes = text(w, property);
    std::vector<std::uint32_t> out(bytes.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 4);  // never null
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
      const Reply<xcb_query_tree_reply_t> tree(
          xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr));
      if (!tree) return std::nullopt;
      if (tree->parent == root_) break;
      w = tree->parent;
    }
    const Reply<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
    if (!g) return std::nullopt;
    return Rect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
  }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
};

/// A fresh Xvfb with one screen of `size`. Xvfb's own pick is the lowest free display, which
/// the Xwayland of a test's compositor starting at that moment may take as well: the number is
/// drawn from a range no compositor starts at, and drawn again when it is taken.
struct XServer {
  static std::unique_ptr<XServer> start(const std::string& log, std::string& error,
                                        const std::string& size = "1920x1080x24") {
    std::mt19937 draw{std::random_device{}()};
    for (int attempt = 0; attempt < 8; ++attempt) {
      const std::string n = std::to_string(std::uniform_int_distribution(200, 899)(draw));
      if (std::filesystem::exists("/tmp/.X" + n + "-lock") ||
          std::filesystem::exists("/tmp/.X11-unix/X" + n))
        continue;
      auto process = Process::start({"Xvfb", ":" + n, "-displayfd", "1", "-nolisten", "tcp",
                                     "-noreset", "-screen", "0", size},
                                    {}, log);
      if (process && process->readLine(after(15)) == n)
        return std::unique_ptr<XServer>(new XServer{std::move(process), ":" + n});
    }
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
    const bool taken = waitUntil(
        [&] {
          xcb_unmap_window(c, w), xcb_map_window(c, w), xcb_flush(c);
          return waitUntil([&] { return !probe_->text(w, "WM_STATE").empty(); }, 0.25);
        },
        20);
    xcb_destroy_window(c, w), xcb_flush(c);
    if (!taken || !waitUntil([&] { return !probe_->managed(w); }, 5))
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
