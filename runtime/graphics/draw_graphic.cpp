// Drawing graphics: each draw tile becomes two triangles in the vertex batch, moved into the clip
// area when the graphic crosses its edge.
#include <algorithm>

#include "graphics/draw_graphic.h"

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "qr.h"

namespace qr::graphics {
namespace {

void WriteQuad(Vertex1* v, float left, float top, float right, float bottom, const TileCorner (&uv)[4],
               uint32_t diffuse, float z) {
  // Top-left, top-right, bottom-left; bottom-right, bottom-left, top-right. Flat shading takes
  // each triangle's colour from its first vertex, so only those two carry it.
  v[0].x = left;  v[0].y = top;    v[0].u = uv[0].u; v[0].v = uv[0].v; v[0].diffuse = diffuse;
  v[1].x = right; v[1].y = top;    v[1].u = uv[1].u; v[1].v = uv[1].v;
  v[2].x = left;  v[2].y = bottom; v[2].u = uv[2].u; v[2].v = uv[2].v;
  v[3].x = right; v[3].y = bottom; v[3].u = uv[3].u; v[3].v = uv[3].v; v[3].diffuse = diffuse;
  v[4] = v[2];
  v[5] = v[1];
  for (int i = 0; i < 6; ++i) v[i].z = z;
  v[4].diffuse = v[2].diffuse;
  v[5].diffuse = v[1].diffuse;
}

int DrawGraphicTiles(GraphicRecord* g, int x, int y, bool transparent, bool turned = false) {
  if (!Host() || !Host()->DeviceExists()) return -1;
  const DrawSettings& s = Draw();
  float fx = float(x) - 0.5f, fy = float(y) - 0.5f;
  OpenScene();
  unsigned flags = kDrawGraphic | (transparent ? unsigned(kDrawTransparent) : 0u);
  ApplyDrawState(&g->image->info, g->tileCount ? g->tiles[0].texture->texture : nullptr, flags);

  const ClipArea& clip = s.clip;
  bool inside = clip.left <= x && clip.top <= y && x + g->width <= clip.right && y + g->height <= clip.bottom;
  bool outside = x >= clip.right || y >= clip.bottom || x + g->width <= clip.left || y + g->height <= clip.top;
  if (outside) return 0;

  for (int i = 0; i < g->tileCount; ++i) {
    const DrawTile& t = g->tiles[i];
    int tileLeft = turned ? x + g->width - t.destX - t.width : x + t.destX, tileTop = y + t.destY;
    if (!inside && (tileLeft >= clip.right || tileTop >= clip.bottom || tileLeft + t.width <= clip.left ||
                    tileTop + t.height <= clip.top))
      continue;  // this tile lies wholly outside although the graphic does not
    BindTexture(t.texture->texture);
    ApplyPendingBlendState();
    auto* v = static_cast<Vertex1*>(ReserveVertices(1, platform::PrimitiveType::TriangleList, 6));
    float left = fx + t.corners[0].x, right = fx + t.corners[3].x;
    float top = fy + t.corners[0].y, bottom = fy + t.corners[3].y;
    TileCorner uv[4];
    std::copy(std::begin(t.corners), std::end(t.corners), uv);
    if (turned) {
      // Mirrored left to right: the tile's place and its texture coordinates swap sides.
      left = fx + float(g->width) - t.corners[3].x;
      right = fx + float(g->width) - t.corners[0].x;
      std::swap(uv[0].u, uv[1].u);
      std::swap(uv[2].u, uv[3].u);
    }
    if (inside) {
      WriteQuad(v, left, top, right, bottom, uv, s.diffuse, s.depth);
      continue;
    }
    // Move each edge into the clip rectangle, shifting the texture coordinates with it.
    float du = (uv[1].u - uv[0].u) / std::max(1e-9f, right - left);
    float dv = (uv[2].v - uv[0].v) / std::max(1e-9f, bottom - top);
    float cl = std::clamp(left, clip.leftF, clip.rightF), cr = std::clamp(right, clip.leftF, clip.rightF);
    float ct = std::clamp(top, clip.topF, clip.bottomF), cb = std::clamp(bottom, clip.topF, clip.bottomF);
    if (cl >= cr || ct >= cb) {
      // The tile lies outside although the graphic does not: give its vertices back.
      WriteQuad(v, cl, ct, cl, ct, uv, s.diffuse, s.depth);
      continue;
    }
    for (int k : {0, 2}) uv[k].u += (cl - left) * du;
    for (int k : {1, 3}) uv[k].u += (cr - right) * du;
    for (int k : {0, 1}) uv[k].v += (ct - top) * dv;
    for (int k : {2, 3}) uv[k].v += (cb - bottom) * dv;
    WriteQuad(v, cl, ct, cr, cb, uv, s.diffuse, s.depth);
  }
  return 0;
}

// Two untextured triangles over the rectangle, in the current blend state.
void FillRectangle(int left, int top, int right, int bottom, uint32_t colour) {
  OpenScene();
  ApplyDrawState(nullptr, nullptr, 0);
  auto* v = static_cast<Vertex0*>(ReserveVertices(0, platform::PrimitiveType::TriangleList, 6));
  float l = float(left) - 0.5f, t = float(top) - 0.5f, r = float(right) - 0.5f, b = float(bottom) - 0.5f;
  const float xs[6] = {l, r, l, r, l, r}, ys[6] = {t, t, b, b, b, t};
  for (int i = 0; i < 6; ++i) v[i] = Vertex0{xs[i], ys[i], Draw().depth, 1.0f, colour};
}

// Destination minus source for devices without the reverse-subtract operation: invert the
// destination, add the source, invert again.
int DrawSubtracted(GraphicRecord* g, int x, int y, bool transparent) {
  SubtractEmulation emulation(x, y, x + g->width, y + g->height);
  if (emulation.Empty()) return 0;
  return DrawGraphicTiles(g, x, y, transparent);
}

}  // namespace

SubtractEmulation::SubtractEmulation(int left, int top, int right, int bottom) {
  DrawSettings& s = Draw();
  const ClipArea& clip = s.clip;
  left_ = std::max(left, clip.left);
  top_ = std::max(top, clip.top);
  right_ = std::min(right, clip.right);
  bottom_ = std::min(bottom, clip.bottom);
  if (Empty()) return;
  param_ = s.blendParam;
  brightness_ = s.brightness;
  Invert();
  s.brightness = brightness_;
  s.blendMode = 5;
  s.blendParam = param_;
  UpdateDiffuse();
}

SubtractEmulation::~SubtractEmulation() {
  if (Empty()) return;
  DrawSettings& s = Draw();
  // The draws in between may have changed the brightness; the inversion needs white.
  uint32_t brightness = s.brightness;
  Invert();
  s.blendMode = 3;
  s.blendParam = param_;
  s.brightness = brightness;
  UpdateDiffuse();
}

void SubtractEmulation::Invert() {
  DrawSettings& s = Draw();
  s.blendMode = 3;
  s.blendParam = 255;
  s.brightness = 0xFFFFFF;
  UpdateDiffuse();
  FillRectangle(left_, top_, right_, bottom_, s.diffuse);
}

int DrawGraphicPart(GraphicRecord* g, int destX, int destY, int srcX, int srcY, int width, int height,
                    bool transparent, bool turned) {
  DrawSettings& s = Draw();
  ClipArea saved = s.clip;
  ClipArea& c = s.clip;
  c.left = std::max(c.left, destX);
  c.top = std::max(c.top, destY);
  c.right = std::min(c.right, destX + width);
  c.bottom = std::min(c.bottom, destY + height);
  c.leftF = float(c.left);
  c.topF = float(c.top);
  c.rightF = float(c.right);
  c.bottomF = float(c.bottom);
  int result = 0;
  if (c.left < c.right && c.top < c.bottom && !s.clipEmpty) {
    // Turned, the picture is mirrored, so the rectangle's mirror image is what lands at destX.
    int x = turned ? destX - (g->width - srcX - width) : destX - srcX;
    result = DrawGraphicTiles(g, x, destY - srcY, transparent, turned);
  }
  s.clip = saved;
  return result;
}

}  // namespace qr::graphics

using namespace qr::graphics;

int DrawGraphic(int x, int y, int handle, int transparent) {
  if (!qr::core::Started()) return -1;
  if (Draw().clipEmpty) return 0;
  GraphicRecord* g = GetGraphic(handle);
  if (!g) return -1;
  qr::core::WaitWhileInactive();
  g = GetGraphic(handle);
  if (!g) return -1;
  if (Draw().blendMode == 3 && !Device().blendOpSupported) return DrawSubtracted(g, x, y, transparent != 0);
  return DrawGraphicTiles(g, x, y, transparent != 0);
}

int DrawGraphicRect(int destX, int destY, int srcX, int srcY, int width, int height, int handle,
                    int transparent, int turned) {
  if (!qr::core::Started()) return -1;
  GraphicRecord* g = GetGraphic(handle);
  if (!g) return -1;
  qr::core::WaitWhileInactive();
  g = GetGraphic(handle);
  if (!g) return -1;
  return DrawGraphicPart(g, destX, destY, srcX, srcY, width, height, transparent != 0, turned != 0);
}
