// Where a picture goes when it is shown scaled inside an area: as large as fits with its aspect
// ratio kept, centred, the rest left for black bars. The window shows frames by this rule and
// the runtime maps the cursor back by it, so both must use this one function.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace qr::platform {

// The rectangle, relative to the area's top-left, for a width x height picture in an
// areaWidth x areaHeight area. An empty picture or area gives the whole area.
inline Rect FitInside(int width, int height, int areaWidth, int areaHeight) {
  if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0)
    return Rect{0, 0, areaWidth > 0 ? areaWidth : 0, areaHeight > 0 ? areaHeight : 0};
  int w = areaWidth, h = areaHeight;
  // Compare the aspect ratios exactly, in 64 bits.
  if (int64_t(areaWidth) * height <= int64_t(areaHeight) * width)
    h = int(int64_t(areaWidth) * height / width);  // as wide as the area, bars above and below
  else
    w = int(int64_t(areaHeight) * width / height);  // as high as the area, bars at the sides
  int x = (areaWidth - w) / 2, y = (areaHeight - h) / 2;
  return Rect{x, y, x + w, y + h};
}

}  // namespace qr::platform
