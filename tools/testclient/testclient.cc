// A scriptable X11 client for the end-to-end tests: opens top-level windows with the class,
// titles, geometry, type, hints, pid and states asked for on the command line, prints
// "ready <window ids>" once the window manager manages all of them, then stays until killed.
// Each window is painted in a colour of its own with its title in a band at the top and a few
// bars below, so that screenshots show which window is where.
//
//   tessaloom-testclient --window [options] [--window [options]]...
//   tessaloom-testclient --frames
//
// --frames prints "<window> <x> <y> <width> <height>" for every managed window in client-list
// order, the frame being the manager's (the root's child that holds the window, with its
// border), and exits.
//
// Window options:
//   --class INSTANCE,CLASS   WM_CLASS (default: the previous window's, else testclient,Testclient)
//   --no-class               no WM_CLASS
//   --title TEXT             _NET_WM_NAME (UTF-8)
//   --wm-name TEXT           WM_NAME as a Latin-1 STRING (TEXT is given in UTF-8)
//   --wm-name-utf8 TEXT      WM_NAME as UTF8_STRING
//   --wm-name-ctext HEX      WM_NAME as COMPOUND_TEXT, the raw bytes in hexadecimal
//   --geometry WxH+X+Y       client size and position (user-specified, so the manager keeps it)
//   --type NAME              normal, dialog, utility, toolbar, splash, dock, desktop or none
//   --transient              WM_TRANSIENT_FOR the previous window
//   --strut-partial L,R,T,B,LSY,LEY,RSY,REY,TSX,TEX,BSX,BEX
//   --strut L,R,T,B
//   --min WxH / --inc WxH / --base WxH   size hints
//   --pid N|none             _NET_WM_PID (default this process)
//   --gtk-app-id ID          _GTK_APPLICATION_ID
//   --state LIST             comma-separated: maximized, fullscreen, hidden
//   --color RRGGBB           the window's colour (default: the previous window's, else one
//                            chosen by its class)
//   --exit-on-resize         the client exits as soon as the manager resizes this window after
//                            "ready" (a window that vanishes in the middle of an arrangement)
//   --kill-on-resize PID     the same, but first sends SIGKILL to PID (the X server that dies in
//                            the middle of an arrangement)
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct WindowOptions {
  std::optional<std::pair<std::string, std::string>> wmClass{{"testclient", "Testclient"}};
  std::optional<std::string> title;
  std::optional<std::string> wmNameLatin1;
  std::optional<std::string> wmNameUtf8;
  std::optional<std::string> wmNameCompound;
  int x = 0, y = 0, width = 400, height = 300;
  bool positioned = false;
  std::string type = "normal";
  bool transient = false;
  std::vector<std::uint32_t> strutPartial;
  std::vector<std::uint32_t> strut;
  std::optional<std::pair<int, int>> minSize, increment, baseSize;
  std::optional<std::uint32_t> pid = static_cast<std::uint32_t>(getpid());
  std::optional<std::string> gtkApplicationId;
  bool maximized = false, fullscreen = false, hidden = false;
  std::optional<std::uint32_t> color;  // 0xRRGGBB
  bool exitOnResize = false;
  pid_t killOnResize = 0;
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr, "testclient: %s\n", why.c_str());
  std::exit(2);
}

std::vector<std::uint32_t> numbers(const std::string& text, std::size_t count) {
  std::vector<std::uint32_t> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::stoul(item));
  if (out.size() != count) usage("expected " + std::to_string(count) + " numbers: " + text);
  return out;
}

std::pair<int, int> dimensions(const std::string& text) {
  int w = 0, h = 0;
  if (std::sscanf(text.c_str(), "%dx%d", &w, &h) != 2) usage("bad size " + text);
  return {w, h};
}

// UTF-8 to Latin-1; characters outside Latin-1 become '?'.
std::string latin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      const unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
      out += cp < 0x100 ? static_cast<char>(cp) : '?';
    } else {
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
      out += '?';
    }
  }
  return out;
}

std::string fromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
  return out;
}

