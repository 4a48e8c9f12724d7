// The values of GetProperty replies as bytes or 32-bit items. Sends nothing.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace tessaloom::platform::x11 {

/// Longs to ask for when reading a window list: lists of any realistic size.
inline constexpr std::uint32_t kListLength = 16384;

/// The bytes of a format-8 reply; empty for no reply or another format.
inline std::string_view bytesOf(const xcb_get_property_reply_t* reply) {
  if (!reply || reply->format != 8) return {};
  return {static_cast<const char*>(xcb_get_property_value(reply)),
          static_cast<std::size_t>(xcb_get_property_value_length(reply))};
}

/// The items of a format-32 reply (cardinals, atoms, windows); empty for no reply or another
/// format.
inline std::span<const std::uint32_t> longsOf(const xcb_get_property_reply_t* reply) {
  if (!reply || reply->format != 32) return {};
  return {static_cast<const std::uint32_t*>(xcb_get_property_value(reply)),
          static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4};
}

}  // namespace tessaloom::platform::x11
