#include "platform/gpu/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gpu/formats.h"

namespace qr::platform::gpu {

size_t VertexSize(uint32_t format) {
  using namespace vertex_format;
  if (!(format & kPositionRhw)) return 0;
  size_t size = 16;
  if (format & kDiffuse) size += 4;
  if (format & kSpecular) size += 4;
  if (format & kTexture2) size += 16;
  else if (format & kTexture1) size += 8;
  return size;
}

RasterVertex FetchVertex(const uint8_t* vertices, int stride, uint32_t format, int index) {
  using namespace vertex_format;
  RasterVertex v;
  const uint8_t* at = vertices + size_t(index) * size_t(stride);
  float position[4];
  std::memcpy(position, at, 16);
  v.x = position[0];
  v.y = position[1];
  v.z = position[2];
  v.rhw = position[3];
  at += 16;
  if (format & kDiffuse) {
    std::memcpy(&v.diffuse, at, 4);
    at += 4;
  }
  if (format & kSpecular) {
    std::memcpy(&v.specular, at, 4);
    at += 4;
  }
  int sets = (format & kTexture2) ? 2 : (format & kTexture1) ? 1 : 0;
  for (int s = 0; s < sets; ++s) {
    std::memcpy(&v.u[s], at, 4);
    std::memcpy(&v.v[s], at + 4, 4);
    at += 8;
  }
  return v;
}

int64_t VerticesNeeded(PrimitiveType type, int count) {
  if (count <= 0) return 0;
  const int64_t n = count;
  switch (type) {
    case PrimitiveType::PointList: return n;
    case PrimitiveType::LineList: return 2 * n;
    case PrimitiveType::LineStrip: return n + 1;
    case PrimitiveType::TriangleList: return 3 * n;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return n + 2;
  }
  return 0;
}

namespace {

// Positions are snapped to 1/256 pixel. Beyond this distance from the origin a primitive is
// dropped, which keeps every edge product inside 64 bits.
constexpr float kCoordinateLimit = 1048576.0f;
constexpr int64_t kSub = 256;

bool Snap(float value, int64_t& out) {
  if (!(std::fabs(value) <= kCoordinateLimit)) return false;  // also refuses NaN
  out = std::llrint(double(value) * double(kSub));
  return true;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

inline uint32_t PackColour(const double* channels) {  // a, r, g, b
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    double c = std::clamp(channels[i], 0.0, 255.0);
    out |= uint32_t(c + 0.5) << (24 - 8 * i);
  }
  return out;
}

inline void UnpackColour(uint32_t c, double* out) {
  out[0] = double(c >> 24);
  out[1] = double((c >> 16) & 255);
  out[2] = double((c >> 8) & 255);
  out[3] = double(c & 255);
}

// Attribute slots of the triangle interpolator.
// kW carries rhw (1 unless the triangle is drawn with perspective).
enum { kDiffuseA = 0, kSpecularA = 4, kU0 = 8, kV0, kU1, kV1, kZ, kW, kAttributes };

void Attributes(const RasterVertex& v, double* out) {
  UnpackColour(v.diffuse, out + kDiffuseA);
  UnpackColour(v.specular, out + kSpecularA);
  out[kU0] = v.u[0];
  out[kV0] = v.v[0];
  out[kU1] = v.u[1];
  out[kV1] = v.v[1];
  out[kZ] = v.z;
  out[kW] = 1;
}

void DrawTriangle(Pipeline& p, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  const RasterVertex& provoking) {
  const RasterVertex* v[3] = {&a, &b, &c};
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i)
    if (!Snap(v[i]->x, X[i]) || !Snap(v[i]->y, Y[i])) return;
  const int64_t area2 = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  if (area2 == 0) return;
  // area2 > 0: the vertices run clockwise on the screen (y grows downwards).
  if (p.cull == CullMode::Clockwise && area2 > 0) return;
  if (p.cull == CullMode::CounterClockwise && area2 < 0) return;
  if (area2 < 0) {
    std::swap(v[1], v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }

  // Edge i runs from vertex i to vertex i + 1; inside is where every edge function is >= its
  // threshold: 0 on top and left edges, 1 (strictly positive) on the others.
  struct Edge {
    int64_t dx, dy, xa, ya, threshold;
  } edges[3];
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    Edge& e = edges[i];
    e.dx = X[j] - X[i];
    e.dy = Y[j] - Y[i];
    e.xa = X[i];
    e.ya = Y[i];
    const bool topLeft = e.dy < 0 || (e.dy == 0 && e.dx > 0);
    e.threshold = topLeft ? 0 : 1;
  }