// `rgb` moved towards `towards` by `share` (0 to 1), per channel.
std::uint32_t mix(std::uint32_t rgb, std::uint32_t towards, double share) {
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const double a = (rgb >> shift) & 0xFF, b = (towards >> shift) & 0xFF;
    out |= static_cast<std::uint32_t>(a + (b - a) * share + 0.5) << shift;
  }
  return out;
}

// The window's colour: the one asked for, else one of a few, chosen by its class.
std::uint32_t colourOf(const WindowOptions& w) {
  if (w.color) return *w.color;
  static constexpr std::uint32_t palette[] = {0x3B6FD4, 0xE8762D, 0x2A9D8F, 0x8E5BD6,
                                              0xD64B5B, 0x4F9D3A, 0xC99A1E, 0x5A6B7D};
  std::uint32_t hash = 2166136261u;  // FNV-1a
  if (w.wmClass)
    for (unsigned char ch : w.wmClass->second) hash = (hash ^ ch) * 16777619u;
  return palette[hash % (sizeof palette / sizeof palette[0])];
}

std::vector<WindowOptions> parse(int argc, char** argv) {
  std::vector<WindowOptions> windows;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--window") {
      // Later windows share the class and colour of the one before unless told otherwise.
      WindowOptions next;
      if (!windows.empty()) {
        next.wmClass = windows.back().wmClass;
        next.color = windows.back().color;
      }
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
      const std::string v = value();
      const auto comma = v.find(',');
      if (comma == std::string::npos) usage("--class needs INSTANCE,CLASS");
      w.wmClass = {{v.substr(0, comma), v.substr(comma + 1)}};
    } else if (arg == "--no-class") {
      w.wmClass.reset();
    } else if (arg == "--title") {
      w.title = value();
    } else if (arg == "--wm-name") {
      w.wmNameLatin1 = latin1(value());
    } else if (arg == "--wm-name-utf8") {
      w.wmNameUtf8 = value();
    } else if (arg == "--wm-name-ctext") {
      w.wmNameCompound = fromHex(value());
    } else if (arg == "--geometry") {
      if (std::sscanf(value().c_str(), "%dx%d+%d+%d", &w.width, &w.height, &w.x, &w.y) != 4)
        usage("bad geometry");
      w.positioned = true;
    } else if (arg == "--type") {
      w.type = value();
    } else if (arg == "--transient") {
      w.transient = true;
    } else if (arg == "--strut-partial") {
      w.strutPartial = numbers(value(), 12);
    } else if (arg == "--strut") {
      w.strut = numbers(value(), 4);
    } else if (arg == "--min") {
      w.minSize = dimensions(value());
    } else if (arg == "--inc") {
      w.increment = dimensions(value());
    } else if (arg == "--base") {
      w.baseSize = dimensions(value());
    } else if (arg == "--pid") {
      const std::string v = value();
      if (v == "none")
        w.pid.reset();
      else
        w.pid = static_cast<std::uint32_t>(std::stoul(v));
    } else if (arg == "--gtk-app-id") {
      w.gtkApplicationId = value();
    } else if (arg == "--state") {
      std::stringstream in(value());
      std::string s;
      while (std::getline(in, s, ',')) {
        if (s == "maximized")
          w.maximized = true;
        else if (s == "fullscreen")
          w.fullscreen = true;
        else if (s == "hidden")
          w.hidden = true;
        else
          usage("unknown state " + s);
      }
    } else if (arg == "--color") {
      const std::string v = value();
      char* end = nullptr;
      const unsigned long rgb = std::strtoul(v.c_str(), &end, 16);
      if (v.size() != 6 || *end != '\0') usage("bad colour " + v);
      w.color = static_cast<std::uint32_t>(rgb);
    } else if (arg == "--exit-on-resize") {
      w.exitOnResize = true;
    } else if (arg == "--kill-on-resize") {
      w.exitOnResize = true;
      w.killOnResize = static_cast<pid_t>(std::strtol(value().c_str(), nullptr, 10));
    } else {
      usage("unknown option " + arg);
    }
  }
  if (windows.empty()) usage("no --window given");
  return windows;
}

