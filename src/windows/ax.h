// Typed reads and frame writes on accessibility elements, over the accessibility seam. Reads
// that fail are absent values; writes report nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.h"
#include "platform/element.h"

namespace tessaloom::AX {

std::optional<std::string> stringValue(const platform::ElementRef& element,
                                       std::string_view attribute);
std::optional<bool> boolValue(const platform::ElementRef& element, std::string_view attribute);
/// An array whose members are all elements; nothing when any member is something else.
std::optional<std::vector<platform::ElementRef>> elementsValue(const platform::ElementRef& element,
                                                               std::string_view attribute);
/// Position then size; nothing unless both read as boxed geometry.
std::optional<Rect> frame(const platform::ElementRef& window);
void setPosition(const platform::ElementRef& window, Point point);
void setSize(const platform::ElementRef& window, Size size);
/// Exactly three writes: size, position, size (each skipped alone when it cannot be boxed).
void setFrame(const platform::ElementRef& window, const Rect& frame);

}  // namespace tessaloom::AX
