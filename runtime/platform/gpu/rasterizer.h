// Turns pre-transformed primitives into pixels. Pixel centres lie on integer coordinates; a
// triangle covers the pixels whose centre is inside it, and a centre on an edge belongs to the
// triangle only when the edge is a top or a left edge, so triangles sharing an edge cover each
// pixel once. Attributes are interpolated linearly in screen space, or with perspective when the
// vertices of a triangle carry differing rhw (the runtime's all carry 1). Two triangles of a list that form an axis-aligned rectangle are drawn
// row by row; a rectangle whose texture maps 1:1 onto the pixels is drawn as texel spans.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gpu/pipeline.h"

namespace qr::platform::gpu {

struct RasterVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu, specular = 0;
  float u[2] = {0, 0}, v[2] = {0, 0};
};

// Bytes one vertex of this layout takes; 0 when the layout is not a pre-transformed one.
size_t VertexSize(uint32_t format);

RasterVertex FetchVertex(const uint8_t* vertices, int stride, uint32_t format, int index);

// Vertices a draw of count primitives reads; 0 when count is not positive.
int64_t VerticesNeeded(PrimitiveType type, int count);

void DrawPrimitives(Pipeline& p, PrimitiveType type, int count, const uint8_t* vertices,
                    int stride, uint32_t format);

}  // namespace qr::platform::gpu
