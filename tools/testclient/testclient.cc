// A scriptable X11 client for the tests: opens the windows asked for, prints "ready <ids>" once
// the manager has them all ("unmanaged <ids>" after 20 s) and stays until killed; --frames prints
// "<window> <x> <y> <width> <height>" per managed window (the manager's frame) instead.
// Per --window (a later window keeps the class and colour of the one before):
//   --class INSTANCE,CLASS  --title TEXT (UTF-8)  --geometry WxH+X+Y (kept by the manager)
//   --type NAME (dock ...)  --strut-partial 12 numbers  --state maximized  --color RRGGBB
//   --exit-on-resize         exits once the manager resizes the window after "ready"
//   --kill-on-resize PID     the same, after SIGKILL to PID (say, the X server)
//   --map-gap MS             the next window is mapped MS after the manager took this one (sway's
//                            XWayland at times leaves a window mapped right after another unshown)
#include <poll.h>
#include <signal.h>
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct WindowOptions {
  std::string wmClass = std::string("testclient\0Testclient\0", 22);
  std::string title;
  int x = 0, y = 0, width = 400, height = 300;
  std::string type = "NORMAL";
  std::vector<std::uint32_t> strut;
  bool maximized = false;
  std::uint32_t rgb = 0x5A6B7D;
  bool exitOnResize = false;
  pid_t killOnResize = 0;
  int mapGap = 0;                     // ms
  int lastWidth = 0, lastHeight = 0;  // as the manager last left it
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr, "testclient: %s\n", why.c_str());
  std::exit(2);
}

std::vector<WindowOptions> parse(int argc, char** argv) {
  std::vector<WindowOptions> windows;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--window") {
      WindowOptions next;
      if (!windows.empty()) next.wmClass = windows.back().wmClass, next.rgb = windows.back().rgb;
      windows.push_back(next);
      continue;
    }
    if (windows.empty()) usage("options must follow --window");
    WindowOptions& w = windows.back();
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--class") {
      std::string v = value();
      if (v.find(',') == std::string::npos) usage("--class needs INSTANCE,CLASS");
      v[v.find(',')] = '\0';
      w.wmClass = v + '\0';
    } else if (arg == "--title") {
      w.title = value();
    } else if (arg == "--geometry") {
      if (std::sscanf(value().c_str(), "%dx%d+%d+%d", &w.width, &w.height, &w.x, &w.y) != 4)
        usage("bad geometry");
    } else if (arg == "--type") {
      w.type = value();
      for (auto& ch : w.type) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    } else if (arg == "--strut-partial") {
      std::stringstream in(value());
      for (std::string n; std::getline(in, n, ',');) w.strut.push_back(std::stoul(n));
      if (w.strut.size() != 12) usage("--strut-partial needs 12 numbers");
    } else if (arg == "--state") {
      if (value() != "maximized") usage("--state knows only maximized");
      w.maximized = true;
    } else if (arg == "--color") {
      w.rgb = static_cast<std::uint32_t>(std::stoul(value(), nullptr, 16));
    } else if (arg == "--exit-on-resize") {
      w.exitOnResize = true;
    } else if (arg == "--map-gap") {
      w.mapGap = std::stoi(value());
    } else if (arg == "--kill-on-resize") {
      w.exitOnResize = true;
      w.killOnResize = static_cast<pid_t>(std::stol(value()));
    } else {
      usage("unknown option " + arg);
    }
  }
  if (windows.empty()) usage("no --window given");
  return windows;
}

