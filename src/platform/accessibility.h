// The accessibility seam: elements of other applications, their attributes, and the permission
// to use them. Mirrors the platform's element API call for call; no policy lives here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "layout/geometry.h"
#include "platform/element.h"

namespace tessaloom::platform {

/// Error codes of attribute calls; success is 0, everything else means "no value".
enum class AXError : std::int32_t {
  success = 0,
  failure = -25200,
  illegalArgument = -25201,
  invalidUIElement = -25202,
  cannotComplete = -25204,
  attributeUnsupported = -25205,
  apiDisabled = -25211,
  noValue = -25212,
};

/// An attribute value as the platform hands it over. Point and Size are the boxed geometry
/// values (value types 1 and 2); everything else is not a boxed value.
using AttributeValue =
    std::variant<std::monostate, std::string, bool, double, Point, Size, std::vector<ElementRef>>;

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  /// The application element of a process; never null.
  virtual ElementRef createApplication(std::int32_t pid) = 0;
  /// Bounds every later request to the application; the result is ignored by callers.
  virtual void setMessagingTimeout(const ElementRef& application, float seconds) = 0;
  /// On success fills `value` and returns AXError::success; otherwise leaves it alone.
  virtual AXError copyAttributeValue(const ElementRef& element, std::string_view attribute,
                                     AttributeValue& value) = 0;
  virtual AXError setAttributeValue(const ElementRef& element, std::string_view attribute,
                                    const AttributeValue& value) = 0;
  /// Boxes a point or size; nothing when the platform refuses the value.
  virtual std::optional<AttributeValue> createValue(Point point) { return AttributeValue{point}; }
  virtual std::optional<AttributeValue> createValue(Size size) { return AttributeValue{size}; }
  /// Whether this process may use the interface; `prompt` asks the system to offer the grant.
  virtual bool isProcessTrusted(bool prompt) = 0;
};

}  // namespace tessaloom::platform
