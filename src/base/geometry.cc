#include "base/geometry.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <system_error>

namespace tessaloom {

Rect Rect::standardized() const {
  Rect r = *this;
  if (r.width < 0) {
    r.x += r.width;
    r.width = -r.width;
  }
  if (r.height < 0) {
    r.y += r.height;
    r.height = -r.height;
  }
  return r;
}

Rect Rect::insetBy(double dx, double dy) const {
  if (isNull()) return null();
  Rect r = standardized();
  r.x += dx;
  r.y += dy;
  r.width -= 2 * dx;
  r.height -= 2 * dy;
  // NaN widths fail both comparisons and so pass through, as the formulas give them.
  if (r.width < 0 || r.height < 0) return null();
  return r;
}

Rect Rect::integral() const {
  if (isNull()) return null();
  Rect r = standardized();
  const double x0 = std::floor(r.x);
  const double y0 = std::floor(r.y);
  const double x1 = std::ceil(r.x + r.width);
  const double y1 = std::ceil(r.y + r.height);
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& other) const {
  if (isNull() || other.isNull()) return null();
  const Rect a = standardized();
  const Rect b = other.standardized();
  const double x0 = std::max(a.x, b.x);
  const double y0 = std::max(a.y, b.y);
  const double x1 = std::min(a.x + a.width, b.x + b.width);
  const double y1 = std::min(a.y + a.height, b.y + b.height);
  if (!(x0 <= x1) || !(y0 <= y1)) return null();
  return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::contains(Point p) const {
  if (isNull()) return false;
  const Rect r = standardized();
  return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

std::string formatNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  // Plain decimals for every magnitude a screen coordinate can have; the shortest form alone
  // would pick an exponent whenever it is shorter (100000 as "1e+05"). Exponents are kept for
  // magnitudes beyond exact whole numbers and for tiny fractions.
  const double magnitude = std::fabs(value);
  const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 0x1p53);
  char buf[64];  // ample for either form within these magnitudes
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value,
                                 plain ? std::chars_format::fixed : std::chars_format::scientific);
  if (ec != std::errc()) return "nan";  // cannot happen: the buffer holds either form
  // Whole numbers need a fractional part; so do exponent forms without a point.
  const std::string_view text(buf, static_cast<std::size_t>(end - buf));
  if (text.find('.') != std::string_view::npos) return std::string(text);
  const std::size_t split = std::min(text.find('e'), text.size());
  std::string s(text.substr(0, split));
  s += ".0";
  s += text.substr(split);
  return s;
}

std::string describe(const Rect& r) {
  // Appended piece by piece: gcc 12 at -O3 reports a false overlap for "(" + std::string.
  std::string s = "(";
  s += formatNumber(r.x);
  s += ", ";
  s += formatNumber(r.y);
  s += ", ";
  s += formatNumber(r.width);
  s += ", ";
  s += formatNumber(r.height);
  s += ")";
  return s;
}

}  // namespace tessaloom
