#include "platform/x11/x11_hot_keys.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "base/language.h"
#include "platform/glib/fd_watch.h"
#include "platform/x11/x11_connection.h"

namespace tessaloom::platform {
namespace {

constexpr std::uint16_t kLock = XCB_MOD_MASK_LOCK;
constexpr xcb_keysym_t kNumLockSym = 0xff7f;  // XK_Num_Lock
constexpr xcb_keysym_t kLowerA = 0x61;        // XK_a: the keysyms of the letters follow in order

}  // namespace

Result<std::unique_ptr<X11HotKeys>> X11HotKeys::connect(const std::string& display) {
  int screen = 0;
  const auto made = x11::connectWithin(display, screen, x11::Connection::kConnectTimeout);
  if (!made) return Failure{language::tr("X サーバーに接続できません")};
  xcb_connection_t* c = *made;
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return Failure{language::tr("X サーバーに接続できません")};
  }
  return std::unique_ptr<X11HotKeys>(new X11HotKeys(c));
}

X11HotKeys::X11HotKeys(xcb_connection_t* connection)
    : connection_(connection), symbols_(xcb_key_symbols_alloc(connection)) {
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  numLock_ = findNumLock();
  fd_ = std::make_unique<glib::FdWatch>(xcb_get_file_descriptor(connection_),
                                        [this] { return dispatch(); });
}

X11HotKeys::~X11HotKeys() {
  fd_.reset();
  for (const auto& r : registrations_) ungrab(r.keycodes, r.xMods);
  // One round trip: the server has released the keys before this process can end, so a copy
  // that waits for that end can grab them at once.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  xcb_key_symbols_free(symbols_);
  xcb_disconnect(connection_);
}

std::optional<std::uint16_t> X11HotKeys::xModifiers(std::uint32_t modifiers) {
  static constexpr std::pair<std::uint32_t, std::uint16_t> kMap[] = {
      {kControl, XCB_MOD_MASK_CONTROL},
      {kAlt, XCB_MOD_MASK_1},
      {kShift, XCB_MOD_MASK_SHIFT},
      {kSuper, XCB_MOD_MASK_4},
  };
  std::uint16_t x = 0;
  for (const auto& [bit, xbit] : kMap) {
    if (!(modifiers & bit)) continue;
    x |= xbit;
    modifiers &= ~bit;
  }
  if (modifiers != 0) return std::nullopt;
  return x;
}

std::vector<std::uint8_t> X11HotKeys::keycodesFor(char letter) {
  std::vector<std::uint8_t> codes;
  xcb_keycode_t* found =
      xcb_key_symbols_get_keycode(symbols_, kLowerA + static_cast<xcb_keysym_t>(letter - 'a'));
  for (xcb_keycode_t* k = found; k && *k != XCB_NO_SYMBOL; ++k)
    if (std::find(codes.begin(), codes.end(), *k) == codes.end()) codes.push_back(*k);
  std::free(found);
  return codes;
}

std::uint16_t X11HotKeys::findNumLock() {
  xcb_keycode_t* numCodes = xcb_key_symbols_get_keycode(symbols_, kNumLockSym);
  if (!numCodes) return 0;
  std::uint16_t mask = 0;
  auto* reply =
      xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
  if (reply) {
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier)
      for (int i = 0; i < perModifier && !mask; ++i) {
        const xcb_keycode_t code = map[modifier * perModifier + i];
        for (xcb_keycode_t* k = numCodes; code && *k != XCB_NO_SYMBOL; ++k)
          if (*k == code) mask = static_cast<std::uint16_t>(1u << modifier);
      }
    std::free(reply);
  }
  std::free(numCodes);
  return mask;
}

std::vector<std::uint16_t> X11HotKeys::lockVariants() const {
  if (!numLock_) return {0, kLock};
  return {0, kLock, numLock_, static_cast<std::uint16_t>(kLock | numLock_)};
}

