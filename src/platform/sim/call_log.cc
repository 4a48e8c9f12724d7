#include "platform/sim/call_log.h"

#include <algorithm>

namespace tessaloom::platform {

std::string_view name(SimCallKind kind) {
  switch (kind) {
    case SimCallKind::applications:
      return "applications";
    case SimCallKind::windows:
      return "windows";
    case SimCallKind::frames:
      return "frames";
    case SimCallKind::place:
      return "place";
    case SimCallKind::screens:
      return "screens";
    case SimCallKind::pointer:
      return "pointer";
    case SimCallKind::launch:
      return "launch";
    case SimCallKind::controlAvailable:
      return "controlAvailable";
    case SimCallKind::requestControl:
      return "requestControl";
  }
  return "unknown";
}

std::string describe(const SimCall& call) {
  std::string text(name(call.kind));
  if (!call.argument.empty()) text += " " + call.argument;
  return text;
}

std::size_t CallLog::count(SimCallKind kind) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [kind](const SimCall& c) { return c.kind == kind; }));
}

std::vector<std::string> CallLog::places() const {
  std::vector<std::string> result;
  for (const SimCall& call : calls_) {
    if (call.kind == SimCallKind::place) result.push_back(call.argument);
  }
  return result;
}

std::string CallLog::text() const {
  std::string text;
  for (const SimCall& call : calls_) text += describe(call) + "\n";
  return text;
}

}  // namespace tessaloom::platform