  // Attribute planes: value = c + dx * x + dy * y in pixel units.
  double x[3], y[3], attr[3][kAttributes];
  for (int i = 0; i < 3; ++i) {
    x[i] = double(X[i]) / kSub;
    y[i] = double(Y[i]) / kSub;
    Attributes(*v[i], attr[i]);
  }
  const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
  double planeC[kAttributes], planeX[kAttributes], planeY[kAttributes];
  auto planes = [&] {
    for (int k = 0; k < kAttributes; ++k) {
      const double d1 = attr[1][k] - attr[0][k], d2 = attr[2][k] - attr[0][k];
      planeX[k] = (d1 * (y[2] - y[0]) - d2 * (y[1] - y[0])) / area;
      planeY[k] = (d2 * (x[1] - x[0]) - d1 * (x[2] - x[0])) / area;
      planeC[k] = attr[0][k] - planeX[k] * x[0] - planeY[k] * y[0];
    }
  };
  planes();
  // Derivatives for the choice of mip level come from the screen-linear planes.
  Derivatives d;
  for (int s = 0; s < 2; ++s) {
    d.dudx[s] = float(planeX[kU0 + 2 * s]);
    d.dudy[s] = float(planeY[kU0 + 2 * s]);
    d.dvdx[s] = float(planeX[kV0 + 2 * s]);
    d.dvdy[s] = float(planeY[kV0 + 2 * s]);
  }
  SelectLevels(p, d);
  // Vertices of differing rhw are interpolated with perspective: every attribute but z is
  // interpolated as attribute * rhw and divided by the interpolated rhw.
  const float w0 = v[0]->rhw, w1 = v[1]->rhw, w2 = v[2]->rhw;
  const bool perspective = !(w0 == w1 && w1 == w2) && w0 > 0 && w1 > 0 && w2 > 0 &&
                           std::isfinite(w0) && std::isfinite(w1) && std::isfinite(w2);
  if (perspective) {
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < kAttributes; ++k)
        if (k != kZ) attr[i][k] *= double(v[i]->rhw);
    planes();
  }

  const int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
  const int64_t rowFirst = std::max<int64_t>(CeilDiv(minY, kSub), p.clip.top);
  const int64_t rowLast = std::min<int64_t>(FloorDiv(maxY, kSub), p.clip.bottom - 1);
  const int firstAttribute = p.flat ? kU0 : 0;
  Fragment f;
  f.diffuse = provoking.diffuse;
  f.specular = provoking.specular;
  for (int64_t py = rowFirst; py <= rowLast; ++py) {
    int64_t from = p.clip.left, to = int64_t(p.clip.right) - 1;
    for (const Edge& e : edges) {
      // E(px) = A * px + R >= threshold with A = -dy * kSub.
      const int64_t A = -e.dy * kSub;
      const int64_t R = e.dx * (py * kSub - e.ya) + e.dy * e.xa;
      if (A > 0) {
        from = std::max(from, CeilDiv(e.threshold - R, A));
      } else if (A < 0) {
        to = std::min(to, FloorDiv(R - e.threshold, -A));
      } else if (R < e.threshold) {
        to = from - 1;
      }
    }
    if (from > to) continue;
    double values[kAttributes];
    for (int k = firstAttribute; k < kAttributes; ++k)
      values[k] = planeC[k] + planeX[k] * double(from) + planeY[k] * double(py);
    for (int64_t px = from; px <= to; ++px) {
      double at[kAttributes];
      const double* a = values;
      if (perspective) {
        const double inverse = 1.0 / values[kW];
        for (int k = firstAttribute; k < kAttributes; ++k) at[k] = values[k] * inverse;
        at[kZ] = values[kZ];
        a = at;
      }
      if (!p.flat) {
        f.diffuse = PackColour(a + kDiffuseA);
        f.specular = PackColour(a + kSpecularA);
      }
      f.u[0] = float(a[kU0]);
      f.v[0] = float(a[kV0]);
      f.u[1] = float(a[kU1]);
      f.v[1] = float(a[kV1]);
      f.z = float(a[kZ]);
      Output(p, int(px), int(py), Shade(p, f), f.z);
      for (int k = firstAttribute; k < kAttributes; ++k) values[k] += planeX[k];
    }
  }
}

