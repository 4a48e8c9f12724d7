// The screens seam: screen rectangles and the pointer, in the platform's bottom-left
// convention (origin at the bottom left of the primary screen, y growing upwards).
#pragma once

#include <string>
#include <vector>

#include "layout/geometry.h"

namespace tessaloom::platform {

struct Screen {
  Rect frame;
  Rect visibleFrame;
  std::string localizedName;
};

class Screens {
 public:
  virtual ~Screens() = default;
  /// The screens, primary first; empty when there is none.
  virtual std::vector<Screen> screens() = 0;
  virtual Point mouseLocation() = 0;
};

}  // namespace tessaloom::platform