bool X11HotKeys::grab(const std::vector<std::uint8_t>& keycodes, std::uint16_t mods) {
  // All requests first, then all checks: one round trip instead of one per variant.
  struct Pending {
    std::uint8_t code;
    std::uint16_t mods;
    xcb_void_cookie_t cookie;
  };
  std::vector<Pending> pending;
  for (const auto code : keycodes)
    for (const auto lock : lockVariants()) {
      const std::uint16_t all = mods | lock;
      pending.push_back({code, all,
                         xcb_grab_key_checked(connection_, 1, root_, all, code, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC)});
    }
  bool ok = true;
  std::vector<const Pending*> taken;
  for (const auto& p : pending) {
    if (xcb_generic_error_t* e = xcb_request_check(connection_, p.cookie)) {
      ok = false;  // BadAccess: another client holds this variant
      std::free(e);
    } else {
      taken.push_back(&p);
    }
  }
  if (ok) return true;
  for (const auto* p : taken) xcb_ungrab_key(connection_, p->code, root_, p->mods);
  xcb_flush(connection_);
  return false;
}

void X11HotKeys::ungrab(const std::vector<std::uint8_t>& keycodes, std::uint16_t mods) {
  for (const auto code : keycodes)
    for (const auto lock : lockVariants())
      xcb_ungrab_key(connection_, code, root_, static_cast<std::uint16_t>(mods | lock));
}

void X11HotKeys::setPressedHandler(std::function<void(HotKeyId)> handler) {
  handler_ = std::move(handler);
}

bool X11HotKeys::registerHotKey(HotKeyId id, Chord chord) {
  const auto mods = xModifiers(chord.modifiers);
  if (chord.letter < 'a' || chord.letter > 'z' || !mods) return false;
  for (const auto& r : registrations_)
    if (r.id == id || r.chord == chord) return false;
  auto codes = keycodesFor(chord.letter);
  if (codes.empty() || !grab(codes, *mods)) return false;
  registrations_.push_back({id, chord, *mods, std::move(codes)});
  return true;
}

void X11HotKeys::unregisterHotKey(HotKeyId id) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [id](const Registration& r) { return r.id == id; });
  if (it == registrations_.end()) return;
  ungrab(it->keycodes, it->xMods);
  xcb_flush(connection_);
  registrations_.erase(it);
}

void X11HotKeys::regrabAll() {
  for (const auto& r : registrations_) ungrab(r.keycodes, r.xMods);
  numLock_ = findNumLock();
  // A combination whose key left the keyboard, or that another client took meanwhile, is lost;
  // the menu still reaches its operation.
  std::vector<Registration> kept;
  for (auto& r : registrations_) {
    r.keycodes = keycodesFor(r.chord.letter);
    if (!r.keycodes.empty() && grab(r.keycodes, r.xMods)) kept.push_back(std::move(r));
  }
  registrations_ = std::move(kept);
}

bool X11HotKeys::dispatch() {
  bool remapped = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    switch (event->response_type & 0x7f) {
      case XCB_KEY_PRESS: {
        const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        const std::uint16_t mods = press->state & ~(kLock | numLock_) & 0xff;
        for (const auto& r : registrations_) {
          if (r.xMods != mods) continue;
          if (std::find(r.keycodes.begin(), r.keycodes.end(), press->detail) == r.keycodes.end())
            continue;
          if (handler_) handler_(r.id);
          break;
        }
        break;
      }
      case XCB_MAPPING_NOTIFY: {
        auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
        xcb_refresh_keyboard_mapping(symbols_, mapping);
        if (mapping->request != XCB_MAPPING_POINTER) remapped = true;
        break;
      }
      default:
        break;  // errors of unchecked requests and anything else: nothing to do
    }
    std::free(event);
  }
  if (remapped) regrabAll();
  xcb_flush(connection_);
  return xcb_connection_has_error(connection_) == 0;
}

}  // namespace tessaloom::platform
