// Points, sizes and rectangles in the global top-left space, with the rectangle rules the
// layouts and the window layer rely on. Pure value code: no platform calls.
#pragma once

#include <cmath>
#include <limits>
#include <string>

namespace tessaloom {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

/// A rectangle (x, y, width, height). Operations standardise negative sizes first, as the
/// classic rectangle functions do; a "null" rectangle (infinite origin) stands for "no area".
struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  constexpr Rect() = default;
  constexpr Rect(double x_, double y_, double w, double h) : x(x_), y(y_), width(w), height(h) {}
  Rect(Point origin, Size size)
      : x(origin.x), y(origin.y), width(size.width), height(size.height) {}

  static Rect null() {
    constexpr double inf = std::numeric_limits<double>::infinity();
    return {inf, inf, 0, 0};
  }
  bool isNull() const { return std::isinf(x) || std::isinf(y); }

  Point origin() const { return {x, y}; }
  Size size() const { return {width, height}; }

  /// The same rectangle with non-negative width and height.
  Rect standardized() const;

  double minX() const { return standardized().x; }
  double minY() const { return standardized().y; }
  double maxX() const { return standardized().x + std::fabs(width); }
  double maxY() const { return standardized().y + std::fabs(height); }
  double midX() const { return standardized().x + std::fabs(width) / 2; }
  double midY() const { return standardized().y + std::fabs(height) / 2; }

  /// Shrinks by dx on the left and right and dy on top and bottom; null when nothing is left.
  Rect insetBy(double dx, double dy) const;
  /// The smallest rectangle with whole-number edges that contains this one (origin rounded
  /// down, far edges rounded up).
  Rect integral() const;
  /// The common part of two rectangles, or null when they do not meet.
  Rect intersection(const Rect& other) const;
  /// Minimum edges inclusive, maximum edges exclusive.
  bool contains(Point p) const;

  friend bool operator==(const Rect&, const Rect&) = default;
};

/// The shortest decimal that reads back as the same double, always with a fractional part
/// ("800.0", "314.6666666666667").
std::string formatNumber(double value);
/// "(x, y, width, height)" with each number as formatNumber gives it.
std::string describe(const Rect& r);

}  // namespace tessaloom
