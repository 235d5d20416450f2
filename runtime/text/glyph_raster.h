// Writing one glyph into its cache cell: the body plane from the host's bitmap, the edge plane
// stamped around every covered pixel, and both encoded as the cache stores them.
#pragma once

#include <cstdint>

#include "image/base_image.h"
#include "platform/font_engine.h"

namespace qr::text {

struct CellPlacement {
  int type;       // bit 0 edged, bit 1 anti-aliased
  int edgeSize;
  int cellWidth;  // cells are cellWidth x cellWidth
};

// Whether (dx, dy) from a covered pixel lies in the edge stamp of radius e: the pixel and its
// four neighbours for 1, discs for 2 to 4, the full square beyond.
bool InEdgeStamp(int dx, int dy, int e);

// Into a 16-bit texture cache image: the body cell at (cellX, cellY) and, for edged fonts, the
// edge cell at (cellX + edgeOffset, cellY). The cells must already be cleared.
void WriteTextureCell(const platform::GlyphBitmap& glyph, const CellPlacement& place, image::BaseImage& cache,
                      int cellX, int cellY, int edgeOffset);

// Into a software cache cell: cellWidth rows of `pitch` bytes from `rows`, 1 bit per pixel for
// type 0 and a byte per pixel otherwise. The rows must already be cleared.
void WriteSoftwareCell(const platform::GlyphBitmap& glyph, const CellPlacement& place, uint8_t* rows, int pitch);

}  // namespace qr::text
