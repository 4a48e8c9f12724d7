#include "platform/x11/x11_text.h"

#include <glib.h>

namespace tessaloom::platform::x11 {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// What a graphic set of compound text holds.
enum class Kind { ascii, latin, katakana, doubleByte, unknown };

struct Charset {
  Kind kind = Kind::ascii;
  const char* iconv = nullptr;  // the encoding its bytes convert from (high bit set)
};

Charset ninetySixSet(char final) {
  switch (final) {
    case 'A':
      return {Kind::latin, "ISO-8859-1"};
    case 'B':
      return {Kind::latin, "ISO-8859-2"};
    case 'C':
      return {Kind::latin, "ISO-8859-3"};
    case 'D':
      return {Kind::latin, "ISO-8859-4"};
    case 'F':
      return {Kind::latin, "ISO-8859-7"};
    case 'G':
      return {Kind::latin, "ISO-8859-6"};
    case 'H':
      return {Kind::latin, "ISO-8859-8"};
    case 'L':
      return {Kind::latin, "ISO-8859-5"};
    case 'M':
      return {Kind::latin, "ISO-8859-9"};
    case 'V':
      return {Kind::latin, "ISO-8859-10"};
    case 'Y':
      return {Kind::latin, "ISO-8859-13"};
    case '_':
      return {Kind::latin, "ISO-8859-14"};
    case 'b':
      return {Kind::latin, "ISO-8859-15"};
    case 'f':
      return {Kind::latin, "ISO-8859-16"};
    default:
      return {Kind::unknown};
  }
}

Charset doubleByteSet(char final) {
  switch (final) {
    case 'A':
      return {Kind::doubleByte, "EUC-CN"};  // GB 2312
    case 'B':
      return {Kind::doubleByte, "EUC-JP"};  // JIS X 0208
    case 'C':
      return {Kind::doubleByte, "EUC-KR"};  // KS C 5601
    default:
      return {Kind::doubleByte, nullptr};
  }
}

Charset ninetyFourSet(char final) {
  if (final == 'B' || final == 'J') return {Kind::ascii};
  if (final == 'I') return {Kind::katakana};
  return {Kind::unknown};
}

void appendCodePoint(std::string& out, gunichar c) {
  char buffer[6];
  out.append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(c, buffer)));
}

// Converts one run of bytes of a single charset (high bits already set) to UTF-8.
void appendRun(std::string& out, const std::string& run, const Charset& set) {
  if (run.empty()) return;
  switch (set.kind) {
    case Kind::ascii:
      out += run;
      return;
    case Kind::katakana:
      for (unsigned char b : run) {
        const unsigned low = b & 0x7Fu;
        if (low >= 0x21 && low <= 0x5F)
          appendCodePoint(out, 0xFF61 + (low - 0x21));
        else
          out += kReplacement;
      }
      return;
    case Kind::unknown:
      for (std::size_t i = 0; i < run.size(); ++i) out += kReplacement;
      return;
    case Kind::latin:
    case Kind::doubleByte:
      break;
  }
  const std::size_t width = set.kind == Kind::doubleByte ? 2 : 1;
  auto convert = [&](std::string_view bytes) -> bool {
    if (!set.iconv) return false;
    gsize written = 0;
    gchar* text = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", set.iconv,
                            nullptr, &written, nullptr);
    if (!text) return false;
    out.append(text, written);
    g_free(text);
    return true;
  };
  if (convert(run)) return;
  // Some character has no mapping: convert one at a time so the rest survives.
  for (std::size_t i = 0; i < run.size(); i += width) {
    const std::string_view one = std::string_view(run).substr(i, width);
    if (one.size() < width || !convert(one)) out += kReplacement;
  }
}

}  // namespace

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::string validUtf8(std::string_view bytes) {
  if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
    return std::string(bytes);
  gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

std::string compoundTextToUtf8(std::string_view in) {
  Charset gl{Kind::ascii};
  Charset gr = ninetySixSet('A');
  std::string out;
  std::string run;  // bytes of one charset, high bit set for the non-ASCII sets
  bool runHigh = false;
  auto flush = [&] {
    appendRun(out, run, runHigh ? gr : gl);
    run.clear();
  };

  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b == 0x1B) {  // ESC intermediates... final
      flush();
      std::size_t j = i + 1;
      std::string intermediates;
      while (j < in.size() && in[j] >= 0x20 && in[j] <= 0x2F) intermediates += in[j++];
      if (j >= in.size()) break;
      const char final = in[j];
      i = j + 1;
      if (intermediates == "(") {
        gl = ninetyFourSet(final);
      } else if (intermediates == ")") {
        gr = ninetyFourSet(final);
      } else if (intermediates == "-") {
        gr = ninetySixSet(final);
      } else if (intermediates == "$(" || intermediates == "$") {
        gl = doubleByteSet(final);
      } else if (intermediates == "$)") {
        gr = doubleByteSet(final);
      } else if (intermediates == "%" && final == 'G') {
        // A UTF-8 segment, up to ESC % @ or the end.
        const std::size_t end = in.find("\x1B%@", i);
        out += validUtf8(
            in.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
        i = end == std::string_view::npos ? in.size() : end + 3;
      } else if (intermediates == "%/" && i + 1 < in.size()) {
        // An extended segment in an encoding we do not know: skip it by its length.
        const std::size_t length = (static_cast<unsigned char>(in[i]) & 0x7Fu) * 128u +
                                   (static_cast<unsigned char>(in[i + 1]) & 0x7Fu);
        out += kReplacement;
        i = std::min(in.size(), i + 2 + length);
      }
      continue;
    }
    if (b == 0x9B) {  // CSI: direction changes carry no text
      flush();
      ++i;
      while (i < in.size() && !(in[i] >= 0x40 && in[i] <= 0x7E)) ++i;
      ++i;
      continue;
    }
    if (b == '\t' || b == '\n') {
      flush();
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) {  // other controls are dropped
      ++i;
      continue;
    }
    const bool high = b >= 0x80;
    if (!run.empty() && high != runHigh) flush();
    runHigh = high;
    const Charset& set = high ? gr : gl;
    run += static_cast<char>(set.kind == Kind::ascii ? (b & 0x7F) : (b | 0x80));
    ++i;
  }
  flush();
  return out;
}

std::string decodeText(std::string_view bytes, TextEncoding encoding) {
  const auto nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  switch (encoding) {
    case TextEncoding::latin1:
      return latin1ToUtf8(bytes);
    case TextEncoding::utf8:
      return validUtf8(bytes);
    case TextEncoding::compoundText:
      return compoundTextToUtf8(bytes);
  }
  return {};
}

}  // namespace tessaloom::platform::x11
