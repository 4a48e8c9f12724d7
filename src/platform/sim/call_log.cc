#include "platform/sim/call_log.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_element.h"

namespace tessaloom::platform {

std::string_view name(SimCallKind kind) {
  switch (kind) {
    case SimCallKind::createApplication:
      return "createApplication";
    case SimCallKind::setMessagingTimeout:
      return "setMessagingTimeout";
    case SimCallKind::copyAttributeValue:
      return "copyAttributeValue";
    case SimCallKind::setAttributeValue:
      return "setAttributeValue";
    case SimCallKind::createValue:
      return "createValue";
    case SimCallKind::isProcessTrusted:
      return "isProcessTrusted";
    case SimCallKind::runningApplications:
      return "runningApplications";
    case SimCallKind::frontmostApplication:
      return "frontmostApplication";
    case SimCallKind::urlForApplication:
      return "urlForApplication";
    case SimCallKind::openApplication:
      return "openApplication";
    case SimCallKind::openURL:
      return "openURL";
    case SimCallKind::currentProcessIdentifier:
      return "currentProcessIdentifier";
    case SimCallKind::screens:
      return "screens";
    case SimCallKind::mouseLocation:
      return "mouseLocation";
  }
  return "unknown";
}

std::string_view name(AXError error) {
  switch (error) {
    case AXError::success:
      return "success";
    case AXError::failure:
      return "failure";
    case AXError::illegalArgument:
      return "illegalArgument";
    case AXError::invalidUIElement:
      return "invalidUIElement";
    case AXError::cannotComplete:
      return "cannotComplete";
    case AXError::attributeUnsupported:
      return "attributeUnsupported";
    case AXError::apiDisabled:
      return "apiDisabled";
    case AXError::noValue:
      return "noValue";
  }
  return "unknown";
}

std::string describe(const AttributeValue& value) {
  struct Describe {
    std::string operator()(std::monostate) const { return "nothing"; }
    std::string operator()(const std::string& s) const {
      return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(double d) const { return formatNumber(d); }
    std::string operator()(Point p) const {
      return "point(" + formatNumber(p.x) + ", " + formatNumber(p.y) + ")";
    }
    std::string operator()(Size s) const {
      return "size(" + formatNumber(s.width) + ", " + formatNumber(s.height) + ")";
    }
    std::string operator()(const std::vector<ElementRef>& elements) const {
      std::string text = "[";
      for (std::size_t i = 0; i < elements.size(); ++i) {
        text += (i ? ", " : "") + describeElement(elements[i]);
      }
      return text + "]";
    }
  };
  return std::visit(Describe{}, value);
}

namespace {

std::string describeBody(const SimCall& call) {
  std::string text;
  const auto append = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ' ';
    text += part;
  };
  append(call.element);
  append(call.argument);
  if (!std::holds_alternative<std::monostate>(call.value)) append(describe(call.value));
  if (call.result != AXError::success) append("-> " + std::string(name(call.result)));
  return text;
}

}  // namespace

std::string describe(const SimCall& call) {
  const std::string body = describeBody(call);
  return std::string(name(call.kind)) + (body.empty() ? "" : " " + body);
}

std::vector<SimCall> CallLog::writes() const {
  std::vector<SimCall> result;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(result),
               [](const SimCall& c) { return c.kind == SimCallKind::setAttributeValue; });
  return result;
}

std::vector<std::string> CallLog::writeLines() const {
  std::vector<std::string> lines;
  for (const SimCall& call : writes()) lines.push_back(describeBody(call));
  return lines;
}

std::size_t CallLog::count(SimCallKind kind) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [kind](const SimCall& c) { return c.kind == kind; }));
}

std::string CallLog::text() const {
  std::string text;
  for (const SimCall& call : calls_) text += describe(call) + "\n";
  return text;
}

}  // namespace tessaloom::platform
