#include "platform/x11/x11_accessibility.h"

#include <signal.h>

#include <cerrno>

#include "platform/x11/x11_window_moves.h"

namespace tessaloom::platform::x11 {

X11Accessibility::X11Accessibility(Connection& connection, WindowCache& cache)
    : connection_(connection), cache_(cache) {}

ElementRef X11Accessibility::createApplication(std::int32_t pid) {
  return std::make_shared<ApplicationElement>(pid);
}

void X11Accessibility::setMessagingTimeout(const ElementRef&, float seconds) {
  connection_.setReplyTimeout(seconds);
}

ElementRef X11Accessibility::windowElement(xcb_window_t id) {
  if (auto it = elements_.find(id); it != elements_.end())
    if (auto existing = it->second.lock()) return existing;
  if (elements_.size() > 256)
    std::erase_if(elements_, [](const auto& entry) { return entry.second.expired(); });
  auto element = std::make_shared<WindowElement>(id);
  elements_[id] = element;
  return element;
}

AXError X11Accessibility::unreachable() const {
  return connection_.alive() ? AXError::invalidUIElement : AXError::cannotComplete;
}

AXError X11Accessibility::copyAttributeValue(const ElementRef& element, std::string_view attribute,
                                             AttributeValue& value) {
  if (auto* window = dynamic_cast<const WindowElement*>(element.get()))
    return readWindow(*window, attribute, value);
  if (auto* app = dynamic_cast<const ApplicationElement*>(element.get()))
    return readApplication(*app, attribute, value);
  return AXError::illegalArgument;
}

AXError X11Accessibility::readApplication(const ApplicationElement& element,
                                          std::string_view attribute, AttributeValue& value) {
  if (attribute != "AXWindows" && attribute != "AXRole" && attribute != "AXTitle")
    return AXError::attributeUnsupported;
  if (!cache_.ok()) return AXError::cannotComplete;
  const Application* app = cache_.application(element.pid());
  if (!app) {
    // A running process without windows has an empty list; anything else is no application.
    const bool running = element.pid() > 0 && (::kill(element.pid(), 0) == 0 || errno == EPERM);
    if (!running) return AXError::invalidUIElement;
    if (attribute == "AXWindows") value = std::vector<ElementRef>{};
    if (attribute == "AXRole") value = std::string("AXApplication");
    return attribute == "AXTitle" ? AXError::noValue : AXError::success;
  }
  if (attribute == "AXRole") {
    value = std::string("AXApplication");
  } else if (attribute == "AXTitle") {
    if (!app->name) return AXError::noValue;
    value = *app->name;
  } else {
    std::vector<ElementRef> windows;
    windows.reserve(app->windows.size());
    for (const xcb_window_t id : app->windows) windows.push_back(windowElement(id));
    value = std::move(windows);
  }
  return AXError::success;
}

AXError X11Accessibility::readWindow(const WindowElement& element, std::string_view attribute,
                                     AttributeValue& value) {
  const bool geometry = attribute == "AXPosition" || attribute == "AXSize";
  if (!geometry && attribute != "AXRole" && attribute != "AXSubrole" &&
      attribute != "AXMinimized" && attribute != "AXFullScreen" && attribute != "AXTitle")
    return AXError::attributeUnsupported;
  if (!cache_.ok()) return AXError::cannotComplete;
  const WindowFacts* facts = cache_.window(element.id());
  if (!facts) return unreachable();

  if (attribute == "AXRole") {
    value = std::string("AXWindow");
  } else if (attribute == "AXSubrole") {
    value = std::string(subroleFor(*facts));
  } else if (attribute == "AXMinimized") {
    value = facts->hidden;
  } else if (attribute == "AXFullScreen") {
    value = facts->fullscreen;
  } else if (attribute == "AXTitle") {
    if (!facts->title) return AXError::noValue;
    value = *facts->title;
  } else {
    // The caller now knows the real frame; later writes build on it, not on old requests.
    const Rect frame = facts->frame;
    const Point origin = cache_.origin();
    cache_.forgetRequestedFrame(element.id());
    if (attribute == "AXPosition")
      value = Point{frame.x - origin.x, frame.y - origin.y};
    else
      value = Size{frame.width, frame.height};
  }
  return AXError::success;
}

AXError X11Accessibility::setAttributeValue(const ElementRef& element, std::string_view attribute,
                                            const AttributeValue& value) {
  auto* window = dynamic_cast<const WindowElement*>(element.get());
  if (!window) {
    return dynamic_cast<const ApplicationElement*>(element.get()) ? AXError::attributeUnsupported
                                                                  : AXError::illegalArgument;
  }
  if (attribute == "AXPosition") {
    const Point* point = std::get_if<Point>(&value);
    if (!point) return AXError::illegalArgument;
    return writeFrame(window->id(), *point, std::nullopt);
  }
  if (attribute == "AXSize") {
    const Size* size = std::get_if<Size>(&value);
    if (!size) return AXError::illegalArgument;
    return writeFrame(window->id(), std::nullopt, *size);
  }
  return AXError::attributeUnsupported;
}

AXError X11Accessibility::writeFrame(xcb_window_t id, std::optional<Point> position,
                                     std::optional<Size> size) {
  if (!connection_.alive()) return AXError::cannotComplete;
  // Within a batch the window's own last request is the base; the manager may not have
  // carried it out yet, and the extents do not change with a move.
  std::optional<Rect> requested = cache_.requestedFrame(id);
  const WindowFacts* known = requested ? cache_.lastKnown(id) : cache_.window(id);
  if (!known) return unreachable();
  WindowFacts facts = *known;
  const Point origin = cache_.origin();

  auto target = [&](const Rect& base) {
    Rect frame = base;
    if (position) {
      frame.x = position->x + origin.x;
      frame.y = position->y + origin.y;
    }
    if (size) {
      frame.width = size->width;
      frame.height = size->height;
    }
    return frame;
  };
  if (!frameRequest(target(requested.value_or(facts.frame)), facts.extents))
    return AXError::illegalArgument;

  if (!requested && (facts.maximized || facts.fullscreen)) {
    // Managers drop moves of maximized windows; the extents change with the state too.
    leaveMaximized(connection_, id, facts.fullscreen, Clock::now() + kUnmaximizeWait);
    cache_.markStale(id);
    known = cache_.window(id);
    if (!known) return unreachable();
    facts = *known;
  }
  const Rect frame = target(requested.value_or(facts.frame));
  const auto request = frameRequest(frame, facts.extents);
  if (!request) return AXError::illegalArgument;
  requestFrame(connection_, id, *request);
  cache_.setRequestedFrame(id, frame);
  cache_.markStale(id);
  return connection_.alive() ? AXError::success : AXError::cannotComplete;
}

}  // namespace tessaloom::platform::x11
