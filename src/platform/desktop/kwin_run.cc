#ifdef TESSALOOM_HAVE_KWIN
#include "platform/desktop/backend_run.h"

#include "base/language.h"
#include "platform/kwin/kwin_agent.h"
#include "platform/kwin/kwin_desktop.h"
#include "platform/kwin/kwin_hot_keys.h"

namespace tessaloom::platform {
namespace {

class KWinRun final : public BackendRun {
 public:
  explicit KWinRun(std::unique_ptr<KWinDesktop> kwin) : kwin_(std::move(kwin)) {}
  // The keys go first: KWin drops their shortcuts with the script.
  ~KWinRun() override { keys_.reset(); }
  WindowSystem& windows() override { return *kwin_; }
  // A KWin that left or froze during the command makes it fail, whatever it printed it did.
  Outcome finish() override {
    const std::string& trouble = kwin_->agent().trouble();
    if (trouble.empty()) return {};
    return Failure{language::format(language::tr("デスクトップとの接続が失われました（%s）"),
                                    (trouble).c_str())};
  }
  // Only the tray asks: a command never registers shortcuts.
  HotKeys* hotKeys() override {
    if (!keys_)
      if (auto keys = KWinHotKeys::connect(kwin_->agent())) keys_ = std::move(*keys);
    return keys_.get();
  }

 private:
  std::unique_ptr<KWinDesktop> kwin_;
  std::unique_ptr<KWinHotKeys> keys_;
};

}  // namespace

OpenedRun openKWinRun() {
  auto kwin = KWinDesktop::connect();
  if (!kwin)
    return Failure{language::format(
        language::tr(
            "デスクトップに接続できません（%s）。X11 のデスクトップで実行するか、TESSALOOM_SCENE "
            "にシーンファイルを指定してください"),
        kwin.error().c_str())};
  return std::unique_ptr<BackendRun>(std::make_unique<KWinRun>(std::move(*kwin)));
}

}  // namespace tessaloom::platform
#endif