class Client {
 public:
  Client() : c_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(c_)) usage("cannot connect to the X server");
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;  // one screen: Xvfb's
  }
  ~Client() { xcb_disconnect(c_); }

  xcb_atom_t atom(const std::string& name) {
    auto* r = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
  }
  void set(xcb_window_t w, const std::string& property, xcb_atom_t type, std::uint8_t format,
           const void* data, std::size_t count) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom(property), type, format,
                        static_cast<std::uint32_t>(count), data);
  }

  xcb_window_t open(WindowOptions s) {
    const xcb_window_t w = xcb_generate_id(c_);
    const auto channel = [&](int shift) {
      return static_cast<std::uint16_t>(((s.rgb >> shift) & 0xFF) * 257);
    };
    auto* colour = xcb_alloc_color_reply(
        c_, xcb_alloc_color(c_, screen_->default_colormap, channel(16), channel(8), channel(0)),
        nullptr);
    const std::uint32_t values[] = {colour ? colour->pixel : screen_->white_pixel,
                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    std::free(colour);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, static_cast<std::int16_t>(s.x),
                      static_cast<std::int16_t>(s.y), static_cast<std::uint16_t>(s.width),
                      static_cast<std::uint16_t>(s.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    set(w, "WM_CLASS", XCB_ATOM_STRING, 8, s.wmClass.data(), s.wmClass.size());
    set(w, "_NET_WM_NAME", atom("UTF8_STRING"), 8, s.title.data(), s.title.size());
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_" + s.type);
    set(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, &type, 1);
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    set(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
    if (!s.strut.empty())
      set(w, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, s.strut.data(), 12);
    const xcb_atom_t states[] = {atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                                 atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    if (s.maximized) set(w, "_NET_WM_STATE", XCB_ATOM_ATOM, 32, states, 2);
    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 1, s.x, s.y);  // user-specified: kept
    xcb_icccm_size_hints_set_size(&hints, 1, s.width, s.height);
    xcb_icccm_set_wm_normal_hints(c_, w, &hints);
    windows_[w] = s;
    return w;
  }

  // Maps the windows in the order opened (ids grow), each once the manager has taken (set
  // WM_STATE on) the one before, up to 20 s in all; then learns their sizes as the manager left
  // them, so that only later resizes count.
  bool mapManaged() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    const xcb_atom_t wmState = atom("WM_STATE");
    auto managed = [&](xcb_window_t w) {
      auto* r =
          xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, wmState, wmState, 0, 2), nullptr);
      const bool has = r && r->type == wmState && xcb_get_property_value_length(r) > 0;
      return std::free(r), has;
    };
    bool done = true;
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
      xcb_map_window(c_, it->first);
      bool taken = false;  // past the deadline the rest are mapped at once
      for (auto gap = deadline; !xcb_connection_has_error(c_);) {
        if (!taken && (taken = managed(it->first)))
          gap = Clock::now() +
                std::chrono::milliseconds(std::next(it) == windows_.end() ? 0 : it->second.mapGap);
        if (Clock::now() >= std::min(gap, deadline)) break;
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, 20);  // events read while waiting for replies never wake poll()
        while (auto* e = xcb_poll_for_event(c_)) std::free(e);
      }
      done = done && taken;
    }
    for (auto& [w, s] : windows_)
      if (auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr))
        s.lastWidth = g->width, s.lastHeight = g->height, std::free(g);
    while (auto* e = xcb_poll_for_queued_event(c_)) std::free(e);  // older than the sizes
    return done;
  }

  void printFrames() {
    auto* list = xcb_get_property_reply(
        c_,
        xcb_get_property(c_, 0, screen_->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 65536),
        nullptr);
    for (int i = 0; list && i < xcb_get_property_value_length(list) / 4; ++i) {
      const xcb_window_t id = static_cast<const xcb_window_t*>(xcb_get_property_value(list))[i];
      xcb_window_t frame = id;
      for (int depth = 0; depth < 16; ++depth) {
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, frame), nullptr);
        const xcb_window_t parent = tree ? tree->parent : xcb_window_t{XCB_WINDOW_NONE};
        std::free(tree);
        if (parent == screen_->root || parent == XCB_WINDOW_NONE) break;
        frame = parent;
      }
      if (auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, frame), nullptr)) {
        std::printf("%u %d %d %d %d\n", id, g->x, g->y, g->width + 2 * g->border_width,
                    g->height + 2 * g->border_width);
        std::free(g);
      }
    }
    std::free(list);
  }

  // Watches for resizes until the server goes away.
  void serve() {
    while (auto* e = xcb_wait_for_event(c_)) {
      const auto* n = reinterpret_cast<const xcb_configure_notify_event_t*>(e);
      const auto it = (e->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY ? windows_.find(n->window)
                                                                        : windows_.end();
      if (it != windows_.end() &&
          (n->width != it->second.lastWidth || n->height != it->second.lastHeight)) {
        if (it->second.killOnResize > 0) ::kill(it->second.killOnResize, SIGKILL);
        if (it->second.exitOnResize) std::exit(0);
        it->second.lastWidth = n->width, it->second.lastHeight = n->height;
      }
      std::free(e);
    }
  }

 private:
  xcb_connection_t* c_;
  xcb_screen_t* screen_ = nullptr;
  std::map<xcb_window_t, WindowOptions> windows_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--frames") == 0) {
    Client().printFrames();
    return 0;
  }
  const auto requested = parse(argc, argv);
  Client client;
  std::string ids;
  for (const auto& options : requested) ids += " " + std::to_string(client.open(options));
  std::printf("%s%s\n", client.mapManaged() ? "ready" : "unmanaged", ids.c_str());
  std::fflush(stdout);
  client.serve();
  return 0;
}
