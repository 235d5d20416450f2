#include "text/glyph_raster.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "text/font_record.h"

namespace qr::text {
namespace {

// A cell's worth of levels, 0..16 per pixel.
struct Plane {
  int size = 0;
  std::vector<uint8_t> level;
  explicit Plane(int cellWidth) : size(cellWidth), level(size_t(cellWidth) * size_t(cellWidth), 0) {}
  uint8_t& at(int x, int y) { return level[size_t(y) * size_t(size) + size_t(x)]; }
  uint8_t at(int x, int y) const { return level[size_t(y) * size_t(size) + size_t(x)]; }
};

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// The glyph's levels at (offset, offset), cut to the cell. A glyph larger than the cell (a
// slanted or emboldened one of a face with unusual metrics) loses what does not fit rather than
// spilling into the next cell.
Box PlaceBody(const platform::GlyphBitmap& glyph, int offset, Plane& body, bool mono) {
  Box box{offset, offset, std::min(body.size, offset + glyph.blackBoxWidth),
          std::min(body.size, offset + glyph.blackBoxHeight)};
  for (int y = box.top; y < box.bottom; ++y) {
    const uint8_t* row = glyph.bits.data() + size_t(y - offset) * size_t(glyph.pitch);
    for (int x = box.left; x < box.right; ++x) {
      int gx = x - offset;
      body.at(x, y) = mono ? ((row[gx >> 3] >> (7 - (gx & 7))) & 1 ? 16 : 0) : std::min<uint8_t>(row[gx], 16);
    }
  }
  return box;
}

enum class EdgeRule {
  Cover,    // 16 wherever any stamp reaches
  Combine,  // coverage of the stamps combined: E = (256 - (16 - E)(16 - L)) >> 4
  Largest,  // the largest L - 1 of the stamps
};

// One pass of a sliding maximum of width 2e + 1 over n values spaced `stride` apart.
void SlidingMaximum(uint8_t* values, int n, size_t stride, int e, std::vector<uint8_t>& scratch) {
  scratch.resize(size_t(n));
  std::deque<int> window;  // indices whose values decrease from front to back
  int next = 0;
  for (int i = 0; i < n; ++i) {
    for (; next < n && next <= i + e; ++next) {
      while (!window.empty() && values[size_t(window.back()) * stride] <= values[size_t(next) * stride])
        window.pop_back();
      window.push_back(next);
    }
    while (window.front() < i - e) window.pop_front();
    scratch[size_t(i)] = values[size_t(window.front()) * stride];
  }
  for (int i = 0; i < n; ++i) values[size_t(i) * stride] = scratch[size_t(i)];
}

Plane StampEdges(const Plane& body, const Box& box, int e, EdgeRule rule) {
  Plane edge(body.size);
  auto stampValue = [rule](int level) { return rule == EdgeRule::Largest ? level - 1 : level; };
  long long covered = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) covered += body.at(x, y) != 0;
  long long area = (2LL * e + 1) * (2LL * e + 1);

  if (e > 4 && covered * area > (1LL << 24)) {
    // A wide square stamp over a large glyph: its maximum is separable, two sliding passes
    // instead of one stamp per pixel. Cover and Largest come out the same; Combine is taken as
    // the largest level, which the combination reaches wherever stamps overlap fully.
    for (int y = 0; y < body.size; ++y)
      for (int x = 0; x < body.size; ++x) {
        int l = body.at(x, y);
        edge.at(x, y) = uint8_t(l ? (rule == EdgeRule::Cover ? 16 : stampValue(l)) : 0);
      }
    std::vector<uint8_t> scratch;
    for (int y = 0; y < body.size; ++y) SlidingMaximum(&edge.at(0, y), body.size, 1, e, scratch);
    for (int x = 0; x < body.size; ++x) SlidingMaximum(&edge.at(x, 0), body.size, size_t(body.size), e, scratch);
    return edge;
  }

  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      int l = body.at(x, y);
      if (!l) continue;
      int y0 = std::max(0, y - e), y1 = std::min(body.size - 1, y + e);
      int x0 = std::max(0, x - e), x1 = std::min(body.size - 1, x + e);
      for (int sy = y0; sy <= y1; ++sy) {
        for (int sx = x0; sx <= x1; ++sx) {
          if (!InEdgeStamp(sx - x, sy - y, e)) continue;
          uint8_t& v = edge.at(sx, sy);
          switch (rule) {
            case EdgeRule::Cover: v = 16; break;
            case EdgeRule::Combine: v = uint8_t((256 - (16 - v) * (16 - l)) >> 4); break;
            case EdgeRule::Largest: v = uint8_t(std::max<int>(v, l - 1)); break;
          }
        }
      }
    }
  }
  return edge;
}

