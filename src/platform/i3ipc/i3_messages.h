// The i3 IPC message frame that sway and i3 both speak: the "i3-ipc" magic, the payload's
// length and the message type as little-endian 32-bit numbers, then a JSON payload. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaloom::platform::i3ipc {

enum MessageType : std::uint32_t {
  kRunCommand = 0,
  kGetWorkspaces = 1,
  kSubscribe = 2,
  kGetOutputs = 3,
  kGetTree = 4,
  kGetVersion = 7,
  kGetConfig = 9,
};

/// Events carry this bit in their type; the rest names the event.
inline constexpr std::uint32_t kEventBit = 0x80000000u;
inline constexpr std::uint32_t kBindingEvent = kEventBit | 5;

inline constexpr std::size_t kHeaderSize = 14;
/// No desktop sends more: a window takes one or two KiB of the tree, so this holds thousands,
/// and parsing it stays within about a hundred MiB.
inline constexpr std::uint32_t kMaxPayload = 8u << 20;

struct Header {
  std::uint32_t length = 0;
  std::uint32_t type = 0;
  friend bool operator==(const Header&, const Header&) = default;
};

/// The frame of one message.
std::string encodeMessage(std::uint32_t type, std::string_view payload);
/// The header at the start of `bytes`; nothing when there are fewer than kHeaderSize bytes,
/// the magic is wrong or the length is beyond kMaxPayload.
std::optional<Header> decodeHeader(std::string_view bytes);

}  // namespace tessaloom::platform::i3ipc