class Client {
 public:
  Client() {
    int screenNumber = 0;
    c_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c_)) usage("cannot connect to the X server");
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    screen_ = it.data;
  }
  ~Client() { xcb_disconnect(c_); }

  xcb_atom_t atom(const std::string& name) {
    auto found = atoms_.find(name);
    if (found != atoms_.end()) return found->second;
    auto cookie = xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c_, cookie, nullptr), &std::free);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    atoms_[name] = a;
    return a;
  }

  void set(xcb_window_t w, const std::string& property, xcb_atom_t type, std::uint8_t format,
           const void* data, std::size_t count) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom(property), type, format,
                        static_cast<std::uint32_t>(count), data);
  }
  void setText(xcb_window_t w, const std::string& property, xcb_atom_t type,
               const std::string& text) {
    set(w, property, type, 8, text.data(), text.size());
  }

  xcb_window_t open(const WindowOptions& s, xcb_window_t previous) {
    const xcb_window_t w = xcb_generate_id(c_);
    const std::uint32_t rgb = colourOf(s);
    const std::uint32_t values[] = {pixel(rgb), XCB_EVENT_MASK_EXPOSURE |
                                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                                    XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, static_cast<std::int16_t>(s.x),
                      static_cast<std::int16_t>(s.y), static_cast<std::uint16_t>(s.width),
                      static_cast<std::uint16_t>(s.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    if (s.wmClass) {
      const std::string both = s.wmClass->first + '\0' + s.wmClass->second + '\0';
      setText(w, "WM_CLASS", XCB_ATOM_STRING, both);
    }
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    if (s.title) setText(w, "_NET_WM_NAME", utf8, *s.title);
    if (s.wmNameLatin1) setText(w, "WM_NAME", XCB_ATOM_STRING, *s.wmNameLatin1);
    if (s.wmNameUtf8) setText(w, "WM_NAME", utf8, *s.wmNameUtf8);
    if (s.wmNameCompound) setText(w, "WM_NAME", atom("COMPOUND_TEXT"), *s.wmNameCompound);
    if (s.pid) set(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &*s.pid, 1);
    if (s.gtkApplicationId) setText(w, "_GTK_APPLICATION_ID", utf8, *s.gtkApplicationId);
    if (s.type != "none") {
      std::string name = s.type;
      for (auto& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_" + name);
      set(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, &type, 1);
    }
    if (s.transient && previous) set(w, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, 32, &previous, 1);
    if (!s.strutPartial.empty())
      set(w, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, s.strutPartial.data(), 12);
    if (!s.strut.empty()) set(w, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, 32, s.strut.data(), 4);

    xcb_size_hints_t hints{};
    if (s.positioned) {
      xcb_icccm_size_hints_set_position(&hints, 1, s.x, s.y);
      xcb_icccm_size_hints_set_size(&hints, 1, s.width, s.height);
    }
    if (s.minSize) xcb_icccm_size_hints_set_min_size(&hints, s.minSize->first, s.minSize->second);
    if (s.increment)
      xcb_icccm_size_hints_set_resize_inc(&hints, s.increment->first, s.increment->second);
    if (s.baseSize)
      xcb_icccm_size_hints_set_base_size(&hints, s.baseSize->first, s.baseSize->second);
    xcb_icccm_set_wm_normal_hints(c_, w, &hints);

    std::vector<xcb_atom_t> states;
    if (s.maximized) {
      states.push_back(atom("_NET_WM_STATE_MAXIMIZED_VERT"));
      states.push_back(atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
    }
    if (s.fullscreen) states.push_back(atom("_NET_WM_STATE_FULLSCREEN"));
    if (s.hidden) states.push_back(atom("_NET_WM_STATE_HIDDEN"));
    if (!states.empty()) set(w, "_NET_WM_STATE", XCB_ATOM_ATOM, 32, states.data(), states.size());
    xcb_icccm_wm_hints_t wmHints{};
    xcb_icccm_wm_hints_set_input(&wmHints, 1);
    if (s.hidden)
      xcb_icccm_wm_hints_set_iconic(&wmHints);
    else
      xcb_icccm_wm_hints_set_normal(&wmHints);
    xcb_icccm_set_wm_hints(c_, w, &wmHints);

    xcb_map_window(c_, w);
    std::string label = s.title.value_or(s.wmClass ? s.wmClass->second : "");
    windows_[w] = {
        latin1(label).substr(0, 255), rgb, s.width, s.height, s.exitOnResize, s.killOnResize};
    return w;
  }

  // Learns every window's size as the manager left it, forgets the events that came before,
  // paints the windows and from then on reacts to resizes.
  void settle() {
    std::vector<std::pair<xcb_window_t, xcb_get_geometry_cookie_t>> cookies;
    for (const auto& [w, state] : windows_) cookies.emplace_back(w, xcb_get_geometry(c_, w));
    for (const auto& [w, cookie] : cookies) {
      std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> g(
          xcb_get_geometry_reply(c_, cookie, nullptr), &std::free);
      if (!g) continue;
      windows_[w].width = g->width;
      windows_[w].height = g->height;
    }
    // Every event older than the replies is queued by now and describes an older state.
    while (auto* e = xcb_poll_for_queued_event(c_)) std::free(e);
    for (const auto& entry : windows_) paint(entry.first);
    xcb_flush(c_);
    armed_ = true;
  }

  // True once the manager has put WM_STATE on the window (it manages it).
  bool managed(xcb_window_t w) {
    const xcb_atom_t wmState = atom("WM_STATE");
    auto cookie = xcb_get_property(c_, 0, w, wmState, wmState, 0, 2);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c_, cookie, nullptr), &std::free);
    return reply && reply->type == wmState && xcb_get_property_value_length(reply.get()) > 0;
  }

  // Waits for events until `done` holds or `seconds` pass; false on timeout or lost server.
  template <class Done>
  bool waitFor(Done done, double seconds) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      // Checking sends a request; events read while waiting for its reply sit in XCB's queue
      // and would never wake poll(), so look there before sleeping on the socket.
      if (done()) return true;
      bool queued = false;
      while (auto* e = xcb_poll_for_queued_event(c_)) {
        std::free(e);
        queued = true;
      }
      if (queued) continue;
      if (xcb_connection_has_error(c_)) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
      if (left <= 0) return false;
      xcb_flush(c_);
      pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left));
      while (auto* e = xcb_poll_for_event(c_)) std::free(e);
    }
  }

  void printFrames() {
    auto cookie =
        xcb_get_property(c_, 0, screen_->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 65536);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> list(
        xcb_get_property_reply(c_, cookie, nullptr), &std::free);
    if (!list || list->format != 32) return;
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    const int count = xcb_get_property_value_length(list.get()) / 4;
    for (int i = 0; i < count; ++i) {
      xcb_window_t frame = ids[i];
      for (int depth = 0; depth < 16; ++depth) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(c_, xcb_query_tree(c_, frame), nullptr), &std::free);
        if (!tree || tree->parent == screen_->root || tree->parent == XCB_WINDOW_NONE) break;
        frame = tree->parent;
      }
      std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> g(
          xcb_get_geometry_reply(c_, xcb_get_geometry(c_, frame), nullptr), &std::free);
      if (!g) continue;
      std::printf("%u %d %d %d %d\n", ids[i], g->x, g->y, g->width + 2 * g->border_width,
                  g->height + 2 * g->border_width);
    }
  }

  // Repaints and watches for resizes until the server goes away.
  void serve() {
    while (auto* e = xcb_wait_for_event(c_)) {
      handle(*e);
      std::free(e);
    }
  }

  xcb_connection_t* connection() { return c_; }

 private:
  struct Window {
    std::string label;  // Latin-1, for the core font
    std::uint32_t rgb = 0;
    int width = 0, height = 0;
    bool exitOnResize = false;
    pid_t killOnResize = 0;
  };

  void handle(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7F) {
      case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        if (expose.count == 0) paint(expose.window);
        break;
      }
      case XCB_CONFIGURE_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        auto it = windows_.find(notify.window);
        if (it == windows_.end()) break;
        Window& w = it->second;
        if (notify.width == w.width && notify.height == w.height) break;
        if (armed_ && w.killOnResize > 0) ::kill(w.killOnResize, SIGKILL);
        if (armed_ && w.exitOnResize) std::exit(0);
        w.width = notify.width;
        w.height = notify.height;
        break;
      }
      default:
        break;
    }
  }

  // The server's pixel for a colour; white when it cannot give one.
  std::uint32_t pixel(std::uint32_t rgb) {
    if (auto found = pixels_.find(rgb); found != pixels_.end()) return found->second;
    auto channel = [&](int shift) {
      return static_cast<std::uint16_t>(((rgb >> shift) & 0xFF) * 257);
    };
    std::unique_ptr<xcb_alloc_color_reply_t, decltype(&std::free)> reply(
        xcb_alloc_color_reply(
            c_, xcb_alloc_color(c_, screen_->default_colormap, channel(16), channel(8), channel(0)),
            nullptr),
        &std::free);
    const std::uint32_t value = reply ? reply->pixel : screen_->white_pixel;
    pixels_[rgb] = value;
    return value;
  }

  // A bold scalable core font when the server has one, else the built-in "fixed".
  void prepareDrawing() {
    if (gc_) return;
    font_ = xcb_generate_id(c_);
    const std::string scalable = "-*-helvetica-bold-r-normal--20-*-*-*-p-*-iso8859-1";
    auto cookie = xcb_open_font_checked(c_, font_, static_cast<std::uint16_t>(scalable.size()),
                                        scalable.c_str());
    if (auto* error = xcb_request_check(c_, cookie)) {
      std::free(error);
      xcb_open_font(c_, font_, 5, "fixed");
    }
    gc_ = xcb_generate_id(c_);
    xcb_create_gc(c_, gc_, screen_->root, XCB_GC_FONT, &font_);
  }

  void fill(xcb_window_t w, std::uint32_t rgb, int x, int y, int width, int height) {
    const std::uint32_t foreground = pixel(rgb);
    xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND, &foreground);
    const xcb_rectangle_t r{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                            static_cast<std::uint16_t>(std::max(width, 0)),
                            static_cast<std::uint16_t>(std::max(height, 0))};
    xcb_poly_fill_rectangle(c_, w, gc_, 1, &r);
  }

  // A title band in a darker shade with the label, and bars in a lighter one like lines of
  // text, over the window's own colour (its background).
  void paint(xcb_window_t id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    const Window& w = it->second;
    prepareDrawing();
    constexpr int kBand = 44;
    const std::uint32_t band = mix(w.rgb, 0x000000, 0.35);
    const std::uint32_t bars = mix(w.rgb, 0xFFFFFF, 0.45);
    fill(id, band, 0, 0, w.width, kBand);
    std::uint32_t seed = 2166136261u;
    for (unsigned char ch : w.label) seed = (seed ^ ch) * 16777619u;
    for (int y = kBand + 24; y + 22 < w.height; y += 28) {
      seed = seed * 1664525u + 1013904223u;
      const double share = 0.45 + static_cast<double>(seed >> 24) / 255.0 * 0.45;
      fill(id, bars, 20, y, static_cast<int>((w.width - 40) * share), 10);
    }
    const std::uint32_t colours[] = {pixel(0xFFFFFF), pixel(band)};
    xcb_change_gc(c_, gc_, XCB_GC_FOREGROUND | XCB_GC_BACKGROUND, colours);
    xcb_image_text_8(c_, static_cast<std::uint8_t>(w.label.size()), id, gc_, 16, 29,
                     w.label.c_str());
    xcb_flush(c_);
  }

  xcb_connection_t* c_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  std::map<std::string, xcb_atom_t> atoms_;
  std::map<xcb_window_t, Window> windows_;
  std::map<std::uint32_t, std::uint32_t> pixels_;
  xcb_font_t font_ = 0;
  xcb_gcontext_t gc_ = 0;
  bool armed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--frames") == 0) {
    Client client;
    client.printFrames();
    return 0;
  }
  const auto requested = parse(argc, argv);
  Client client;
  std::vector<xcb_window_t> windows;
  xcb_window_t previous = XCB_WINDOW_NONE;
  for (const auto& options : requested) {
    previous = client.open(options, previous);
    windows.push_back(previous);
  }
  xcb_flush(client.connection());
  const bool ok = client.waitFor(
      [&] {
        for (auto w : windows)
          if (!client.managed(w)) return false;
        return true;
      },
      20.0);
  client.settle();
  std::string line = ok ? "ready" : "unmanaged";
  for (auto w : windows) line += " " + std::to_string(w);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  client.serve();
  return 0;
}
