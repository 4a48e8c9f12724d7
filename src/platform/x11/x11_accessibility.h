// The accessibility seam over X11: application and window elements, their attributes read from
// the discovery cache, and frame writes sent to the window manager. X has no permission
// system, so the process is always trusted.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/accessibility.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_elements.h"
#include "platform/x11/x11_window_cache.h"

namespace tessaloom::platform::x11 {

class X11Accessibility final : public Accessibility {
 public:
  /// How long a write waits for the manager to take a window out of the maximized state.
  static constexpr Clock::duration kUnmaximizeWait = std::chrono::milliseconds(500);

  X11Accessibility(Connection& connection, WindowCache& cache);

  /// An element for the application with this pid (as the workspace reports it).
  ElementRef createApplication(std::int32_t pid) override;
  /// Bounds how long any batch of replies may take from now on (the whole server answers
  /// every application, so the bound applies to all of them).
  void setMessagingTimeout(const ElementRef& application, float seconds) override;
  /// Applications: "AXWindows", "AXRole", "AXTitle". Windows: "AXRole", "AXSubrole",
  /// "AXMinimized", "AXFullScreen", "AXTitle", "AXPosition", "AXSize". Anything else is
  /// attributeUnsupported; a window that is gone is invalidUIElement; a lost or stuck server
  /// is cannotComplete.
  AXError copyAttributeValue(const ElementRef& element, std::string_view attribute,
                             AttributeValue& value) override;
  /// "AXPosition" (a Point) and "AXSize" (a Size) of a window; the other part of the frame
  /// stays as last requested or read. Values X cannot carry are illegalArgument and not sent.
  AXError setAttributeValue(const ElementRef& element, std::string_view attribute,
                            const AttributeValue& value) override;
  bool isProcessTrusted(bool) override { return true; }

  /// The element of a window: the same handle for the same window while any copy of it lives.
  ElementRef windowElement(xcb_window_t id);

 private:
  AXError readApplication(const ApplicationElement& app, std::string_view attribute,
                          AttributeValue& value);
  AXError readWindow(const WindowElement& window, std::string_view attribute,
                     AttributeValue& value);
  AXError writeFrame(xcb_window_t id, std::optional<Point> position, std::optional<Size> size);
  AXError unreachable() const;

  Connection& connection_;
  WindowCache& cache_;
  std::unordered_map<xcb_window_t, std::weak_ptr<WindowElement>> elements_;
};

}  // namespace tessaloom::platform::x11
