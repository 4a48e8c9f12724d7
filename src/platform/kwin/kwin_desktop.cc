#include "platform/kwin/kwin_desktop.h"

#include <unistd.h>

#include "base/language.h"
#include "platform/kwin/kwin_agent.h"
#include "platform/kwin/kwin_output_watch.h"
#include "platform/xdg/desktop_entries.h"

namespace tessaloom::platform {

using kwin::Report;
using kwin::ReportedWindow;

KWinDesktop::KWinDesktop(std::unique_ptr<kwin::Agent> agent) : agent_(std::move(agent)) {}

KWinDesktop::~KWinDesktop() = default;

Result<std::unique_ptr<KWinDesktop>> KWinDesktop::connect() {
  auto agent = kwin::Agent::start();
  if (!agent) return Failure{agent.error()};
  return std::unique_ptr<KWinDesktop>(new KWinDesktop(std::move(*agent)));
}

std::optional<Report> KWinDesktop::fetch() {
  // A command's first look takes the report the script started with, moments ago.
  auto answer = agent_->startReport(std::chrono::milliseconds(100));
  if (!answer) answer = agent_->ask(kwin::reportRequest());
  if (!answer) return std::nullopt;
  auto report = kwin::parseReport(*answer);
  if (report && !report->outputs.empty()) origin_ = report->outputs.front().frame.origin();
  return report;
}

Rect KWinDesktop::toGlobal(Rect r) const {
  return {r.x - origin_.x, r.y - origin_.y, r.width, r.height};
}

std::vector<Screen> KWinDesktop::screensOf(const Report& report) const {
  std::vector<Screen> screens;
  for (const auto& o : report.outputs)
    screens.push_back({toGlobal(o.frame), toGlobal(o.usable), o.name});
  return screens;
}

Point KWinDesktop::pointerOf(const Report& report) const {
  return {report.cursor.x - origin_.x, report.cursor.y - origin_.y};
}

std::vector<const ReportedWindow*> KWinDesktop::candidates(const Report& report,
                                                           std::uint32_t self) {
  std::vector<const ReportedWindow*> found;
  for (const ReportedWindow& w : report.windows)
    if (!w.deleted && !w.special && w.pid != self) found.push_back(&w);
  return found;
}

DesktopFacts KWinDesktop::snapshot() {
  ids_.clear();
  const auto report = fetch();
  if (!report) return {};
  DesktopFacts found;
  const auto& entries = xdg::DesktopEntryIndex::installed();
  for (const ReportedWindow* w : candidates(*report, static_cast<std::uint32_t>(::getpid()))) {
    // KWin gives a native window's app id as its desktop file name and class.
    AppIdentity app =
        xdg::identifyApplication(entries, {w->desktopFileName, w->resourceName, w->resourceClass});
    app.processId = w->pid;
    const WindowHandle handle = kwin::handleOf(w->id);
    ids_[handle] = w->id;
    found.windows.push_back({handle, w->caption, toGlobal(w->frame), w->normal, w->minimized,
                             w->fullScreen, false, w->minimum, std::move(app), w->active,
                             !kwin::onDesktop(*w, report->desktop)});
  }
  found.screens = screensOf(*report);
  found.pointer = pointerOf(*report);
  return found;
}

std::vector<std::optional<Rect>> KWinDesktop::frames(std::span<const WindowHandle> handles) {
  std::vector<std::optional<Rect>> frames(handles.size());
  const auto report = fetch();
  if (!report) return frames;
  std::map<WindowHandle, Rect> now;
  for (const ReportedWindow& w : report->windows)
    if (!w.deleted) now[kwin::handleOf(w.id)] = toGlobal(w.frame);
  for (std::size_t i = 0; i < handles.size(); ++i)
    if (auto it = now.find(handles[i]); it != now.end()) frames[i] = it->second;
  return frames;
}

void KWinDesktop::place(std::span<const Placement> placements) {
  std::vector<kwin::Move> moves;
  for (const Placement& p : placements) {
    const auto it = ids_.find(p.window);
    if (it == ids_.end() || p.frame.width < 1 || p.frame.height < 1) continue;
    moves.push_back(
        {it->second,
         {p.frame.x + origin_.x, p.frame.y + origin_.y, p.frame.width, p.frame.height}});
  }
  // Not waited for: KWin moves the windows while the caller lets them settle.
  if (!moves.empty()) (void)agent_->post(kwin::placeRequest(moves));
}

std::vector<Screen> KWinDesktop::screens() {
  const auto report = fetch();
  return report ? screensOf(*report) : std::vector<Screen>{};
}

std::shared_ptr<void> KWinDesktop::watchMonitors(std::function<void()> changed) {
  auto watch = kwin::OutputWatch::start(*agent_, std::move(changed));
  if (!watch) return nullptr;
  return std::shared_ptr<kwin::OutputWatch>(std::move(*watch));
}

Point KWinDesktop::pointer() {
  const auto report = fetch();
  return report ? pointerOf(*report) : Point{};
}

bool KWinDesktop::launch(std::string_view id) {
  const auto path = xdg::desktopEntryPath(id);
  // The program's own environment names the session's Wayland and X displays.
  return path && xdg::launchDesktopEntry(*path, "");
}

bool KWinDesktop::controlAvailable() {
  return agent_->running() || agent_->ask(kwin::idleRequest()).has_value();
}

void KWinDesktop::requestControl() {
  agent_->allowRetry();
  (void)agent_->ask(kwin::idleRequest());
}

std::optional<ControlPrompt> KWinDesktop::controlPrompt() {
  // A KWin that left or froze is no matter of its settings.
  if (const std::string& trouble = agent_->trouble(); !trouble.empty())
    return ControlPrompt{
        language::format(language::tr("KWin と通信できません（%s）"), trouble.c_str()),
        language::tr("KWin が応答しません"),
        language::format(language::tr("Tessaloom は KWin と通信できません（%s）。KWin "
                                      "が動いていることを確かめてから「もう一度試す」を"
                                      "押してください。"),
                         trouble.c_str()),
        {language::tr("もう一度試す"), language::tr("あとで")}};
  return ControlPrompt{
      language::tr("KWin がスクリプトを読み込みません。KWin "
                   "のスクリプトを有効にしてから、もう一度実行してください"),
      language::tr("KWin のスクリプトを有効にしてください"),
      language::tr("Tessaloom は小さな KWin スクリプトでウィンドウを読み取り、動かします。いまの "
                   "KWin はスクリプトを読み込まないため、ウィンドウを動かせません。\n\nKWin "
                   "のスクリプトを有効にしてから「もう一度試す」を押してください。"),
      {language::tr("もう一度試す"), language::tr("あとで")}};
}

}  // namespace tessaloom::platform
