// Drawing graphics for the runtime's own callers (string drawing draws glyphs this way).
#pragma once

#include <cstdint>

#include "graphics/graphic_handles.h"

namespace qr::graphics {

// The rectangle (srcX, srcY, width, height) of the graphic at (destX, destY), as DrawGraphicRect
// draws it, without the call's own checks.
int DrawGraphicPart(GraphicRecord* g, int destX, int destY, int srcX, int srcY, int width, int height,
                    bool transparent, bool turned = false);

// Subtractive blending on a device without the reverse-subtract operation, for the draws made
// while this lives: the destination rectangle (cut to the clip area) is inverted, the draws add,
// and the rectangle is inverted again at the end. Blend mode 3 must be in force.
class SubtractEmulation {
 public:
  SubtractEmulation(int left, int top, int right, int bottom);
  ~SubtractEmulation();
  SubtractEmulation(const SubtractEmulation&) = delete;
  SubtractEmulation& operator=(const SubtractEmulation&) = delete;
  bool Empty() const { return left_ >= right_ || top_ >= bottom_; }

 private:
  void Invert();
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  int param_ = 0;
  uint32_t brightness_ = 0;
};

}  // namespace qr::graphics