Box EdgeBox(const Box& body, int e, int size) {
  return Box{std::max(0, body.left - e), std::max(0, body.top - e), std::min(size, body.right + e),
             std::min(size, body.bottom + e)};
}

}  // namespace

bool InEdgeStamp(int dx, int dy, int e) {
  int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
  if (ax > e || ay > e) return false;
  switch (e) {
    case 0: return true;
    case 1: return ax + ay <= 1;
    case 2: return !(ax == 2 && ay == 2);
    case 3: return ay == 3 ? ax == 0 : ay == 0 ? true : ax <= 2;
    case 4: return ay == 4 ? ax <= 2 : ay == 3 ? ax <= 3 : true;
    default: return true;
  }
}

void WriteTextureCell(const platform::GlyphBitmap& glyph, const CellPlacement& place, image::BaseImage& cache,
                      int cellX, int cellY, int edgeOffset) {
  const bool edged = place.type & kTypeEdged, antialiased = place.type & kTypeAntialiased;
  const int e = edged ? place.edgeSize : 0;
  Plane body(place.cellWidth);
  Box box = PlaceBody(glyph, e, body, !antialiased);

  const image::ColorFormat& f = cache.format;
  const uint32_t white = f.redMask | f.greenMask | f.blueMask;
  const int shift = f.alphaShift + f.alphaWidth - 4;
  // Levels become white texels whose alpha carries the coverage.
  auto texel = [&](int level) -> uint32_t {
    if (!antialiased) return level ? white | f.alphaMask : white;
    if (level == 0) return white;
    return shift >= 0 ? (uint32_t(level) << shift) - 1 : white | f.alphaMask;
  };
  const int bytes = f.pixelBytes;
  auto store = [&](int x, int y, uint32_t word) {
    if (x < 0 || y < 0 || x >= cache.width || y >= cache.height) return;
    image::StorePixelWord(cache.pixels + size_t(y) * size_t(cache.pitch) + size_t(x) * size_t(bytes), bytes, word);
  };

  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      int level = body.at(x, y);
      // The edged plain type keeps only the covered pixels of its body.
      if (!antialiased && edged && !level) continue;
      store(cellX + x, cellY + y, texel(level));
    }
  if (!edged) return;
  Plane edge = StampEdges(body, box, e, antialiased ? EdgeRule::Combine : EdgeRule::Cover);
  Box around = EdgeBox(box, e, place.cellWidth);
  for (int y = around.top; y < around.bottom; ++y)
    for (int x = around.left; x < around.right; ++x) {
      int level = edge.at(x, y);
      if (!antialiased && !level) continue;
      store(cellX + edgeOffset + x, cellY + y, texel(level));
    }
}

void WriteSoftwareCell(const platform::GlyphBitmap& glyph, const CellPlacement& place, uint8_t* rows, int pitch) {
  const bool edged = place.type & kTypeEdged, antialiased = place.type & kTypeAntialiased;
  const int e = edged ? place.edgeSize : 0;
  Plane body(place.cellWidth);
  Box box = PlaceBody(glyph, e, body, !antialiased);
  auto row = [&](int y) { return rows + size_t(y) * size_t(pitch); };

  switch (place.type) {
    case 0:
      for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
          if (body.at(x, y)) row(y)[x >> 3] = uint8_t(row(y)[x >> 3] | (0x80 >> (x & 7)));
      return;
    case 2:
      for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
          if (int l = body.at(x, y)) row(y)[x] = uint8_t(l - 1);
      return;
    default: break;
  }
  Plane edge = StampEdges(body, box, e, place.type == 1 ? EdgeRule::Cover : EdgeRule::Largest);
  Box around = EdgeBox(box, e, place.cellWidth);
  for (int y = around.top; y < around.bottom; ++y)
    for (int x = around.left; x < around.right; ++x) {
      int l = body.at(x, y), stamped = edge.at(x, y);
      if (place.type == 1) {
        if (l) row(y)[x] = 1;
        else if (stamped) row(y)[x] = 2;
      } else {
        int low = l ? l - 1 : 0;
        int high = stamped;  // already L - 1 of the largest stamp
        if (l || stamped) row(y)[x] = uint8_t(low | high << 4);
      }
    }
}

}  // namespace qr::text
