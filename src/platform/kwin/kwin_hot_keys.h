// Global hot keys on KDE Plasma: shortcuts that our KWin script registers with KWin and that
// call this program back over the session bus. KWin drops them when it unloads the script.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "base/result.h"
#include "platform/hot_keys.h"
#include "platform/kwin/kwin_callbacks.h"

namespace tessaloom::platform {

namespace kwin {
class Agent;
}  // namespace kwin

class KWinHotKeys final : public HotKeys {
 public:
  /// Listens for the script's calls on the session bus, in the main loop, and keeps `agent`'s
  /// script answering for as long as this object lives. Fails without a session bus.
  static Result<std::unique_ptr<KWinHotKeys>> connect(kwin::Agent& agent);
  ~KWinHotKeys() override;
  KWinHotKeys(const KWinHotKeys&) = delete;
  KWinHotKeys& operator=(const KWinHotKeys&) = delete;

  void setPressedHandler(std::function<void(HotKeyId)> handler) override;
  /// False when the id or the chord is taken here, the chord has no KWin name, or the script
  /// does not answer.
  bool registerHotKey(HotKeyId id, Chord chord) override;
  /// Stops the calls for `id`; KWin keeps the shortcut until the script is unloaded.
  void unregisterHotKey(HotKeyId id) override;

  /// The name KWin and System Settings show for the shortcut of `chord` ("Tessaloom Ctrl+Alt+G").
  static std::optional<std::string> shortcutName(Chord chord);
  /// How often the script's waiting call is looked after.
  static constexpr unsigned kKeepAliveSeconds = 5;

 private:
  explicit KWinHotKeys(kwin::Agent& agent) : agent_(agent) {}
  void pressed(const std::string& name);

  kwin::Agent& agent_;
  std::unique_ptr<kwin::Callbacks> callbacks_;
  unsigned keepAlive_ = 0;
  std::map<HotKeyId, std::string> bound_;  // id → shortcut name
  std::set<std::string> sent_;             // names the script has registered
  std::function<void(HotKeyId)> handler_;
};

}  // namespace tessaloom::platform