// --- Axis-aligned rectangles.

// Source-alpha-over blending of all four channels, two at a time (red with blue, alpha with
// green) in 16-bit lanes; each lane is rounded to nearest exactly as Blend does.
inline uint32_t BlendSourceAlpha(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24;
  const uint32_t ia = 255 - a;
  uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * ia + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t ag = ((s >> 8) & 0x00FF00FFu) * a + ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return ag | rb;
}

using SpanFunction = void (*)(const Pipeline&, const uint32_t*, uint8_t*, int, uint32_t,
                              uint32_t, uint32_t);

// Targets the spans write directly: 0 X8R8G8B8, 1 A8R8G8B8, 2 R5G6B5, 3 X1R5G5B5. The
// conversions are those of LoadPixel and StorePixel.
int SpanTargetKind(TextureFormat format) {
  switch (format) {
    case TextureFormat::X8R8G8B8: return 0;
    case TextureFormat::A8R8G8B8: return 1;
    case TextureFormat::R5G6B5: return 2;
    case TextureFormat::X1R5G5B5: return 3;
    default: return -1;
  }
}

template <int kTarget>
inline uint32_t LoadTarget(const uint8_t* row, int i) {
  if constexpr (kTarget <= 1) {
    uint32_t v;
    std::memcpy(&v, row + size_t(i) * 4, 4);
    return kTarget == 0 ? v | 0xFF000000u : v;
  } else {
    uint16_t v;
    std::memcpy(&v, row + size_t(i) * 2, 2);
    uint32_t r, g, b;
    if constexpr (kTarget == 2) {
      r = (v >> 11) & 31;
      g = (v >> 5) & 63;
      b = v & 31;
      g = (g << 2) | (g >> 4);
    } else {
      r = (v >> 10) & 31;
      g = (v >> 5) & 31;
      b = v & 31;
      g = (g << 3) | (g >> 2);
    }
    r = (r << 3) | (r >> 2);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | r << 16 | g << 8 | b;
  }
}

