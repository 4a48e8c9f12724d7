#include "platform/i3ipc/i3_messages.h"

namespace tessaloom::platform::i3ipc {
namespace {

constexpr std::string_view kMagic = "i3-ipc";

void putLittleEndian(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint32_t getLittleEndian(std::string_view bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  return value;
}

}  // namespace

std::string encodeMessage(std::uint32_t type, std::string_view payload) {
  std::string frame(kMagic);
  putLittleEndian(frame, static_cast<std::uint32_t>(payload.size()));
  putLittleEndian(frame, type);
  frame.append(payload);
  return frame;
}

std::optional<Header> decodeHeader(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  Header header{getLittleEndian(bytes.substr(6, 4)), getLittleEndian(bytes.substr(10, 4))};
  if (header.length > kMaxPayload) return std::nullopt;
  return header;
}

}  // namespace tessaloom::platform::i3ipc
