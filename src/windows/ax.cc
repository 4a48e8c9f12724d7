#include "windows/ax.h"

#include "platform/accessibility.h"
#include "platform/services.h"

namespace tessaloom::AX {
namespace {

platform::Accessibility& ax() {
  return *platform::services().accessibility;
}

std::optional<platform::AttributeValue> copy(const platform::ElementRef& element,
                                             std::string_view attribute) {
  platform::AttributeValue value;
  if (ax().copyAttributeValue(element, attribute, value) != platform::AXError::success)
    return std::nullopt;
  return value;
}

template <class T>
std::optional<T> typed(const platform::ElementRef& element, std::string_view attribute) {
  auto value = copy(element, attribute);
  if (!value) return std::nullopt;
  if (auto* v = std::get_if<T>(&*value)) return std::move(*v);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> stringValue(const platform::ElementRef& element,
                                       std::string_view attribute) {
  return typed<std::string>(element, attribute);
}

std::optional<bool> boolValue(const platform::ElementRef& element, std::string_view attribute) {
  return typed<bool>(element, attribute);
}

std::optional<std::vector<platform::ElementRef>> elementsValue(const platform::ElementRef& element,
                                                               std::string_view attribute) {
  auto elements = typed<std::vector<platform::ElementRef>>(element, attribute);
  if (!elements) return std::nullopt;
  for (const auto& e : *elements)
    if (!e) return std::nullopt;
  return elements;
}

std::optional<Rect> frame(const platform::ElementRef& window) {
  auto position = copy(window, "AXPosition");
  if (!position) return std::nullopt;
  auto size = copy(window, "AXSize");
  if (!size) return std::nullopt;
  // Only boxed geometry counts; a boxed value of the other kind extracts as zeros.
  auto boxed = [](const platform::AttributeValue& v) {
    return std::holds_alternative<Point>(v) || std::holds_alternative<Size>(v);
  };
  if (!boxed(*position) || !boxed(*size)) return std::nullopt;
  Point origin;
  if (auto* p = std::get_if<Point>(&*position)) origin = *p;
  Size extent;
  if (auto* s = std::get_if<Size>(&*size)) extent = *s;
  return Rect(origin, extent);
}

void setPosition(const platform::ElementRef& window, Point point) {
  if (auto boxed = ax().createValue(point)) ax().setAttributeValue(window, "AXPosition", *boxed);
}

void setSize(const platform::ElementRef& window, Size size) {
  if (auto boxed = ax().createValue(size)) ax().setAttributeValue(window, "AXSize", *boxed);
}

void setFrame(const platform::ElementRef& window, const Rect& frame) {
  setSize(window, frame.size());
  setPosition(window, frame.origin());
  setSize(window, frame.size());
}

}  // namespace tessaloom::AX
