// The record of every window-seam call the simulated desktop received, in order and in the
// seam's own terms, so tests can check the exact calls made. Records only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::platform {

enum class SimCallKind {
  applications,
  windows,
  frames,
  place,
  screens,
  pointer,
  launch,
  controlAvailable,
  requestControl,
};

struct SimCall {
  SimCallKind kind = SimCallKind::applications;
  /// The desktop clock when the call arrived.
  double time = 0;
  /// windows: the pid ("101"); frames: each handle asked as pid/index ("101/0 101/1", "?" for
  /// an unknown handle); place: one placement ("101/0 (0.0, 0.0, 800.0, 600.0)"); launch: the
  /// id; empty for the others.
  std::string argument;
};

std::string_view name(SimCallKind kind);
/// The call on one line: "place 101/0 (0.0, 0.0, 800.0, 600.0)", "applications".
std::string describe(const SimCall& call);

class CallLog {
 public:
  void add(SimCall call) { calls_.push_back(std::move(call)); }
  const std::vector<SimCall>& calls() const { return calls_; }
  std::size_t count(SimCallKind kind) const;
  /// The arguments of the placements, in order: "101/0 (0.0, 0.0, 800.0, 600.0)".
  std::vector<std::string> places() const;
  /// Every call as describe() gives it, one per line.
  std::string text() const;
  void clear() { calls_.clear(); }

 private:
  std::vector<SimCall> calls_;
};

}  // namespace tessaloom::platform
