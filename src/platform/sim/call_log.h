// The record of every platform call the simulated desktop received, in order, with what was
// passed and what came back, so tests can check the exact calls made. Records only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.h"

namespace tessaloom::platform {

enum class SimCallKind {
  createApplication,
  setMessagingTimeout,
  copyAttributeValue,
  setAttributeValue,
  createValue,
  isProcessTrusted,
  runningApplications,
  frontmostApplication,
  urlForApplication,
  openApplication,
  openURL,
  currentProcessIdentifier,
  screens,
  mouseLocation,
};

struct SimCall {
  SimCallKind kind = SimCallKind::createApplication;
  /// The desktop clock when the call arrived.
  double time = 0;
  /// "app:101", "win:101/0"; empty for calls without an element.
  std::string element;
  /// The attribute name; the bundle identifier or link of workspace calls.
  std::string argument;
  /// The value written, the value read (on success), the value boxed, the prompt flag of a
  /// trust check, the seconds of a messaging timeout, the location found for an application.
  AttributeValue value;
  AXError result = AXError::success;
};

std::string_view name(SimCallKind kind);
std::string_view name(AXError error);
/// "nothing", "\"text\"", "true", "12.0", "point(1.0, 2.0)", "size(3.0, 4.0)",
/// "[win:101/0, win:101/1]".
std::string describe(const AttributeValue& value);
/// The call on one line: "setAttributeValue win:101/0 AXSize size(800.0, 601.0)", with
/// " -> <error>" appended when the call failed.
std::string describe(const SimCall& call);

class CallLog {
 public:
  void add(SimCall call) { calls_.push_back(std::move(call)); }
  const std::vector<SimCall>& calls() const { return calls_; }
  /// The attribute writes only, in order.
  std::vector<SimCall> writes() const;
  /// The attribute writes, each as describe() gives it without the call's name:
  /// "win:101/0 AXSize size(800.0, 601.0)".
  std::vector<std::string> writeLines() const;
  std::size_t count(SimCallKind kind) const;
  /// Every call as describe() gives it, one per line.
  std::string text() const;
  void clear() { calls_.clear(); }

 private:
  std::vector<SimCall> calls_;
};

}  // namespace tessaloom::platform
