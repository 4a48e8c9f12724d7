#include "layout/geometry.h"

#include <algorithm>
#include <charconv>

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
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, end);
  // Whole numbers need a fractional part; so do exponent forms without a point.
  if (s.find_first_of(".e") == std::string::npos) {
    s += ".0";
  } else if (auto e = s.find('e'); e != std::string::npos && s.find('.') == std::string::npos) {
    s.insert(e, ".0");
  }
  return s;
}

std::string describe(const Rect& r) {
  return "(" + formatNumber(r.x) + ", " + formatNumber(r.y) + ", " + formatNumber(r.width) + ", " +
         formatNumber(r.height) + ")";
}

}  // namespace tessaloom