template <int kTarget>
inline void StoreTarget(uint8_t* row, int i, uint32_t c) {
  if constexpr (kTarget <= 1) {
    std::memcpy(row + size_t(i) * 4, &c, 4);
  } else {
    const uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    uint16_t v;
    if constexpr (kTarget == 2)
      v = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    else
      v = uint16_t(0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
    std::memcpy(row + size_t(i) * 2, &v, 2);
  }
}

// Whether storing the target's own value back (LoadTarget, then StoreTarget) leaves its bits as
// they are: always for R5G6B5 and A8R8G8B8, only with the unused bits set for the other two.
template <int kTarget>
inline bool StoresUnchanged(const uint8_t* row, int i) {
  if constexpr (kTarget == 1 || kTarget == 2) {
    return true;
  } else if constexpr (kTarget == 0) {
    return row[size_t(i) * 4 + 3] == 0xFF;
  } else {
    return (row[size_t(i) * 2 + 1] & 0x80) != 0;
  }
}

// The texel modulated channel by channel by a constant colour, its alpha by alpha >> 24 (255
// keeps the texel's own): what the stages compute for a tinted graphic, without running them.
inline uint32_t ModulateTexel(uint32_t t, uint32_t colour, uint32_t alpha) {
  auto m = [](uint32_t a, uint32_t b) { return (a * b + 127) / 255; };
  return m(t >> 24, alpha >> 24) << 24 | m((t >> 16) & 255, (colour >> 16) & 255) << 16 |
         m((t >> 8) & 255, (colour >> 8) & 255) << 8 | m(t & 255, colour & 255);
}

// One row of a 1:1 rectangle. Colour: 0 the texel itself, 1 the texel with a constant alpha,
// 2 the full stage combination, 3 the texel tinted by the diffuse colour (ModulateTexel with
// constantAlpha as the alpha). Test: 0 none, 1 alpha above p.alphaAbove, 2 the table of passing
// alphas. Blend: 0 none, 1 source alpha over, 2 any.
template <int kColour, int kTest, int kBlend, int kTarget>
void Span(const Pipeline& p, const uint32_t* source, uint8_t* target, int count,
          uint32_t diffuse, uint32_t specular, uint32_t constantAlpha) {
  if constexpr (kColour == 0 && kTest == 0 && kBlend == 0 && kTarget <= 1) {
    std::memcpy(target, source, size_t(count) * 4);
    return;
  }
  for (int i = 0; i < count; ++i) {
    uint32_t c;
    if constexpr (kColour == 0)
      c = source[i];
    else if constexpr (kColour == 1)
      c = (source[i] & 0x00FFFFFFu) | constantAlpha;
    else if constexpr (kColour == 3)
      c = ModulateTexel(source[i], diffuse, constantAlpha);
    else
      c = CombineStages(p, diffuse, specular, &source[i]);
    if constexpr (kTest == 1) {
      if constexpr (kTarget <= 1) {
        // Without branches, so the loop stays straight through a sprite's edges.
        const uint32_t keep = 0u - uint32_t(int(c >> 24) > p.alphaAbove);
        const uint32_t d = LoadTarget<kTarget>(target, i);
        uint32_t out = c;
        if constexpr (kBlend == 1) out = BlendSourceAlpha(c, d);
        if constexpr (kBlend == 2) out = Blend(p, c, d);
        uint32_t old;
        std::memcpy(&old, target + size_t(i) * 4, 4);
        StoreTarget<kTarget>(target, i, (out & keep) | (old & ~keep));
        continue;
      } else {
        if (int(c >> 24) <= p.alphaAbove) continue;
      }
    }
    if constexpr (kTest == 2)
      if (!p.alphaPasses[c >> 24]) continue;
    if constexpr (kBlend == 1) {
      // Glyphs and sprites are mostly fully transparent or fully opaque texels: those blend to
      // the target as it is and to the texel itself, so the arithmetic is left out for them.
      const uint32_t a = c >> 24;
      if (a == 0 && StoresUnchanged<kTarget>(target, i)) continue;
      if (a != 255) c = BlendSourceAlpha(c, LoadTarget<kTarget>(target, i));
    } else if constexpr (kBlend == 2) {
      c = Blend(p, c, LoadTarget<kTarget>(target, i));
    }
    StoreTarget<kTarget>(target, i, c);
  }
}

template <int C, int T, int B>
SpanFunction PickTarget(int kind) {
  switch (kind) {
    case 0: return &Span<C, T, B, 0>;
    case 1: return &Span<C, T, B, 1>;
    case 2: return &Span<C, T, B, 2>;
    default: return &Span<C, T, B, 3>;
  }
}
template <int C, int T>
SpanFunction PickBlend(int blend, int kind) {
  switch (blend) {
    case 0: return PickTarget<C, T, 0>(kind);
    case 1: return PickTarget<C, T, 1>(kind);
    default: return PickTarget<C, T, 2>(kind);
  }
}
template <int C>
SpanFunction PickTest(int test, int blend, int kind) {
  switch (test) {
    case 0: return PickBlend<C, 0>(blend, kind);
    case 1: return PickBlend<C, 1>(blend, kind);
    default: return PickBlend<C, 2>(blend, kind);
  }
}
SpanFunction PickSpan(int colour, int test, int blend, int kind) {
  switch (colour) {
    case 0: return PickTest<0>(test, blend, kind);
    case 1: return PickTest<1>(test, blend, kind);
    case 3: return PickTest<3>(test, blend, kind);
    default: return PickTest<2>(test, blend, kind);
  }
}

bool ReadsTextureAndDiffuseOnly(uint32_t a1, uint32_t a2) {
  using namespace stage_argument;
  // In stage 0 the current value is the diffuse colour.
  auto diffuse = [](uint32_t a) { return a == kDiffuse || a == kCurrent; };
  return (a1 == kTexture && diffuse(a2)) || (diffuse(a1) && a2 == kTexture);
}

// How stage 0 turns a texel into a colour when the diffuse colour is constant: 0 the texel, 1 the
// texel's colour with a constant alpha (*alpha), 3 the texel tinted by the diffuse colour with
// its alpha scaled by *alpha, 2 anything else.
int ClassifyColour(const Pipeline& p, uint32_t diffuse, uint32_t specular, uint32_t* alpha) {
  using namespace stage_argument;
  const StageSetup& s = p.stages[0];
  if (p.stageCount != 1) return 2;
  if (p.addSpecular && (specular & 0x00FFFFFFu)) return 2;
  bool colourIsTexel = (s.colorOp == StageOperation::SelectArg1 && s.colorArg1 == kTexture) ||
                       (s.colorOp == StageOperation::SelectArg2 && s.colorArg2 == kTexture) ||
                       (s.colorOp == StageOperation::Modulate &&
                        ReadsTextureAndDiffuseOnly(s.colorArg1, s.colorArg2) &&
                        (diffuse & 0x00FFFFFFu) == 0x00FFFFFFu);
  if (!colourIsTexel) {
    // A tint: texture times diffuse, the alpha the texel's own or scaled by the diffuse alpha.
    if (s.colorOp != StageOperation::Modulate || !ReadsTextureAndDiffuseOnly(s.colorArg1, s.colorArg2)) return 2;
    if ((s.alphaOp == StageOperation::SelectArg1 && s.alphaArg1 == kTexture) ||
        (s.alphaOp == StageOperation::SelectArg2 && s.alphaArg2 == kTexture)) {
      *alpha = 0xFF000000u;
      return 3;
    }
    if (s.alphaOp == StageOperation::Modulate && ReadsTextureAndDiffuseOnly(s.alphaArg1, s.alphaArg2)) {
      *alpha = diffuse & 0xFF000000u;
      return 3;
    }
    return 2;
  }
  const bool alphaIsTexel =
      (s.alphaOp == StageOperation::SelectArg1 && s.alphaArg1 == kTexture) ||
      (s.alphaOp == StageOperation::SelectArg2 && s.alphaArg2 == kTexture) ||
      (s.alphaOp == StageOperation::Modulate && ReadsTextureAndDiffuseOnly(s.alphaArg1, s.alphaArg2) &&
       (diffuse >> 24) == 255);
  if (alphaIsTexel) return 0;
  uint32_t selected = 0xFFFFFFFFu;
  if (s.alphaOp == StageOperation::SelectArg1) selected = s.alphaArg1;
  if (s.alphaOp == StageOperation::SelectArg2) selected = s.alphaArg2;
  if (selected == kDiffuse || selected == kCurrent) {
    *alpha = diffuse & 0xFF000000u;
    return 1;
  }
  if (selected == kFactor) {
    *alpha = p.factor & 0xFF000000u;
    return 1;
  }
  return 2;
}

bool SameValues(const RasterVertex& a, const RasterVertex& b, bool colours) {
  if (a.z != b.z || a.rhw != b.rhw) return false;
  for (int s = 0; s < 2; ++s)
    if (a.u[s] != b.u[s] || a.v[s] != b.v[s]) return false;
  return !colours || (a.diffuse == b.diffuse && a.specular == b.specular);
}

// Draws two triangles of a list when they make an axis-aligned rectangle whose attributes vary
// along one axis each (u with x, v with y) and whose colour is constant; false leaves them to the
// triangle path.
bool DrawRectangle(Pipeline& p, const RasterVertex* v) {
  int64_t X[6], Y[6];
  for (int i = 0; i < 6; ++i)
    if (!Snap(v[i].x, X[i]) || !Snap(v[i].y, Y[i])) return false;
  const int64_t xl = *std::min_element(X, X + 6), xr = *std::max_element(X, X + 6);
  const int64_t yt = *std::min_element(Y, Y + 6), yb = *std::max_element(Y, Y + 6);
  if (xl == xr || yt == yb) return false;
  int id[6];
  for (int i = 0; i < 6; ++i) {
    if ((X[i] != xl && X[i] != xr) || (Y[i] != yt && Y[i] != yb)) return false;
    id[i] = (X[i] == xr ? 1 : 0) | (Y[i] == yb ? 2 : 0);
  }
  auto distinct = [](int a, int b, int c) { return a != b && b != c && a != c; };
  if (!distinct(id[0], id[1], id[2]) || !distinct(id[3], id[4], id[5])) return false;
  const int first = 1 << id[0] | 1 << id[1] | 1 << id[2];
  const int second = 1 << id[3] | 1 << id[4] | 1 << id[5];
  const int shared = first & second;
  if (shared != 0b1001 && shared != 0b0110) return false;  // they must share a diagonal
  if (p.cull != CullMode::None) {
    for (int t = 0; t < 2; ++t) {
      const int64_t* x = X + 3 * t;
      const int64_t* y = Y + 3 * t;
      const int64_t area2 = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
      if ((p.cull == CullMode::Clockwise) == (area2 > 0)) return false;
    }
  }
  const RasterVertex* corner[4] = {};
  for (int i = 0; i < 6; ++i) {
    if (!corner[id[i]])
      corner[id[i]] = &v[i];
    else if (!SameValues(*corner[id[i]], v[i], !p.flat))
      return false;
  }
  for (int s = 0; s < 2; ++s) {
    if (corner[0]->u[s] != corner[2]->u[s] || corner[1]->u[s] != corner[3]->u[s]) return false;
    if (corner[0]->v[s] != corner[1]->v[s] || corner[2]->v[s] != corner[3]->v[s]) return false;
  }
  for (int k = 1; k < 4; ++k) {
    if (corner[k]->z != corner[0]->z || corner[k]->rhw != corner[0]->rhw) return false;
    if (!p.flat && (corner[k]->diffuse != corner[0]->diffuse ||
                    corner[k]->specular != corner[0]->specular))
      return false;
  }
  // Flat shading takes each triangle's colour from its first vertex.
  const uint32_t diffuse = p.flat ? v[0].diffuse : corner[0]->diffuse;
  const uint32_t specular = p.flat ? v[0].specular : corner[0]->specular;
  if (p.flat && (v[3].diffuse != diffuse || v[3].specular != specular)) return false;

  // Covered pixels: centres in [left, right) x [top, bottom), as the fill rule gives.
  const int64_t x0 = std::max<int64_t>(CeilDiv(xl, kSub), p.clip.left);
  const int64_t x1 = std::min<int64_t>(CeilDiv(xr, kSub), p.clip.right);
  const int64_t y0 = std::max<int64_t>(CeilDiv(yt, kSub), p.clip.top);
  const int64_t y1 = std::min<int64_t>(CeilDiv(yb, kSub), p.clip.bottom);
  if (x0 >= x1 || y0 >= y1) return true;

  const double fxl = double(xl) / kSub, fxr = double(xr) / kSub;
  const double fyt = double(yt) / kSub, fyb = double(yb) / kSub;
  double dudx[2], dvdy[2], uStart[2], vStart[2];
  Derivatives d;
  for (int s = 0; s < 2; ++s) {
    dudx[s] = (double(corner[1]->u[s]) - corner[0]->u[s]) / (fxr - fxl);
    dvdy[s] = (double(corner[2]->v[s]) - corner[0]->v[s]) / (fyb - fyt);
    uStart[s] = corner[0]->u[s] + (double(x0) - fxl) * dudx[s];
    vStart[s] = corner[0]->v[s] + (double(y0) - fyt) * dvdy[s];
    d.dudx[s] = float(dudx[s]);
    d.dvdy[s] = float(dvdy[s]);
  }
  SelectLevels(p, d);
  const float z = corner[0]->z;
  const int width = int(x1 - x0);

  // Texels 1:1 on pixels: the texel under each pixel centre is found by index.
  const StageSetup& s0 = p.stages[0];
  if (p.stageCount >= 1 && s0.view.texels && !p.depth) {
    const int c = s0.coordinate;
    const double w = s0.view.width, h = s0.view.height;
    const double tx = uStart[c] * w - 0.5, ty = vStart[c] * h - 0.5;
    const double rx = std::nearbyint(tx), ry = std::nearbyint(ty);
    if (std::fabs(dudx[c] * w - 1.0) < 1e-6 && std::fabs(dvdy[c] * h - 1.0) < 1e-6 &&
        std::fabs(tx - rx) < 1e-3 && std::fabs(ty - ry) < 1e-3 && rx >= 0 && ry >= 0 &&
        rx + width <= w && ry + double(y1 - y0) <= h) {
      const int texelX = int(rx), texelY = int(ry);
      uint32_t constantAlpha = 0;
      const int colour = ClassifyColour(p, diffuse, specular, &constantAlpha);
      const int kind = SpanTargetKind(p.target->Format());
      if (kind >= 0 && p.stageCount == 1) {
        const int blend = !p.blend ? 0
                          : (p.source == BlendFactor::SourceAlpha &&
                             p.destination == BlendFactor::InverseSourceAlpha &&
                             p.operation == BlendOperation::Add)
                              ? 1
                              : 2;
        SpanFunction span =
            PickSpan(colour, !p.alphaTest ? 0 : p.alphaAbove >= -1 ? 1 : 2, blend, kind);
        const size_t pixelBytes = kind <= 1 ? 4 : 2;
        for (int64_t py = y0; py < y1; ++py) {
          const uint32_t* source = s0.view.texels +
                                   size_t(texelY + (py - y0)) * size_t(s0.view.width) +
                                   size_t(texelX);
          uint8_t* target = p.target->Row(int(py)) + size_t(x0) * pixelBytes;
          span(p, source, target, width, diffuse, specular, constantAlpha);
        }
        return true;
      }
      if (p.stageCount == 1) {
        for (int64_t py = y0; py < y1; ++py) {
          const uint32_t* source = s0.view.texels +
                                   size_t(texelY + (py - y0)) * size_t(s0.view.width) +
                                   size_t(texelX);
          for (int i = 0; i < width; ++i)
            Output(p, int(x0 + i), int(py), CombineStages(p, diffuse, specular, &source[i]), z);
        }
        return true;
      }
    }
  }

  Fragment f;
  f.diffuse = diffuse;
  f.specular = specular;
  f.z = z;
  for (int64_t py = y0; py < y1; ++py) {
    for (int s = 0; s < 2; ++s) f.v[s] = float(vStart[s] + double(py - y0) * dvdy[s]);
    for (int i = 0; i < width; ++i) {
      for (int s = 0; s < 2; ++s) f.u[s] = float(uStart[s] + double(i) * dudx[s]);
      Output(p, int(x0 + i), int(py), Shade(p, f), z);
    }
  }
  return true;
}

// --- Lines and points.

Fragment Interpolate(const RasterVertex& a, const RasterVertex& b, double t,
                     const RasterVertex& provoking, bool flat) {
  Fragment f;
  if (flat) {
    f.diffuse = provoking.diffuse;
    f.specular = provoking.specular;
  } else {
    double ca[4], cb[4], mix[4];
    UnpackColour(a.diffuse, ca);
    UnpackColour(b.diffuse, cb);
    for (int i = 0; i < 4; ++i) mix[i] = ca[i] + (cb[i] - ca[i]) * t;
    f.diffuse = PackColour(mix);
    UnpackColour(a.specular, ca);
    UnpackColour(b.specular, cb);
    for (int i = 0; i < 4; ++i) mix[i] = ca[i] + (cb[i] - ca[i]) * t;
    f.specular = PackColour(mix);
  }
  for (int s = 0; s < 2; ++s) {
    f.u[s] = float(a.u[s] + (double(b.u[s]) - a.u[s]) * t);
    f.v[s] = float(a.v[s] + (double(b.v[s]) - a.v[s]) * t);
  }
  f.z = float(a.z + (double(b.z) - a.z) * t);
  return f;
}

bool Inside(const Rect& r, int64_t x, int64_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// A line covers one pixel per step along its longer axis, from its start up to (not including)
// its end; the pixel across is the one whose centre is nearest.
void DrawLine(Pipeline& p, const RasterVertex& a, const RasterVertex& b,
              const RasterVertex& provoking) {
  for (float c : {a.x, a.y, b.x, b.y})
    if (!(std::fabs(c) <= kCoordinateLimit)) return;
  const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::fabs(dx) >= std::fabs(dy);
  const double major = xMajor ? dx : dy;
  const double start = xMajor ? a.x : a.y, end = xMajor ? b.x : b.y;
  Derivatives d;
  for (int s = 0; s < 2; ++s) {
    d.dudx[s] = float((double(b.u[s]) - a.u[s]) / std::fabs(major));
    d.dvdx[s] = float((double(b.v[s]) - a.v[s]) / std::fabs(major));
  }
  SelectLevels(p, d);
  // Pixel positions along the major axis, in drawing order.
  int64_t first, last, step;
  if (major > 0) {
    first = int64_t(std::ceil(start));
    last = int64_t(std::ceil(end)) - 1;
    step = 1;
  } else {
    first = int64_t(std::floor(start));
    last = int64_t(std::floor(end)) + 1;
    step = -1;
  }
  const int64_t lowLimit = xMajor ? p.clip.left : p.clip.top;
  const int64_t highLimit = (xMajor ? p.clip.right : p.clip.bottom) - 1;
  int64_t lo = std::max(std::min(first, last), lowLimit);
  int64_t hi = std::min(std::max(first, last), highLimit);
  if ((step > 0 && first > last) || (step < 0 && first < last)) return;
  for (int64_t m = lo; m <= hi; ++m) {
    const double t = (double(m) - start) / major;
    const double across = (xMajor ? a.y + t * dy : a.x + t * dx);
    const int64_t n = int64_t(std::floor(across + 0.5));
    const int64_t px = xMajor ? m : n, py = xMajor ? n : m;
    if (!Inside(p.clip, px, py)) continue;
    Fragment f = Interpolate(a, b, t, provoking, p.flat);
    Output(p, int(px), int(py), Shade(p, f), f.z);
  }
}

void DrawPoint(Pipeline& p, const RasterVertex& v) {
  if (!(std::fabs(v.x) <= kCoordinateLimit) || !(std::fabs(v.y) <= kCoordinateLimit)) return;
  const int64_t px = int64_t(std::floor(double(v.x) + 0.5));
  const int64_t py = int64_t(std::floor(double(v.y) + 0.5));
  if (!Inside(p.clip, px, py)) return;
  SelectLevels(p, Derivatives{});
  Fragment f = Interpolate(v, v, 0, v, true);
  Output(p, int(px), int(py), Shade(p, f), f.z);
}

}  // namespace

void DrawPrimitives(Pipeline& p, PrimitiveType type, int count, const uint8_t* vertices,
                    int stride, uint32_t format) {
  if (p.clip.left >= p.clip.right || p.clip.top >= p.clip.bottom) return;
  auto at = [&](int64_t i) { return FetchVertex(vertices, stride, format, int(i)); };
  switch (type) {
    case PrimitiveType::PointList:
      for (int i = 0; i < count; ++i) DrawPoint(p, at(i));
      break;
    case PrimitiveType::LineList:
      for (int i = 0; i < count; ++i) {
        RasterVertex a = at(2 * int64_t(i)), b = at(2 * int64_t(i) + 1);
        DrawLine(p, a, b, a);
      }
      break;
    case PrimitiveType::LineStrip:
      for (int i = 0; i < count; ++i) {
        RasterVertex a = at(i), b = at(i + 1);
        DrawLine(p, a, b, a);
      }
      break;
    case PrimitiveType::TriangleList:
      for (int i = 0; i < count;) {
        RasterVertex six[6];
        const int64_t base = 3 * int64_t(i);
        if (i + 1 < count) {
          for (int k = 0; k < 6; ++k) six[k] = at(base + k);
          if (DrawRectangle(p, six)) {
            i += 2;
            continue;
          }
        } else {
          for (int k = 0; k < 3; ++k) six[k] = at(base + k);
        }
        DrawTriangle(p, six[0], six[1], six[2], six[0]);
        ++i;
      }
      break;
    case PrimitiveType::TriangleStrip:
      for (int i = 0; i < count; ++i) {
        RasterVertex a = at(i), b = at(i + 1), c = at(i + 2);
        if (i & 1)
          DrawTriangle(p, b, a, c, a);
        else
          DrawTriangle(p, a, b, c, a);
      }
      break;
    case PrimitiveType::TriangleFan:
      for (int i = 0; i < count; ++i) {
        RasterVertex centre = at(0), b = at(i + 1), c = at(i + 2);
        DrawTriangle(p, centre, b, c, b);
      }
      break;
  }
}

}  // namespace qr::platform::gpu
